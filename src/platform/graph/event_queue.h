// TEventQueue: the graph's event list behind IMediaEventEx, and the EC_COMPLETE tally.
//
// Filters post events from any thread (IMediaEventSink::Notify). A renderer's EC_COMPLETE
// is not passed on by itself: the queue counts the renderers that completed and queues
// one EC_COMPLETE when the last of the expected renderers has. The notify callback runs
// after each queued event, on the posting thread, without the queue lock.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>

#include "platform/graph/graph_interfaces.h"

namespace kv {

class TEventQueue {
 public:
  TEventQueue() = default;
  TEventQueue(const TEventQueue&) = delete;
  TEventQueue& operator=(const TEventQueue&) = delete;
  // Events nobody fetched still own their parameters (an error's text): freed here.
  ~TEventQueue();
  void Post(int32_t code, intptr_t param1, intptr_t param2);
  // A renderer reached its end; queues EC_COMPLETE once all expected ones have.
  void RendererCompleted(intptr_t renderer);
  // Starts a new tally (Run, Pause from stop, seek). With 0 renderers no renderer will ever
  // report: the graph then calls CompleteWithoutRenderers when it runs.
  void ResetCompletion(int expectedRenderers);
  // Queues EC_COMPLETE at once when the tally expects no renderer (nothing can play, so
  // the run is complete); a no-op otherwise or when already queued.
  void CompleteWithoutRenderers();
  // Drops queued EC_COMPLETE events that a seek or stop made untrue.
  void DiscardCompletion();

  HRESULT Get(int32_t* code, intptr_t* param1, intptr_t* param2, int32_t msTimeout);
  HRESULT WaitForCompletion(int32_t msTimeout, int32_t* code);
  void SetNotify(IMediaEventEx::NotifyCallback notify);
  void SetFlags(int32_t flags);
  int32_t Flags();
  size_t Size();

  static void FreeParams(int32_t code, intptr_t param1, intptr_t param2);

 private:
  struct Event {
    int32_t code;
    intptr_t param1, param2;
  };
  void Queue(Event e);

  std::mutex mutex_;  // guards everything below (a leaf lock)
  std::condition_variable arrived_;
  std::deque<Event> events_;
  std::set<intptr_t> completed_;
  int expected_ = 0;
  bool completeQueued_ = false;
  IMediaEventEx::NotifyCallback notify_;
  int32_t flags_ = 0;
};

}  // namespace kv
