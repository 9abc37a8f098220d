#include "platform/graph/renderer_base.h"

#include <algorithm>
#include <chrono>

namespace kv {

TRendererInputPin::TRendererInputPin(TBaseRenderer* renderer, std::string name)
    : TBaseInputPin(renderer, std::move(name)), renderer_(renderer) {}

HRESULT TRendererInputPin::CheckMediaType(const MediaType& type) { return renderer_->CheckMediaType(type); }

HRESULT TRendererInputPin::SetMediaType(const MediaType& type) {
  HRESULT hr = renderer_->SetMediaType(type);
  if (FAILED(hr)) return hr;
  return TBaseInputPin::SetMediaType(type);
}

HRESULT TRendererInputPin::Receive(IMediaSample* sample) {
  if (!sample) return E_POINTER;
  HRESULT hr = CheckStreaming();
  if (hr != S_OK) return hr;
  return renderer_->ReceiveSample(sample);
}

HRESULT TRendererInputPin::EndOfStream() {
  HRESULT hr = TBaseInputPin::EndOfStream();
  if (hr != S_OK) return hr;
  return renderer_->ReceiveEndOfStream();
}

HRESULT TRendererInputPin::BeginFlush() {
  TBaseInputPin::BeginFlush();
  renderer_->BeginFlushing();
  renderer_->OnBeginFlush();
  return S_OK;
}

HRESULT TRendererInputPin::EndFlush() {
  renderer_->EndFlushing();
  renderer_->OnEndFlush();
  return TBaseInputPin::EndFlush();
}

HRESULT TRendererInputPin::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  TBaseInputPin::NewSegment(start, stop, rate);
  renderer_->OnNewSegment(start, stop, rate);
  return S_OK;
}

TBaseRenderer::TBaseRenderer(const CLSID& clsid, std::string pinName)
    : TBaseFilter(clsid), input_(std::make_unique<TRendererInputPin>(this, std::move(pinName))) {}

TBaseRenderer::~TBaseRenderer() = default;

HRESULT TBaseRenderer::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IAMFilterMiscFlags::kIid) return GetInterface(static_cast<IAMFilterMiscFlags*>(this), out);
  if (iid == IRendererPosition::kIid) return GetInterface(static_cast<IRendererPosition*>(this), out);
  return TBaseFilter::NonDelegatingQueryInterface(iid, out);
}

TBasePin* TBaseRenderer::GetPin(int n) { return n == 0 ? input_.get() : nullptr; }

HRESULT TBaseRenderer::Pause() {
  FILTER_STATE old = state();
  {
    std::lock_guard lock(renderMutex_);
    if (old == State_Stopped) {
      ready_ = !input_->IsConnected();  // nothing will ever arrive at a loose pin
      endOfStream_ = false;
      completeSent_ = false;
      presented_ = false;
      firstAfterStart_ = true;
      reachedStart_ = false;
      beforeStart_.Reset();
      consecutiveDrops_ = 0;
    } else if (old == State_Running) {
      ready_ = true;  // it has been presenting; pausing shows what it has
    }
  }
  HRESULT hr = TBaseFilter::Pause();
  if (FAILED(hr)) return hr;
  if (old == State_Stopped) OnStartStreaming();
  std::lock_guard lock(renderMutex_);
  wake_.notify_all();
  readyChanged_.notify_all();
  return ready_ ? S_OK : VFW_S_STATE_INTERMEDIATE;
}

HRESULT TBaseRenderer::Run(REFERENCE_TIME tStart) {
  HRESULT hr = TBaseFilter::Run(tStart);
  if (FAILED(hr)) return hr;
  std::unique_lock lock(renderMutex_);
  firstAfterStart_ = true;
  wake_.notify_all();
  readyChanged_.notify_all();
  SendCompleteIfDue(lock);
  return S_OK;
}

HRESULT TBaseRenderer::Stop() {
  bool wasActive = state() != State_Stopped;
  HRESULT hr = TBaseFilter::Stop();
  {
    std::lock_guard lock(renderMutex_);
    ready_ = false;
    endOfStream_ = false;
    completeSent_ = false;
    beforeStart_.Reset();
    wake_.notify_all();
    readyChanged_.notify_all();
  }
  if (wasActive) OnStopStreaming();
  return hr;
}

HRESULT TBaseRenderer::GetState(uint32_t msTimeout, FILTER_STATE* st) {
  if (!st) return E_POINTER;
  *st = state();
  if (*st != State_Paused) return S_OK;
  std::unique_lock lock(renderMutex_);
  auto done = [&] { return ready_ || state() != State_Paused; };
  if (msTimeout == 0xFFFFFFFFu)
    readyChanged_.wait(lock, done);
  else
    readyChanged_.wait_for(lock, std::chrono::milliseconds(msTimeout), done);
  *st = state();
  return (ready_ || *st != State_Paused) ? S_OK : VFW_S_STATE_INTERMEDIATE;
}

void TBaseRenderer::CancelAdviseUnlocked(std::unique_lock<std::mutex>& lock) {
  if (!adviseCookie_) return;
  uintptr_t cookie = std::exchange(adviseCookie_, 0);
  ComPtr<IReferenceClock> clock = std::move(adviseClock_);
  adviseClock_.Reset();
  // The advise callback takes renderMutex_: cancel without it.
  lock.unlock();
  clock->Unadvise(cookie);
  lock.lock();
}

TBaseRenderer::Wait TBaseRenderer::WaitForRenderTime(std::unique_lock<std::mutex>& lock, IMediaSample* sample,
                                                     HRESULT* result) {
  REFERENCE_TIME adviseDue = 0;
  clockedRender_ = false;
  for (;;) {
    if (flushing_ || state() == State_Stopped) {
      *result = flushing_ ? S_FALSE : VFW_E_WRONG_STATE;
      CancelAdviseUnlocked(lock);
      return Wait::Abort;
    }
    if (state() != State_Running) {
      wake_.wait(lock);
      continue;
    }
    ComPtr<IReferenceClock> clock = Clock();
    REFERENCE_TIME start = 0, stop = 0;
    if (!clock || FAILED(sample->GetTime(&start, &stop))) {
      CancelAdviseUnlocked(lock);
      return Wait::Render;  // unclocked, or a sample without a time: at once
    }
    REFERENCE_TIME base = StreamStart();
    REFERENCE_TIME due = base + start;
    REFERENCE_TIME now = 0;
    clock->GetTime(&now);
    if (now >= due) {
      CancelAdviseUnlocked(lock);
      if (flushing_ || state() != State_Running) continue;  // changed while unlocked
      const REFERENCE_TIME allowed = std::max(kLateThreshold, stop > start ? stop - start : 0);
      bool late = now - due > allowed;
      if (late && DropsLateSamples() && !firstAfterStart_ && consecutiveDrops_ < kMaxConsecutiveDrops)
        return Wait::Drop;
      clockedRender_ = true;
      renderLateness_ = now - due;
      return Wait::Render;
    }
    if (adviseCookie_ && (adviseDue != due || adviseClock_.Get() != clock.Get())) {
      CancelAdviseUnlocked(lock);
      continue;
    }
    if (!adviseCookie_) {
      uintptr_t cookie = 0;
      HRESULT hr = clock->AdviseTime(base, start, [this] {
        std::lock_guard l(renderMutex_);
        adviseFired_ = true;
        wake_.notify_all();
      }, &cookie);
      if (FAILED(hr)) return Wait::Render;  // a clock that cannot advise: do not hang
      adviseCookie_ = cookie;
      adviseClock_ = clock;
      adviseDue = due;
      adviseFired_ = false;
    }
    wake_.wait(lock);
  }
}

HRESULT TBaseRenderer::ReceiveSample(IMediaSample* sample) {
  std::unique_lock lock(renderMutex_);
  if (flushing_) return S_FALSE;
  if (state() == State_Stopped) return VFW_E_WRONG_STATE;
  if (SkipsSamplesBeforeStart() && !reachedStart_) {
    REFERENCE_TIME start = 0, stop = 0;
    if (sample->GetTime(&start, &stop) == S_OK && stop <= 0) {
      beforeStart_ = ComPtr<IMediaSample>(sample);  // kept in case nothing follows
      return S_OK;
    }
    reachedStart_ = true;
    beforeStart_.Reset();
  }
  holding_ = true;
  if (state() == State_Paused && !ready_) {
    // Present the preroll first, then complete the pause: when the graph's Pause is
    // done (StopWhenReady), the first frame is already on screen.
    lock.unlock();
    OnReceiveFirstSample(sample);
    lock.lock();
    if (!flushing_ && state() == State_Paused) {
      ready_ = true;
      readyChanged_.notify_all();
    }
  }
  HRESULT result = S_OK;
  Wait what = WaitForRenderTime(lock, sample, &result);
  holding_ = false;
  if (what == Wait::Abort) return result;
  REFERENCE_TIME start = 0, stop = 0;
  bool timed = SUCCEEDED(sample->GetTime(&start, &stop));
  firstAfterStart_ = false;
  if (what == Wait::Drop) {
    ++dropped_;
    ++consecutiveDrops_;
    return S_OK;
  }
  consecutiveDrops_ = 0;
  if (clockedRender_) {
    ++clockedRendered_;
    latenessSum_ += renderLateness_;
    if (renderLateness_ > kLateThreshold) ++late_;
  }
  lock.unlock();
  HRESULT hr = DoRenderSample(sample);
  lock.lock();
  ++rendered_;
  if (timed) {
    presented_ = true;
    lastPresented_ = input_->SegmentStart() + static_cast<REFERENCE_TIME>(start * input_->SegmentRate());
  }
  SendCompleteIfDue(lock);
  if (clockedRender_ && timed) {
    const REFERENCE_TIME rest = RestAfterRender(stop > start ? stop - start : 0);
    if (rest > 0 && renderLateness_ <= rest)
      wake_.wait_for(lock, std::chrono::microseconds(rest / 10),
                     [this] { return flushing_ || state() != State_Running; });
  }
  return FAILED(hr) ? hr : S_OK;
}

HRESULT TBaseRenderer::ReceiveEndOfStream() {
  std::unique_lock lock(renderMutex_);
  if (flushing_) return S_FALSE;
  if (state() == State_Stopped) return VFW_E_WRONG_STATE;
  if (ComPtr<IMediaSample> last = std::move(beforeStart_); last && !reachedStart_) {
    // The stream ended before its start: what came last is better than nothing.
    reachedStart_ = true;
    lock.unlock();
    ReceiveSample(last.Get());
    lock.lock();
    if (flushing_) return S_FALSE;
    if (state() == State_Stopped) return VFW_E_WRONG_STATE;
  }
  endOfStream_ = true;
  ready_ = true;
  readyChanged_.notify_all();
  SendCompleteIfDue(lock);
  return S_OK;
}

void TBaseRenderer::SendCompleteIfDue(std::unique_lock<std::mutex>& lock) {
  if (!endOfStream_ || completeSent_ || holding_ || flushing_ || state() != State_Running) return;
  completeSent_ = true;
  lock.unlock();
  NotifyEvent(EC_COMPLETE, S_OK, reinterpret_cast<intptr_t>(static_cast<IBaseFilter*>(this)));
  lock.lock();
}

void TBaseRenderer::BeginFlushing() {
  std::lock_guard lock(renderMutex_);
  flushing_ = true;
  beforeStart_.Reset();
  wake_.notify_all();
}

void TBaseRenderer::EndFlushing() {
  std::lock_guard lock(renderMutex_);
  flushing_ = false;
  endOfStream_ = false;
  completeSent_ = false;
  presented_ = false;
  firstAfterStart_ = true;
  reachedStart_ = false;
  beforeStart_.Reset();
  consecutiveDrops_ = 0;
  if (state() == State_Paused) ready_ = false;  // a new preroll sample is needed
  readyChanged_.notify_all();
}

HRESULT TBaseRenderer::GetLastPresentedPosition(REFERENCE_TIME* position) {
  if (!position) return E_POINTER;
  std::lock_guard lock(renderMutex_);
  *position = presented_ ? lastPresented_ : 0;
  return presented_ ? S_OK : S_FALSE;
}

int64_t TBaseRenderer::FramesRendered() {
  std::lock_guard lock(renderMutex_);
  return rendered_;
}

int64_t TBaseRenderer::FramesDropped() {
  std::lock_guard lock(renderMutex_);
  return dropped_;
}

int64_t TBaseRenderer::FramesLate() {
  std::lock_guard lock(renderMutex_);
  return late_;
}

REFERENCE_TIME TBaseRenderer::AverageLateness() {
  std::lock_guard lock(renderMutex_);
  return clockedRendered_ ? latenessSum_ / clockedRendered_ : 0;
}

}  // namespace kv
