#include "filters/ffmpeg_decode/decoder_filter.h"

#include "debugsup/debugsup.h"

namespace kv::decode {

// ---------------------------------------------------------------- input pin

TDecoderInputPin::TDecoderInputPin(TDecoderFilter* filter) : TBaseInputPin(filter, "In"), decoder_(filter) {}

HRESULT TDecoderInputPin::CheckMediaType(const MediaType& type) { return decoder_->CheckInputType(type); }

HRESULT TDecoderInputPin::CompleteConnect(IPin*) { return decoder_->OpenDecoder(CurrentMediaType()); }

HRESULT TDecoderInputPin::BreakConnect() {
  decoder_->CloseDecoder();
  return TBaseInputPin::BreakConnect();
}

HRESULT TDecoderInputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  const HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return decoder_->ReceiveSample(sample);
}

HRESULT TDecoderInputPin::EndOfStream() {
  // The graph stops downstream filters first, so an upstream pin may still deliver its end
  // of stream to a stopped decoder: taking it would reject the next run's samples.
  if (Filter()->state() == State_Stopped) return VFW_E_WRONG_STATE;
  const HRESULT hr = TBaseInputPin::EndOfStream();
  if (hr != S_OK) return hr;
  return decoder_->ReceiveEndOfStream();
}

HRESULT TDecoderInputPin::BeginFlush() {
  TBaseInputPin::BeginFlush();
  return decoder_->ReceiveBeginFlush();
}

HRESULT TDecoderInputPin::EndFlush() {
  const HRESULT hr = decoder_->ReceiveEndFlush();
  TBaseInputPin::EndFlush();
  return hr;
}

HRESULT TDecoderInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  TBasePin::NewSegment(start, stop, rate);
  return decoder_->ReceiveNewSegment(start, stop, rate);
}

// ---------------------------------------------------------------- output pin

TDecoderOutputPin::TDecoderOutputPin(TDecoderFilter* filter) : TBaseOutputPin(filter, "Out"), decoder_(filter) {}

HRESULT TDecoderOutputPin::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IMediaSeeking::kIid) {
    if (!out) return E_POINTER;
    *out = nullptr;
    IPin* upstream = decoder_->InputPin()->GetConnected();
    return upstream ? upstream->QueryInterface(iid, out) : E_NOINTERFACE;
  }
  return TBaseOutputPin::NonDelegatingQueryInterface(iid, out);
}

bool TDecoderOutputPin::PeerStopped() {
  IPin* peer = GetConnected();
  PIN_INFO info;
  if (!peer || FAILED(peer->QueryPinInfo(&info)) || !info.pFilter) return false;
  FILTER_STATE peerState = State_Running;
  return SUCCEEDED(info.pFilter->GetState(0, &peerState)) && peerState == State_Stopped;
}

HRESULT TDecoderOutputPin::CheckMediaType(const MediaType& type) {
  if (!decoder_->InputPin()->IsConnected()) return VFW_E_NOT_CONNECTED;
  return decoder_->CheckOutputType(type);
}

HRESULT TDecoderOutputPin::GetMediaType(int position, MediaType* type) {
  if (!type) return E_POINTER;
  if (!decoder_->InputPin()->IsConnected()) return VFW_S_NO_MORE_ITEMS;
  return decoder_->GetOutputType(position, type);
}

HRESULT TDecoderOutputPin::SetMediaType(const MediaType& type) {
  const HRESULT hr = TBaseOutputPin::SetMediaType(type);
  if (FAILED(hr)) return hr;
  return decoder_->OnOutputType(type);
}

HRESULT TDecoderOutputPin::DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) {
  return decoder_->DecideBufferSize(allocator, request);
}

// ---------------------------------------------------------------- filter

TDecoderFilter::TDecoderFilter(const CLSID& clsid)
    : TBaseFilter(clsid),
      input_(std::make_unique<TDecoderInputPin>(this)),
      output_(std::make_unique<TDecoderOutputPin>(this)) {}

TDecoderFilter::~TDecoderFilter() = default;

TBasePin* TDecoderFilter::GetPin(int n) {
  if (n == 0) return input_.get();
  if (n == 1) return output_.get();
  return nullptr;
}

HRESULT TDecoderFilter::Stop() {
  // The base decommits our output allocator, which releases a Receive waiting for a buffer.
  const HRESULT hr = TBaseFilter::Stop();
  std::lock_guard lock(receiveMutex_);
  ResetDecoder();
  errorNoted_ = false;
  return hr;
}

HRESULT TDecoderFilter::ReceiveSample(IMediaSample* sample) {
  std::lock_guard lock(receiveMutex_);
  if (input_->IsFlushing()) return S_FALSE;
  return Decode(sample);
}

HRESULT TDecoderFilter::ReceiveEndOfStream() {
  // Delivered under the receive lock, like the samples: an end of stream still on its way
  // when a flush ends would otherwise reach the renderer after the flush and end the new
  // segment before it began.
  std::lock_guard lock(receiveMutex_);
  if (input_->IsFlushing()) return S_FALSE;
  if (state() != State_Stopped) Drain();
  ResetDecoder();
  // The graph stops downstream filters first: while it stops us, the filter below may be
  // stopped already, and an end of stream it took then would outlive the stop.
  if (output_->PeerStopped()) return VFW_E_WRONG_STATE;
  return output_->DeliverEndOfStream();
}

HRESULT TDecoderFilter::ReceiveBeginFlush() {
  // Downstream first: a Receive of ours blocked in delivery returns, freeing receiveMutex_.
  return output_->DeliverBeginFlush();
}

HRESULT TDecoderFilter::ReceiveEndFlush() {
  {
    std::lock_guard lock(receiveMutex_);
    ResetDecoder();
  }
  return output_->DeliverEndFlush();
}

HRESULT TDecoderFilter::ReceiveNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  std::lock_guard lock(receiveMutex_);
  segmentStart_ = start;
  segmentRate_ = rate;
  ResetDecoder();
  return output_->DeliverNewSegment(start, stop, rate);
}

HRESULT TDecoderFilter::DeliverOutput(IMediaSample* sample) { return output_->Deliver(sample); }

HRESULT TDecoderFilter::GetOutputBuffer(IMediaSample** sample) {
  return output_->GetDeliveryBuffer(sample, nullptr, nullptr, 0);
}

void TDecoderFilter::NoteDecodeError(const std::string& text) {
  if (errorNoted_) return;
  errorNoted_ = true;
  if (Debug.Enabled) Debug.TextOut(Name() + ": " + text + " (further errors of this stream not logged)");
}

HRESULT TDecoderFilter::SendPacket(ffmpeg::TDecoderCore& core, const uint8_t* data, int size, int64_t pts,
                                   bool keyFrame, uint32_t skipStart, uint32_t skipEnd, const char* brokenText,
                                   const std::function<HRESULT()>& deliverReady) {
  for (;;) {
    const int err = core.Send(data, size, pts, keyFrame, skipStart, skipEnd);
    if (err == AVERROR(EAGAIN)) {
      // The decoder is full: take its output out, then offer the packet again.
      const HRESULT hr = deliverReady();
      if (hr != S_OK) return hr;
      continue;
    }
    if (err < 0) NoteDecodeError(std::string(brokenText) + ffmpeg::ErrorText(err));
    break;
  }
  const HRESULT hr = deliverReady();
  return FAILED(hr) ? hr : S_OK;
}

}  // namespace kv::decode
