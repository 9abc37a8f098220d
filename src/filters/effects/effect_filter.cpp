#include "filters/effects/effect_filter.h"

#include "filters/effects/effect_store.h"

namespace kv::effects {
namespace {

// A new instance (the chain rebuilt after the dialog, a reconnect, the next run) starts
// where the user last applied the page.
std::vector<double> StartValues(const TEffectDesc& desc) {
  return LoadEffectValues(desc).value_or(DefaultValues(desc));
}

}  // namespace

TEffectFilter::TEffectFilter(const TEffectDesc& desc)
    : TTransformFilter(desc.Clsid, TTransformMode::Copy, "In", "Out"),
      desc_(desc),
      values_(StartValues(desc)),
      in_(av_frame_alloc()),
      out_(av_frame_alloc()) {
  // Three queued pictures let the next effect (or the renderer) work on one while this one
  // makes the next; the output allocator holds enough buffers for that (video_effect_filter).
  if (desc.Video) queue_ = std::make_unique<TOutputQueue>(OutputPin(), 3);
}

TEffectFilter::~TEffectFilter() {
  if (queue_) queue_->Stop();
  graph_.Close();
  av_frame_free(&in_);
  av_frame_free(&out_);
}

HRESULT TEffectFilter::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == ISpecifyPropertyPages::kIid) return GetInterface(static_cast<ISpecifyPropertyPages*>(this), out);
  if (iid == IKavelloEffect::kIid) return GetInterface(static_cast<IKavelloEffect*>(this), out);
  return TTransformFilter::NonDelegatingQueryInterface(iid, out);
}

HRESULT TEffectFilter::GetPages(std::vector<CLSID>* pages) {
  if (!pages) return E_POINTER;
  *pages = {CLSID_KavelloEffectPage};
  return S_OK;
}

HRESULT TEffectFilter::GetEffectClass(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = desc_.Clsid;
  return S_OK;
}

HRESULT TEffectFilter::GetValues(std::vector<double>* values) {
  if (!values) return E_POINTER;
  *values = Values();
  return S_OK;
}

HRESULT TEffectFilter::SetValues(const std::vector<double>& values) {
  std::vector<double> clamped = ClampValues(desc_, values);
  {
    std::lock_guard lock(valuesMutex_);
    if (clamped == values_) return S_OK;
    values_ = clamped;
  }
  changed_ = true;
  return S_OK;
}

HRESULT TEffectFilter::SaveValues() {
  return StoreEffectValues(desc_, Values()) ? S_OK : E_FAIL;
}

std::vector<double> TEffectFilter::Values() {
  std::lock_guard lock(valuesMutex_);
  return values_;
}

bool TEffectFilter::EnsureGraph() {
  if (resetPending_.exchange(false)) {
    graph_.Close();
    failed_ = false;
  }
  if (changed_.exchange(false) && graph_.IsOpen()) {
    // The frames the old chain holds belong to the stream: let them out first.
    if (Drain() != S_OK) return false;
    graph_.Close();
    failed_ = false;
  }
  if (graph_.IsOpen()) return true;
  if (failed_) return false;
  std::string error;
  if (OpenGraph(graph_, ChainFor(Values()), &error)) return true;
  // Values libavfilter refuses leave the picture or sound as it is rather than stopping it.
  if (OpenGraph(graph_, PassThrough(), &error)) return true;
  failed_ = true;
  ReportStreamingError(E_FAIL, "Playback stopped because the filter \"" + desc_.FriendlyName + "\" failed.",
                       "libavfilter: " + error);
  return false;
}

HRESULT TEffectFilter::PullAndDeliver() {
  while (graph_.Pull(out_)) {
    HRESULT hr = DeliverFrame(out_);
    av_frame_unref(out_);
    if (hr != S_OK) return hr;
  }
  return S_OK;
}

HRESULT TEffectFilter::Drain() {
  if (!graph_.IsOpen()) return S_OK;
  graph_.Push(nullptr);
  HRESULT hr = PullAndDeliver();
  graph_.Close();
  return hr;
}

HRESULT TEffectFilter::ReceiveSample(IMediaSample* in) {
  // The base would take an output buffer first; the chain's output goes into buffers of
  // its own (DeliverFrame), so none is held while libavfilter works.
  HRESULT hr = Transform(in, nullptr);
  if (FAILED(hr)) {
    ReportStreamingError(hr, "Playback stopped because a filter failed.", "transform failed " + HResultText(hr));
    return hr;
  }
  return S_OK;
}

HRESULT TEffectFilter::Transform(IMediaSample* in, IMediaSample*) {
  if (!EnsureGraph()) return failed_ ? E_FAIL : S_FALSE;
  av_frame_unref(in_);
  if (!FrameFromSample(in, in_)) return S_FALSE;  // a short sample is dropped, not fatal
  bool pushed = graph_.Push(in_);
  av_frame_unref(in_);
  if (!pushed) {
    // A graph that refuses a frame is rebuilt for the next one.
    resetPending_ = true;
    return S_FALSE;
  }
  HRESULT hr = PullAndDeliver();
  return FAILED(hr) && !IsFlushingOrStopped() ? hr : S_FALSE;
}

HRESULT TEffectFilter::DeliverSample(IMediaSample* sample) {
  return queue_ ? queue_->Receive(sample) : OutputPin()->Deliver(sample);
}

HRESULT TEffectFilter::EndOfStream() {
  if (!IsFlushingOrStopped()) Drain();
  resetPending_ = true;
  if (queue_) return OutputPin()->IsConnected() ? queue_->EndOfStream() : S_OK;
  return TTransformFilter::EndOfStream();
}

HRESULT TEffectFilter::BeginFlush() {
  if (!queue_) return TTransformFilter::BeginFlush();
  queue_->BeginFlush();  // drops what is queued and passes the flush on
  return S_OK;
}

HRESULT TEffectFilter::EndFlush() {
  resetPending_ = true;
  discontinuity_ = true;
  if (!queue_) return TTransformFilter::EndFlush();
  queue_->EndFlush();
  return S_OK;
}

HRESULT TEffectFilter::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  resetPending_ = true;
  discontinuity_ = true;
  if (!queue_) return TTransformFilter::NewSegment(start, stop, rate);
  return OutputPin()->IsConnected() ? queue_->NewSegment(start, stop, rate) : S_OK;
}

HRESULT TEffectFilter::Pause() {
  // The thread runs before any sample can arrive.
  if (queue_ && state() == State_Stopped && OutputPin()->IsConnected()) queue_->Start();
  return TTransformFilter::Pause();
}

HRESULT TEffectFilter::Stop() {
  // Downstream filters are stopped first, so the thread is not held by a renderer's wait.
  if (queue_) queue_->Stop();
  return TTransformFilter::Stop();
}

HRESULT TEffectFilter::StopStreaming() {
  resetPending_ = true;
  discontinuity_ = true;
  return S_OK;
}

}  // namespace kv::effects
