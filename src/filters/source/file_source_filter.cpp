#include "filters/source/file_source_filter.h"

#include "debugsup/debugsup.h"
#include "platform/com/class_registry.h"
#include "platform/graph/media_guids.h"

namespace kv::source {


TAsyncOutputPin::TAsyncOutputPin(TFileSourceFilter* filter) : TBasePin(filter, "Output", PINDIR_OUTPUT), source_(filter) {}

HRESULT TAsyncOutputPin::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IAsyncReader::kIid) return GetInterface(static_cast<IAsyncReader*>(this), out);
  return TBasePin::NonDelegatingQueryInterface(iid, out);
}

HRESULT TAsyncOutputPin::CheckMediaType(const MediaType& type) {
  if (!source_->Reader()) return VFW_E_NOT_CONNECTED;
  return type.majortype == MEDIATYPE_Stream ? S_OK : S_FALSE;
}

HRESULT TAsyncOutputPin::GetMediaType(int position, MediaType* type) {
  if (!type) return E_POINTER;
  if (position != 0 || !source_->Reader()) return VFW_S_NO_MORE_ITEMS;
  *type = source_->StreamType();
  return S_OK;
}

HRESULT TAsyncOutputPin::SyncRead(int64_t position, int32_t length, uint8_t* buffer, int32_t* read) {
  if (read) *read = 0;
  if (!buffer && length > 0) return E_POINTER;
  if (position < 0 || length < 0) return E_INVALIDARG;
  if (flushing_.load(std::memory_order_acquire)) return VFW_E_WRONG_STATE;
  TFileReader* reader = source_->Reader();
  if (!reader) return VFW_E_NOT_CONNECTED;
  const int64_t got = reader->ReadAt(position, buffer, length);
  if (got < 0) return MakeHResult(0x8007001E);  // ERROR_READ_FAULT
  if (read) *read = static_cast<int32_t>(got);
  return got == length ? S_OK : S_FALSE;
}

HRESULT TAsyncOutputPin::Length(int64_t* total, int64_t* available) {
  if (!total || !available) return E_POINTER;
  TFileReader* reader = source_->Reader();
  if (!reader) return VFW_E_NOT_CONNECTED;
  const int64_t size = reader->Size();
  if (size < 0) return E_FAIL;
  *total = *available = size;
  return S_OK;
}

HRESULT TAsyncOutputPin::BeginFlush() {
  flushing_.store(true, std::memory_order_release);
  return S_OK;
}

HRESULT TAsyncOutputPin::EndFlush() {
  flushing_.store(false, std::memory_order_release);
  return S_OK;
}

TFileSourceFilter::TFileSourceFilter() : TBaseFilter(CLSID_AsyncReader), pin_(std::make_unique<TAsyncOutputPin>(this)) {}

TFileSourceFilter::~TFileSourceFilter() = default;

HRESULT TFileSourceFilter::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IFileSourceFilter::kIid) return GetInterface(static_cast<IFileSourceFilter*>(this), out);
  return TBaseFilter::NonDelegatingQueryInterface(iid, out);
}

TBasePin* TFileSourceFilter::GetPin(int n) { return n == 0 ? pin_.get() : nullptr; }

HRESULT TFileSourceFilter::Load(const std::string& fileName, const MediaType* type) {
  if (fileName.empty()) return E_INVALIDARG;
  if (pin_->IsConnected()) return VFW_E_ALREADY_CONNECTED;
  auto reader = std::make_unique<TFileReader>();
  std::string error;
  int err = 0;
  if (!reader->Open(fileName, &error, &err)) {
    if (Debug.Enabled) Debug.TextOut("File source: cannot open " + fileName + ": " + error);
    return HResultFromErrno(err);
  }
  MediaType streamType;
  if (type && type->majortype == MEDIATYPE_Stream) {
    streamType = *type;
  } else {
    streamType.majortype = MEDIATYPE_Stream;
    streamType.subtype = GUID_NULL;
    streamType.formattype = FORMAT_None;
  }
  streamType.bFixedSizeSamples = true;
  streamType.bTemporalCompression = false;
  streamType.lSampleSize = 1;
  {
    std::lock_guard lock(fileMutex_);
    fileName_ = fileName;
    type_ = streamType;
  }
  reader_ = std::move(reader);
  return S_OK;
}

HRESULT TFileSourceFilter::GetCurFile(std::string* fileName, MediaType* type) {
  if (!fileName) return E_POINTER;
  std::lock_guard lock(fileMutex_);
  *fileName = fileName_;
  if (type) *type = type_;
  return S_OK;
}

MediaType TFileSourceFilter::StreamType() {
  std::lock_guard lock(fileMutex_);
  return type_;
}

HRESULT RegisterFileSource() {
  TClassRegistration r;
  r.clsid = CLSID_AsyncReader;
  r.friendlyName = kFileSourceName;
  r.merit = MERIT_UNLIKELY;
  r.outputTypes = {{MEDIATYPE_Stream, GUID_NULL}};
  r.factory = [](const IID& iid, void** out) { return CreateComObject<TFileSourceFilter>(iid, out); };
  return ClassRegistry().RegisterFilter(std::move(r));
}

}  // namespace kv::source
