#include "platform/graph/base_filter.h"

namespace kv {

// ---------------------------------------------------------------- enumerators

namespace {
class TMediaTypeEnumerator : public TUnknown, public IEnumMediaTypes {
 public:
  using Source = std::function<std::vector<MediaType>()>;
  TMediaTypeEnumerator(Source source, std::vector<MediaType> types, size_t pos)
      : source_(std::move(source)), types_(std::move(types)), pos_(pos) {}
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IEnumMediaTypes::kIid) return GetInterface(static_cast<IEnumMediaTypes*>(this), out);
    return TUnknown::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT Next(ULONG count, MediaType** types, ULONG* fetched) override {
    if (!types || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    while (n < count && pos_ < types_.size()) types[n++] = new MediaType(types_[pos_++]);
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    if (count > types_.size() - pos_) {
      pos_ = types_.size();
      return S_FALSE;
    }
    pos_ += count;
    return S_OK;
  }
  HRESULT Reset() override {
    types_ = source_();
    pos_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumMediaTypes** out) override {
    if (!out) return E_POINTER;
    *out = new TMediaTypeEnumerator(source_, types_, pos_);
    (*out)->AddRef();
    return S_OK;
  }

 private:
  Source source_;
  std::vector<MediaType> types_;
  size_t pos_;
};
}  // namespace

HRESULT CreateMediaTypeEnumerator(std::function<std::vector<MediaType>()> source, IEnumMediaTypes** out) {
  if (!out) return E_POINTER;
  auto types = source();
  *out = new TMediaTypeEnumerator(std::move(source), std::move(types), 0);
  (*out)->AddRef();
  return S_OK;
}

std::optional<MediaType> FirstMediaType(IPin* pin) {
  if (!pin) return std::nullopt;
  ComPtr<IEnumMediaTypes> e;
  if (FAILED(pin->EnumMediaTypes(e.Put())) || !e) return std::nullopt;
  MediaType* mt = nullptr;
  if (e->Next(1, &mt, nullptr) != S_OK || !mt) return std::nullopt;
  MediaType copy = *mt;
  DeleteMediaType(mt);
  return copy;
}

// ---------------------------------------------------------------- TBasePin

TBasePin::TBasePin(TBaseFilter* filter, std::string name, PIN_DIRECTION dir)
    : TUnknown(static_cast<TUnknown*>(filter)), filter_(filter), name_(std::move(name)), dir_(dir) {}

TBasePin::~TBasePin() = default;

HRESULT TBasePin::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IPin::kIid) return GetInterface(static_cast<IPin*>(this), out);
  return TUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT TBasePin::GetMediaType(int, MediaType*) { return VFW_S_NO_MORE_ITEMS; }

HRESULT TBasePin::SetMediaType(const MediaType& type) {
  mt_ = type;
  return S_OK;
}

HRESULT TBasePin::AttemptConnection(IPin* receiver, const MediaType& type) {
  if (CheckMediaType(type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  connected_ = receiver;
  HRESULT hr = SetMediaType(type);
  if (SUCCEEDED(hr)) hr = receiver->ReceiveConnection(this, &type);
  if (SUCCEEDED(hr)) {
    hr = CompleteConnect(receiver);
    if (SUCCEEDED(hr)) return S_OK;
    receiver->Disconnect();
  }
  BreakConnect();
  connected_.Reset();
  mt_ = MediaType{};
  return FAILED(hr) ? hr : VFW_E_TYPE_NOT_ACCEPTED;
}

HRESULT TBasePin::Connect(IPin* receiver, const MediaType* type) {
  if (!receiver) return E_POINTER;
  if (dir_ != PINDIR_OUTPUT) return VFW_E_INVALID_DIRECTION;
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  PIN_DIRECTION peerDir;
  if (FAILED(receiver->QueryDirection(&peerDir)) || peerDir != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;

  // A complete type is tried as it is; a partial one filters the candidates.
  bool complete = type && type->majortype != GUID_NULL && type->subtype != GUID_NULL && type->formattype != GUID_NULL;
  if (complete) return AttemptConnection(receiver, *type);

  HRESULT last = VFW_E_NO_ACCEPTABLE_TYPES;
  auto tryType = [&](const MediaType& candidate) {
    if (type && !candidate.MatchesPartial(*type)) return false;
    HRESULT hr = AttemptConnection(receiver, candidate);
    if (SUCCEEDED(hr)) return true;
    last = hr;
    return false;
  };
  // The receiver's preferences first, then ours.
  ComPtr<IEnumMediaTypes> theirs;
  if (SUCCEEDED(receiver->EnumMediaTypes(theirs.Put())) && theirs) {
    MediaType* mt = nullptr;
    while (theirs->Next(1, &mt, nullptr) == S_OK) {
      std::unique_ptr<MediaType> own(mt);
      if (tryType(*own)) return S_OK;
    }
  }
  for (int i = 0;; ++i) {
    MediaType mt;
    if (GetMediaType(i, &mt) != S_OK) break;
    if (tryType(mt)) return S_OK;
  }
  return last == VFW_E_TYPE_NOT_ACCEPTED ? VFW_E_NO_ACCEPTABLE_TYPES : last;
}

HRESULT TBasePin::ReceiveConnection(IPin* connector, const MediaType* type) {
  if (!connector || !type) return E_POINTER;
  if (dir_ != PINDIR_INPUT) return VFW_E_INVALID_DIRECTION;
  if (connected_) return VFW_E_ALREADY_CONNECTED;
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (CheckMediaType(*type) != S_OK) return VFW_E_TYPE_NOT_ACCEPTED;
  connected_ = connector;
  HRESULT hr = SetMediaType(*type);
  if (SUCCEEDED(hr)) hr = CompleteConnect(connector);
  if (FAILED(hr)) {
    BreakConnect();
    connected_.Reset();
    mt_ = MediaType{};
    return hr;
  }
  return S_OK;
}

HRESULT TBasePin::Disconnect() {
  if (filter_->state() != State_Stopped) return VFW_E_NOT_STOPPED;
  if (!connected_) return S_FALSE;
  BreakConnect();
  connected_.Reset();
  mt_ = MediaType{};
  return S_OK;
}

HRESULT TBasePin::ConnectedTo(IPin** pin) {
  if (!pin) return E_POINTER;
  *pin = connected_.Get();
  if (!*pin) return VFW_E_NOT_CONNECTED;
  (*pin)->AddRef();
  return S_OK;
}

HRESULT TBasePin::ConnectionMediaType(MediaType* type) {
  if (!type) return E_POINTER;
  if (!connected_) {
    *type = MediaType{};
    return VFW_E_NOT_CONNECTED;
  }
  *type = mt_;
  return S_OK;
}

HRESULT TBasePin::QueryPinInfo(PIN_INFO* info) {
  if (!info) return E_POINTER;
  info->pFilter = ComPtr<IBaseFilter>(filter_);
  info->dir = dir_;
  info->achName = name_;
  return S_OK;
}

HRESULT TBasePin::QueryDirection(PIN_DIRECTION* dir) {
  if (!dir) return E_POINTER;
  *dir = dir_;
  return S_OK;
}

HRESULT TBasePin::QueryId(std::string* id) {
  if (!id) return E_POINTER;
  *id = name_;
  return S_OK;
}

HRESULT TBasePin::QueryAccept(const MediaType* type) {
  if (!type) return E_POINTER;
  return CheckMediaType(*type) == S_OK ? S_OK : S_FALSE;
}

HRESULT TBasePin::EnumMediaTypes(IEnumMediaTypes** out) {
  // The filter stays alive while the enumerator lives.
  ComPtr<IBaseFilter> keep(filter_);
  return CreateMediaTypeEnumerator(
      [this, keep] {
        std::vector<MediaType> types;
        for (int i = 0;; ++i) {
          MediaType mt;
          if (GetMediaType(i, &mt) != S_OK) break;
          types.push_back(std::move(mt));
        }
        return types;
      },
      out);
}

HRESULT TBasePin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  segStart_ = start;
  segStop_ = stop;
  segRate_ = rate;
  return S_OK;
}

// ---------------------------------------------------------------- TBaseInputPin

TBaseInputPin::TBaseInputPin(TBaseFilter* filter, std::string name) : TBasePin(filter, std::move(name), PINDIR_INPUT) {}

HRESULT TBaseInputPin::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IMemInputPin::kIid) return GetInterface(static_cast<IMemInputPin*>(this), out);
  return TBasePin::NonDelegatingQueryInterface(iid, out);
}

HRESULT TBaseInputPin::GetAllocator(IMemAllocator** allocator) {
  if (!allocator) return E_POINTER;
  if (!allocator_) allocator_ = CreateMemAllocator();
  return GetInterface(allocator_.Get(), reinterpret_cast<void**>(allocator));
}

HRESULT TBaseInputPin::NotifyAllocator(IMemAllocator* allocator, bool readOnly) {
  if (!allocator) return E_POINTER;
  allocator_ = allocator;
  readOnly_ = readOnly;
  return S_OK;
}

HRESULT TBaseInputPin::BeginFlush() {
  flushing_.store(true, std::memory_order_release);
  return S_OK;
}

HRESULT TBaseInputPin::EndFlush() {
  endOfStream_.store(false, std::memory_order_release);
  flushing_.store(false, std::memory_order_release);
  return S_OK;
}

HRESULT TBaseInputPin::EndOfStream() {
  if (IsFlushing()) return S_FALSE;
  // An end of stream that reaches a stopped filter (renderers stop first) would outlive the
  // stop and make the next run refuse its samples.
  if (filter_->state() == State_Stopped) return VFW_E_WRONG_STATE;
  endOfStream_.store(true, std::memory_order_release);
  return S_OK;
}

HRESULT TBaseInputPin::BreakConnect() {
  allocator_.Reset();
  return S_OK;
}

HRESULT TBaseInputPin::Inactive() {
  // A stopped pin starts its next run clean.
  endOfStream_.store(false, std::memory_order_release);
  flushing_.store(false, std::memory_order_release);
  return S_OK;
}

HRESULT TBaseInputPin::CheckStreaming() {
  if (!connected_) return VFW_E_NOT_CONNECTED;
  if (IsFlushing()) return S_FALSE;
  if (filter_->state() == State_Stopped) return VFW_E_WRONG_STATE;
  if (endOfStream_.load(std::memory_order_acquire)) return VFW_E_SAMPLE_REJECTED_EOS;
  return S_OK;
}

// ---------------------------------------------------------------- TBaseOutputPin

TBaseOutputPin::TBaseOutputPin(TBaseFilter* filter, std::string name)
    : TBasePin(filter, std::move(name), PINDIR_OUTPUT) {}

HRESULT TBaseOutputPin::CompleteConnect(IPin* receivePin) {
  ComPtr<IMemInputPin> input;
  if (FAILED(receivePin->QueryInterface(IMemInputPin::kIid, input.PutVoid())) || !input) return E_NOINTERFACE;
  if (UsesAllocator()) {
    // The receiver's allocator when it offers one, else our own.
    ComPtr<IMemAllocator> alloc;
    if (FAILED(input->GetAllocator(alloc.Put())) || !alloc) alloc = CreateMemAllocator();
    ALLOCATOR_PROPERTIES request;
    input->GetAllocatorRequirements(&request);
    HRESULT hr = DecideBufferSize(alloc.Get(), &request);
    if (FAILED(hr)) return hr;
    hr = input->NotifyAllocator(alloc.Get(), false);
    if (FAILED(hr)) return hr;
    allocator_ = alloc;
  }
  inputPin_ = input;
  return S_OK;
}

HRESULT TBaseOutputPin::BreakConnect() {
  if (allocator_) allocator_->Decommit();
  allocator_.Reset();
  inputPin_.Reset();
  return S_OK;
}

HRESULT TBaseOutputPin::Active() {
  if (!connected_ || !allocator_) return S_OK;
  return allocator_->Commit();
}

HRESULT TBaseOutputPin::Inactive() {
  if (allocator_) allocator_->Decommit();
  return S_OK;
}

HRESULT TBaseOutputPin::GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start, REFERENCE_TIME* stop,
                                          uint32_t flags) {
  if (!allocator_) return VFW_E_NO_ALLOCATOR;
  return allocator_->GetBuffer(sample, start, stop, flags);
}

HRESULT TBaseOutputPin::Deliver(IMediaSample* sample) {
  if (!inputPin_) return VFW_E_NOT_CONNECTED;
  return inputPin_->Receive(sample);
}

HRESULT TBaseOutputPin::DeliverEndOfStream() {
  if (!connected_) return VFW_E_NOT_CONNECTED;
  return connected_->EndOfStream();
}

HRESULT TBaseOutputPin::DeliverBeginFlush() {
  if (!connected_) return VFW_E_NOT_CONNECTED;
  return connected_->BeginFlush();
}

HRESULT TBaseOutputPin::DeliverEndFlush() {
  if (!connected_) return VFW_E_NOT_CONNECTED;
  return connected_->EndFlush();
}

HRESULT TBaseOutputPin::DeliverNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  NewSegment(start, stop, rate);
  if (!connected_) return VFW_E_NOT_CONNECTED;
  return connected_->NewSegment(start, stop, rate);
}

// ---------------------------------------------------------------- TBaseFilter

TBaseFilter::TBaseFilter(const CLSID& clsid) : clsid_(clsid) {}
TBaseFilter::~TBaseFilter() = default;

HRESULT TBaseFilter::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IBaseFilter::kIid || iid == IMediaFilter::kIid || iid == IPersist::kIid)
    return GetInterface(static_cast<IBaseFilter*>(this), out);
  return TUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT TBaseFilter::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = clsid_;
  return S_OK;
}

HRESULT TBaseFilter::Stop() {
  {
    std::lock_guard lock(stateMutex_);
    if (state_ == State_Stopped) return S_OK;
    state_.store(State_Stopped, std::memory_order_release);
  }
  // Pins stop without our lock: an output pin joins its thread here.
  HRESULT result = S_OK;
  for (int i = 0; i < GetPinCount(); ++i) {
    TBasePin* pin = GetPin(i);
    if (!pin || !pin->IsConnected()) continue;
    HRESULT hr = pin->Inactive();
    if (FAILED(hr) && SUCCEEDED(result)) result = hr;
  }
  return result;
}

HRESULT TBaseFilter::Pause() {
  FILTER_STATE old;
  {
    std::lock_guard lock(stateMutex_);
    old = state_;
    if (old == State_Stopped) errorReported_ = false;
  }
  if (old == State_Stopped) {
    // Pins become active before the state says paused, so that a streaming thread
    // started here never sees a half-active filter.
    for (int i = 0; i < GetPinCount(); ++i) {
      TBasePin* pin = GetPin(i);
      if (!pin || !pin->IsConnected()) continue;
      HRESULT hr = pin->Active();
      if (FAILED(hr)) {
        for (int j = 0; j < i; ++j)
          if (GetPin(j) && GetPin(j)->IsConnected()) GetPin(j)->Inactive();
        return hr;
      }
    }
  }
  std::lock_guard lock(stateMutex_);
  state_.store(State_Paused, std::memory_order_release);
  return S_OK;
}

HRESULT TBaseFilter::Run(REFERENCE_TIME tStart) {
  if (state() == State_Stopped) {
    HRESULT hr = Pause();
    if (FAILED(hr)) return hr;
  }
  std::lock_guard lock(stateMutex_);
  start_ = tStart;
  state_.store(State_Running, std::memory_order_release);
  return S_OK;
}

HRESULT TBaseFilter::GetState(uint32_t, FILTER_STATE* state) {
  if (!state) return E_POINTER;
  *state = this->state();
  return S_OK;
}

HRESULT TBaseFilter::SetSyncSource(IReferenceClock* clock) {
  std::lock_guard lock(stateMutex_);
  clock_ = clock;
  return S_OK;
}

HRESULT TBaseFilter::GetSyncSource(IReferenceClock** clock) {
  if (!clock) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  *clock = clock_.Get();
  if (*clock) (*clock)->AddRef();
  return S_OK;
}

HRESULT TBaseFilter::EnumPins(IEnumPins** out) {
  ComPtr<IBaseFilter> keep(this);
  return CreateEnumerator<IEnumPins, IPin>(
      [this, keep] {
        std::vector<ComPtr<IPin>> pins;
        for (int i = 0; i < GetPinCount(); ++i)
          if (TBasePin* p = GetPin(i)) pins.emplace_back(static_cast<IPin*>(p));
        return pins;
      },
      out);
}

HRESULT TBaseFilter::FindPin(const std::string& id, IPin** pin) {
  if (!pin) return E_POINTER;
  *pin = nullptr;
  for (int i = 0; i < GetPinCount(); ++i) {
    TBasePin* p = GetPin(i);
    if (p && p->Name() == id) return GetInterface(static_cast<IPin*>(p), reinterpret_cast<void**>(pin));
  }
  return VFW_E_NOT_FOUND;
}

HRESULT TBaseFilter::QueryFilterInfo(FILTER_INFO* info) {
  if (!info) return E_POINTER;
  std::lock_guard lock(stateMutex_);
  info->achName = name_;
  info->pGraph = graph_;
  return S_OK;
}

HRESULT TBaseFilter::JoinFilterGraph(IFilterGraph* graph, const std::string& name) {
  ComPtr<IMediaEventSink> sink;
  if (graph) graph->QueryInterface(IMediaEventSink::kIid, sink.PutVoid());
  std::lock_guard lock(stateMutex_);
  graph_ = graph;
  sink_ = sink.Get();  // kept without a reference, like graph_
  name_ = graph ? name : std::string();
  return S_OK;
}

bool TBaseFilter::NotifyEvent(int32_t code, intptr_t param1, intptr_t param2) {
  IMediaEventSink* sink;
  {
    std::lock_guard lock(stateMutex_);
    sink = sink_;
  }
  if (!sink) return false;
  return SUCCEEDED(sink->Notify(code, param1, param2));
}

void TBaseFilter::ReportStreamingError(HRESULT hr, const std::string& userText, const std::string& detail) {
  std::string name;
  {
    std::lock_guard lock(stateMutex_);
    if (errorReported_) return;
    errorReported_ = true;
    name = name_;
  }
  auto* text = new TEventErrorText{userText, "\"" + name + "\": " + detail};
  if (!NotifyEvent(EC_ERRORABORTEX, hr, reinterpret_cast<intptr_t>(text))) delete text;
}

ComPtr<IReferenceClock> TBaseFilter::Clock() {
  std::lock_guard lock(stateMutex_);
  return clock_;
}

REFERENCE_TIME TBaseFilter::StreamStart() {
  std::lock_guard lock(stateMutex_);
  return start_;
}

std::string TBaseFilter::Name() {
  std::lock_guard lock(stateMutex_);
  return name_;
}

}  // namespace kv
