#include "test_source.h"

#include <cstring>

namespace kv::testing {

namespace {
constexpr CLSID KClsidTestSource = GuidLiteral("{2B1F7A52-4D8E-4E0B-9A43-6F0C5D0E6A11}");

IPin* NthPin(IBaseFilter* filter, PIN_DIRECTION direction, int index) {
  ComPtr<IEnumPins> pins;
  if (!filter || FAILED(filter->EnumPins(pins.Put()))) return nullptr;
  IPin* pin = nullptr;
  ULONG fetched = 0;
  int count = 0;
  while (pins->Next(1, &pin, &fetched) == S_OK && fetched == 1) {
    PIN_DIRECTION dir;
    pin->QueryDirection(&dir);
    if (dir == direction && count++ == index) {
      pin->Release();  // the filter keeps its pins; the test holds the filter
      return pin;
    }
    pin->Release();
  }
  return nullptr;
}
}  // namespace

TTestOutputPin::TTestOutputPin(TTestSource* source, MediaType type, int32_t bufferBytes, int buffers)
    : TBaseOutputPin(source, "Out"), Type_(std::move(type)), BufferBytes_(bufferBytes), Buffers_(buffers) {}

HRESULT TTestOutputPin::CheckMediaType(const MediaType& type) { return type == Type_ ? S_OK : S_FALSE; }

HRESULT TTestOutputPin::GetMediaType(int position, MediaType* type) {
  if (position != 0) return VFW_S_NO_MORE_ITEMS;
  *type = Type_;
  return S_OK;
}

HRESULT TTestOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  ALLOCATOR_PROPERTIES want;
  want.cBuffers = Buffers_;
  want.cbBuffer = BufferBytes_;
  ALLOCATOR_PROPERTIES actual;
  return allocator->SetProperties(&want, &actual);
}

TTestSource::TTestSource(MediaType type, int32_t bufferBytes, int buffers) : TBaseFilter(KClsidTestSource) {
  Out_ = std::make_unique<TTestOutputPin>(this, std::move(type), bufferBytes, buffers);
}

TTestSource::~TTestSource() = default;

TBasePin* TTestSource::GetPin(int n) { return n == 0 ? Out_.get() : nullptr; }

HRESULT TTestSource::ConnectTo(IPin* input) {
  MediaType type;
  Out_->GetMediaType(0, &type);
  return Out_->Connect(input, &type);
}

HRESULT TTestSource::Deliver(const std::vector<uint8_t>& bytes, std::optional<REFERENCE_TIME> start,
                             std::optional<REFERENCE_TIME> stop) {
  ComPtr<IMediaSample> sample;
  HRESULT hr = Out_->GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  uint8_t* data = nullptr;
  sample->GetPointer(&data);
  if (static_cast<size_t>(sample->GetSize()) < bytes.size()) return E_OUTOFMEMORY;
  if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
  sample->SetActualDataLength(static_cast<int32_t>(bytes.size()));
  if (start) {
    REFERENCE_TIME s = *start;
    REFERENCE_TIME e = stop.value_or(s);
    sample->SetTime(&s, stop ? &e : nullptr);
  }
  sample->SetSyncPoint(true);
  return Out_->Deliver(sample.Get());
}

HRESULT TTestSource::DeliverPicture(std::shared_ptr<const IPicture> picture, int32_t bytes, REFERENCE_TIME start,
                                    REFERENCE_TIME stop) {
  ComPtr<IMediaSample> sample;
  HRESULT hr = Out_->GetDeliveryBuffer(sample.Put(), nullptr, nullptr, 0);
  if (FAILED(hr)) return hr;
  ComPtr<IPictureSample> carrier;
  if (FAILED(sample.As(&carrier))) return E_NOINTERFACE;
  hr = sample->SetActualDataLength(bytes);
  if (FAILED(hr)) return hr;
  carrier->AttachPicture(std::move(picture));
  sample->SetTime(&start, &stop);
  sample->SetSyncPoint(true);
  return Out_->Deliver(sample.Get());
}

void Unplug(IPin* pin) {
  if (!pin) return;
  ComPtr<IPin> peer;
  if (SUCCEEDED(pin->ConnectedTo(peer.Put())) && peer) peer->Disconnect();
  pin->Disconnect();
}

IPin* InputPin(IBaseFilter* filter, int index) { return NthPin(filter, PINDIR_INPUT, index); }
IPin* OutputPin(IBaseFilter* filter, int index) { return NthPin(filter, PINDIR_OUTPUT, index); }

}  // namespace kv::testing
