#include "filters/teletext/teletext_decoder_filter.h"

#include <libzvbi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "filters/teletext/page_files.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"

namespace kv::teletext {

namespace {

constexpr int32_t kPictureBytes = kPageWidth * kPageHeight * 4;
constexpr int32_t kOutputBuffers = 3;
// The longest a page waits for its time: a stream whose teletext runs far ahead of the
// picture still shows its pages.
constexpr auto kMaxHold = std::chrono::seconds(2);

MediaType PictureType() {
  VIDEOINFOHEADER v;
  v.rcSource = {0, 0, kPageWidth, kPageHeight};
  v.rcTarget = v.rcSource;
  v.bmiHeader.biWidth = kPageWidth;
  v.bmiHeader.biHeight = -kPageHeight;  // top row first
  v.bmiHeader.biBitCount = 32;
  v.bmiHeader.biSizeImage = kPictureBytes;
  MediaType type = MakeVideoInfoType(kSubtypeArgb32, v);
  type.lSampleSize = kPictureBytes;
  return type;
}

}  // namespace

// ---------------------------------------------------------------- pins

TTeletextInputPin::TTeletextInputPin(TTeletextDecoderFilter* filter) : TBaseInputPin(filter, "VBI"), Decoder_(filter) {}

HRESULT TTeletextInputPin::CheckMediaType(const MediaType& type) {
  return type.majortype == MEDIATYPE_Video && type.subtype == MEDIASUBTYPE_VBIV ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TTeletextInputPin::Receive(IMediaSample* sample) {
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  if (!sample) return E_POINTER;
  uint8_t* data = nullptr;
  if (FAILED(sample->GetPointer(&data)) || !data) return E_POINTER;
  const int32_t length = sample->GetActualDataLength();
  if (length <= 0) return S_OK;
  REFERENCE_TIME start = 0, stop = 0;
  std::optional<REFERENCE_TIME> time;
  if (SUCCEEDED(sample->GetTime(&start, &stop))) time = start;
  return Decoder_->OnPacket(data, static_cast<size_t>(length), time);
}

HRESULT TTeletextInputPin::EndOfStream() {
  HRESULT hr = TBaseInputPin::EndOfStream();
  if (hr == S_OK && Decoder_->Output()->IsConnected()) Decoder_->Output()->DeliverEndOfStream();
  return hr;
}

HRESULT TTeletextInputPin::BeginFlush() {
  TBaseInputPin::BeginFlush();
  Decoder_->InterruptWait();
  if (Decoder_->Output()->IsConnected()) Decoder_->Output()->DeliverBeginFlush();
  return S_OK;
}

HRESULT TTeletextInputPin::EndFlush() {
  if (Decoder_->Output()->IsConnected()) Decoder_->Output()->DeliverEndFlush();
  return TBaseInputPin::EndFlush();
}

TTeletextOutputPin::TTeletextOutputPin(TTeletextDecoderFilter* filter) : TBaseOutputPin(filter, "Teletext") {}

HRESULT TTeletextOutputPin::CheckMediaType(const MediaType& type) {
  if (type.majortype != MEDIATYPE_Video || type.subtype != kSubtypeArgb32 || type.formattype != FORMAT_VideoInfo)
    return VFW_E_TYPE_NOT_ACCEPTED;
  std::optional<VIDEOINFOHEADER> v = ReadVideoInfoHeader(type.format);
  if (!v || v->bmiHeader.biWidth != kPageWidth || v->bmiHeader.biHeight != -kPageHeight) return VFW_E_TYPE_NOT_ACCEPTED;
  return S_OK;
}

HRESULT TTeletextOutputPin::GetMediaType(int position, MediaType* type) {
  if (!type) return E_POINTER;
  if (position < 0) return E_INVALIDARG;
  if (position > 0) return VFW_S_NO_MORE_ITEMS;
  *type = PictureType();
  return S_OK;
}

HRESULT TTeletextOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  ALLOCATOR_PROPERTIES want = *request;
  want.cBuffers = std::max(want.cBuffers, kOutputBuffers);
  want.cbBuffer = std::max(want.cbBuffer, kPictureBytes);
  ALLOCATOR_PROPERTIES actual;
  HRESULT hr = allocator->SetProperties(&want, &actual);
  if (FAILED(hr)) return hr;
  return actual.cbBuffer >= kPictureBytes ? S_OK : E_FAIL;
}

// ---------------------------------------------------------------- filter

TTeletextDecoderFilter::TTeletextDecoderFilter()
    : TBaseFilter(CLSID_TeletextDecoder),
      input_(std::make_unique<TTeletextInputPin>(this)),
      output_(std::make_unique<TTeletextOutputPin>(this)) {}

TTeletextDecoderFilter::~TTeletextDecoderFilter() = default;

HRESULT TTeletextDecoderFilter::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == ITeletextDecoder::kIid) return GetInterface(static_cast<ITeletextDecoder*>(this), out);
  return TBaseFilter::NonDelegatingQueryInterface(iid, out);
}

TBasePin* TTeletextDecoderFilter::GetPin(int n) {
  if (n == 0) return input_.get();
  if (n == 1) return output_.get();
  return nullptr;
}

HRESULT TTeletextDecoderFilter::Stop() {
  InterruptWait();
  HRESULT hr = TBaseFilter::Stop();
  InterruptWait();
  std::lock_guard<std::mutex> lock(pageMutex_);
  dirty_ = true;  // the renderer forgets nothing, but the next run starts with a fresh picture
  return hr;
}

HRESULT TTeletextDecoderFilter::Pause() {
  const bool fromStopped = state() == State_Stopped;
  HRESULT hr = TBaseFilter::Pause();
  InterruptWait();
  if (fromStopped) {
    std::lock_guard<std::mutex> lock(pageMutex_);
    dirty_ = true;
  }
  return hr;
}

HRESULT TTeletextDecoderFilter::OnPacket(const uint8_t* data, size_t size, std::optional<REFERENCE_TIME> start) {
  {
    std::lock_guard<std::mutex> lock(pageMutex_);
    cache_.FeedPes(data, size);
    if (start) time_ = start;
    if (!dirty_ && (!shown_ || cache_.Arrivals(selection_.Page()) == sentArrivals_)) return S_OK;
  }
  if (start) WaitForStreamTime(*start);
  SendPicture(true);
  return S_OK;
}

void TTeletextDecoderFilter::InterruptWait() {
  {
    std::lock_guard<std::mutex> lock(timingMutex_);
    ++interrupts_;
  }
  timingCv_.notify_all();
}

void TTeletextDecoderFilter::WaitForStreamTime(REFERENCE_TIME time) {
  ComPtr<IReferenceClock> clock = Clock();
  if (!clock || state() != State_Running) return;
  const REFERENCE_TIME start = StreamStart();
  REFERENCE_TIME now = 0;
  if (FAILED(clock->GetTime(&now)) || now - start >= time) return;
  uint64_t interruptsBefore = 0;
  {
    std::lock_guard<std::mutex> lock(timingMutex_);
    reached_ = false;
    interruptsBefore = interrupts_;
  }
  uintptr_t cookie = 0;
  auto reached = [this] {
    {
      std::lock_guard<std::mutex> lock(timingMutex_);
      reached_ = true;
    }
    timingCv_.notify_all();
  };
  if (FAILED(clock->AdviseTime(start, time, reached, &cookie))) return;
  {
    std::unique_lock<std::mutex> lock(timingMutex_);
    timingCv_.wait_for(lock, kMaxHold, [&] {
      return reached_ || interrupts_ != interruptsBefore || state() != State_Running || input_->IsFlushing();
    });
  }
  clock->Unadvise(cookie);
}

std::vector<uint8_t> TTeletextDecoderFilter::ComposeLocked() {
  dirty_ = false;
  sentArrivals_ = cache_.Arrivals(selection_.Page());
  if (!shown_) return {};
  TFetchedPage page;
  if (!cache_.Fetch(selection_.Page(), selection_.Subpage(), &page)) {
    // Not on air yet: the header searches until the page arrives.
    TFetchedPage blank;
    MakeSearchingPage(blank.Get(), selection_.Label(), cache_.HeaderText());
    return DrawPage(blank.Get(), transparent_).bgra;
  }
  LabelHeader(page.Get(), selection_.Label());
  return DrawPage(page.Get(), transparent_).bgra;
}

void TTeletextDecoderFilter::SendPicture(bool wait) {
  std::lock_guard<std::mutex> deliver(deliverMutex_);
  if (!output_->IsConnected() || state() == State_Stopped) return;
  std::vector<uint8_t> picture;
  std::optional<REFERENCE_TIME> time;
  {
    std::lock_guard<std::mutex> lock(pageMutex_);
    picture = ComposeLocked();
    time = time_;
  }
  IMediaSample* sample = nullptr;
  if (FAILED(output_->GetDeliveryBuffer(&sample, nullptr, nullptr, wait ? 0 : AM_GBF_NOWAIT)) || !sample) {
    std::lock_guard<std::mutex> lock(pageMutex_);
    dirty_ = true;  // try again with the next packet
    return;
  }
  uint8_t* buffer = nullptr;
  if (SUCCEEDED(sample->GetPointer(&buffer)) && buffer && sample->GetSize() >= static_cast<int32_t>(picture.size())) {
    if (!picture.empty()) std::memcpy(buffer, picture.data(), picture.size());
    sample->SetActualDataLength(static_cast<int32_t>(picture.size()));
    if (time) sample->SetTime(&*time, nullptr);
    sample->SetSyncPoint(true);
    (void)output_->Deliver(sample);
  }
  sample->Release();
}

// ---------------------------------------------------------------- ITeletextDecoder

HRESULT TTeletextDecoderFilter::GetPage(int32_t* page, int32_t* subpage) {
  if (!page || !subpage) return E_POINTER;
  std::lock_guard<std::mutex> lock(pageMutex_);
  *page = selection_.Page();
  *subpage = selection_.Subpage();
  return S_OK;
}

HRESULT TTeletextDecoderFilter::PutPageDigit(int32_t digit, int32_t subpage) {
  if (digit < 0 || digit > 9) return E_INVALIDARG;
  {
    std::lock_guard<std::mutex> lock(pageMutex_);
    selection_.PutDigit(digit, subpage);
    dirty_ = true;
  }
  SendPicture(false);
  return S_OK;
}

HRESULT TTeletextDecoderFilter::NextPage(int32_t) {
  {
    std::lock_guard<std::mutex> lock(pageMutex_);
    if (!selection_.Next(cache_.Pages())) return S_FALSE;
    dirty_ = true;
  }
  SendPicture(false);
  return S_OK;
}

HRESULT TTeletextDecoderFilter::PrevPage(int32_t) {
  {
    std::lock_guard<std::mutex> lock(pageMutex_);
    if (!selection_.Prev(cache_.Pages())) return S_FALSE;
    dirty_ = true;
  }
  SendPicture(false);
  return S_OK;
}

HRESULT TTeletextDecoderFilter::PutPage(int32_t page, int32_t subpage) {
  {
    std::lock_guard<std::mutex> lock(pageMutex_);
    if (!selection_.Set(page, subpage)) return E_INVALIDARG;
    dirty_ = true;
  }
  SendPicture(false);
  return S_OK;
}

HRESULT TTeletextDecoderFilter::SetTransparent(int32_t on) {
  {
    std::lock_guard<std::mutex> lock(pageMutex_);
    transparent_ = on != 0;
    dirty_ = true;
  }
  SendPicture(false);
  return S_OK;
}

HRESULT TTeletextDecoderFilter::ShowTeletext(int32_t on) {
  {
    std::lock_guard<std::mutex> lock(pageMutex_);
    shown_ = on != 0;
    dirty_ = true;
  }
  SendPicture(false);
  return S_OK;
}

HRESULT TTeletextDecoderFilter::GetShown(int32_t* on) {
  if (!on) return E_POINTER;
  std::lock_guard<std::mutex> lock(pageMutex_);
  *on = shown_ ? 1 : 0;
  return S_OK;
}

HRESULT TTeletextDecoderFilter::SavePages(int32_t flags, int32_t, int32_t, const char* fileName) {
  if (!fileName || !*fileName) return E_INVALIDARG;
  const int32_t format = flags & 0xF0;
  const int32_t scope = flags & 0x0F;
  if (format != kSaveBitmap && format != kSaveText && format != kSaveRaw && format != kSaveHtml) return E_NOTIMPL;
  if (scope == 0) return SaveCurrent(format, fileName);
  if (scope == kScopeAllPages || scope == kScopeAllToOne) return SaveAll(format, scope == kScopeAllToOne, fileName);
  return E_NOTIMPL;
}

HRESULT TTeletextDecoderFilter::SaveCurrent(int32_t format, const std::string& name) {
  std::lock_guard<std::mutex> lock(pageMutex_);
  const int number = selection_.Page();
  if (format == kSaveRaw) {
    std::vector<TPacket> packets = cache_.RawPackets(number);
    if (packets.empty()) return E_FAIL;
    return WriteRawPages(name, {packets}) ? S_OK : E_FAIL;
  }
  TFetchedPage page;
  if (!cache_.Fetch(number, selection_.Subpage(), &page)) return E_FAIL;
  LabelHeader(page.Get(), selection_.Label());
  bool ok = false;
  if (format == kSaveBitmap) ok = WriteBitmap(name, DrawPage(page.Get(), transparent_));
  else if (format == kSaveText) ok = WriteTextPages(name, {PageText(page.Get())});
  else ok = WriteHtmlPages(name, {page.Get()});
  return ok ? S_OK : E_FAIL;
}

HRESULT TTeletextDecoderFilter::SaveAll(int32_t format, bool toOne, const std::string& name) {
  if (format == kSaveBitmap && toOne) return E_NOTIMPL;  // a bitmap holds one page
  std::lock_guard<std::mutex> lock(pageMutex_);
  std::vector<std::unique_ptr<TFetchedPage>> pages;
  std::vector<int> numbers;
  for (int number : cache_.Pages()) {
    auto page = std::make_unique<TFetchedPage>();
    if (!cache_.Fetch(number, kAnySubpage, page.get())) continue;
    char label[8];
    std::snprintf(label, sizeof label, "P%03X", number);
    LabelHeader(page->Get(), label);
    pages.push_back(std::move(page));
    numbers.push_back(number);
  }
  if (pages.empty()) return E_FAIL;
  auto write = [&](const std::string& path, size_t from, size_t to) {
    if (format == kSaveBitmap) return WriteBitmap(path, DrawPage(pages[from]->Get(), transparent_));
    if (format == kSaveText) {
      std::vector<std::vector<std::string>> texts;
      for (size_t i = from; i < to; ++i) texts.push_back(PageText(pages[i]->Get()));
      return WriteTextPages(path, texts);
    }
    if (format == kSaveRaw) {
      std::vector<std::vector<TPacket>> raws;
      for (size_t i = from; i < to; ++i) raws.push_back(cache_.RawPackets(numbers[i]));
      return WriteRawPages(path, raws);
    }
    std::vector<const vbi_page*> list;
    for (size_t i = from; i < to; ++i) list.push_back(pages[i]->Get());
    return WriteHtmlPages(path, list);
  };
  if (toOne) return write(name, 0, pages.size()) ? S_OK : E_FAIL;
  for (size_t i = 0; i < pages.size(); ++i)
    if (!write(PageFileName(name, numbers[i], pages[i]->Get()->subno), i, i + 1)) return E_FAIL;
  return S_OK;
}

HRESULT RegisterTeletextDecoder(TClassRegistry& registry) {
  TClassRegistration r;
  r.clsid = CLSID_TeletextDecoder;
  r.friendlyName = "Teletext decoder";
  r.merit = MERIT_DO_NOT_USE;
  r.inputTypes = {{MEDIATYPE_Video, MEDIASUBTYPE_VBIV}};
  r.outputTypes = {{MEDIATYPE_Video, kSubtypeArgb32}};
  r.factory = [](const IID& iid, void** out) { return CreateComObject<TTeletextDecoderFilter>(iid, out); };
  return registry.RegisterFilter(std::move(r));
}

}  // namespace kv::teletext
