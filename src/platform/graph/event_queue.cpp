#include "platform/graph/event_queue.h"

#include <chrono>

namespace kv {

void TEventQueue::Queue(Event e) {
  IMediaEventEx::NotifyCallback notify;
  {
    std::lock_guard lock(mutex_);
    events_.push_back(e);
    arrived_.notify_all();
    if (!(flags_ & AM_MEDIAEVENT_NONOTIFY)) notify = notify_;
  }
  if (notify) notify();
}

void TEventQueue::Post(int32_t code, intptr_t param1, intptr_t param2) {
  if (code == EC_COMPLETE) {
    RendererCompleted(param2);
    return;
  }
  Queue(Event{code, param1, param2});
}

void TEventQueue::RendererCompleted(intptr_t renderer) {
  {
    std::lock_guard lock(mutex_);
    completed_.insert(renderer);
    if (completeQueued_ || expected_ == 0 || static_cast<int>(completed_.size()) < expected_) return;
    completeQueued_ = true;
  }
  Queue(Event{EC_COMPLETE, S_OK, 0});
}

void TEventQueue::ResetCompletion(int expectedRenderers) {
  std::lock_guard lock(mutex_);
  completed_.clear();
  expected_ = expectedRenderers;
  completeQueued_ = false;
}

void TEventQueue::CompleteWithoutRenderers() {
  {
    std::lock_guard lock(mutex_);
    if (expected_ != 0 || completeQueued_) return;
    completeQueued_ = true;
  }
  Queue(Event{EC_COMPLETE, S_OK, 0});
}

void TEventQueue::DiscardCompletion() {
  std::lock_guard lock(mutex_);
  std::erase_if(events_, [](const Event& e) { return e.code == EC_COMPLETE; });
}

HRESULT TEventQueue::Get(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t msTimeout) {
  if (!code || !param1 || !param2) return E_POINTER;
  std::unique_lock lock(mutex_);
  auto any = [&] { return !events_.empty(); };
  if (msTimeout < 0)
    arrived_.wait(lock, any);
  else if (msTimeout > 0)
    arrived_.wait_for(lock, std::chrono::milliseconds(msTimeout), any);
  if (events_.empty()) {
    *code = 0;
    *param1 = *param2 = 0;
    return E_ABORT;
  }
  Event e = events_.front();
  events_.pop_front();
  *code = e.code;
  *param1 = e.param1;
  *param2 = e.param2;
  return S_OK;
}

HRESULT TEventQueue::WaitForCompletion(int32_t msTimeout, int32_t* code) {
  if (!code) return E_POINTER;
  *code = 0;
  std::unique_lock lock(mutex_);
  auto done = [&] {
    for (auto& e : events_)
      if (e.code == EC_COMPLETE || e.code == EC_ERRORABORT || e.code == EC_ERRORABORTEX || e.code == EC_USERABORT)
        return true;
    return false;
  };
  if (msTimeout < 0)
    arrived_.wait(lock, done);
  else
    arrived_.wait_for(lock, std::chrono::milliseconds(msTimeout), done);
  for (auto& e : events_) {
    if (e.code == EC_COMPLETE || e.code == EC_ERRORABORT || e.code == EC_ERRORABORTEX || e.code == EC_USERABORT) {
      *code = e.code;
      return S_OK;
    }
  }
  return E_ABORT;
}

void TEventQueue::SetNotify(IMediaEventEx::NotifyCallback notify) {
  std::lock_guard lock(mutex_);
  notify_ = std::move(notify);
}

void TEventQueue::SetFlags(int32_t flags) {
  std::lock_guard lock(mutex_);
  flags_ = flags;
}

int32_t TEventQueue::Flags() {
  std::lock_guard lock(mutex_);
  return flags_;
}

size_t TEventQueue::Size() {
  std::lock_guard lock(mutex_);
  return events_.size();
}

TEventQueue::~TEventQueue() {
  for (const Event& e : events_) FreeParams(e.code, e.param1, e.param2);
}

void TEventQueue::FreeParams(int32_t code, intptr_t, intptr_t param2) {
  if (code == EC_ERRORABORTEX && param2) delete reinterpret_cast<TEventErrorText*>(param2);
}

}  // namespace kv
