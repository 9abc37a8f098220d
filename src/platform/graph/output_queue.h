// TOutputQueue: a thread that delivers an output pin's samples and stream events, so that
// the filter's work and its downstream peer's work run side by side.
//
// What it is: a small bounded queue of samples, end-of-stream and new-segment items owned by
// one output pin's filter. The filter's streaming code calls Receive / EndOfStream /
// NewSegment instead of the pin's Deliver* calls; the queue's thread delivers them in the
// same order. Receive blocks while the queue is full (the pin's allocator bounds it too).
// A downstream failure is kept and returned by the next Receive, so the producer stops as
// it would have on a direct delivery.
//
// Flushing: BeginFlush (the seeking thread) drops every queued item, makes every wait
// return and then passes BeginFlush downstream (which unblocks a renderer holding the
// thread); until EndFlush, Receive and the events are dropped (S_FALSE). EndFlush waits
// until the thread has finished the item it was delivering, then passes EndFlush on.
//
// Lifetime and threads: Start (state thread, before streaming) starts the thread; Stop
// (state thread) drops what is queued, unblocks the producer and joins the thread; the
// owner calls Stop before it is destroyed. Receive/EndOfStream/NewSegment: the upstream
// streaming thread. mutex_ guards the queue, the flags and the kept result; nothing is
// delivered under it.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "platform/graph/base_filter.h"

namespace kv {

class TOutputQueue {
 public:
  TOutputQueue(TBaseOutputPin* pin, size_t maxSamples);
  ~TOutputQueue();
  TOutputQueue(const TOutputQueue&) = delete;
  TOutputQueue& operator=(const TOutputQueue&) = delete;

  void Start();
  void Stop();

  // S_OK queued; S_FALSE dropped (flushing, stopped); a failure kept from downstream.
  HRESULT Receive(IMediaSample* sample);
  HRESULT EndOfStream();
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  void BeginFlush();
  void EndFlush();

 private:
  struct Item {
    enum Kind { Sample, EndOfStream, NewSegment } kind = Sample;
    ComPtr<IMediaSample> sample;
    REFERENCE_TIME start = 0, stop = 0;
    double rate = 1.0;
  };
  HRESULT Enqueue(Item item, bool bounded);
  void ThreadMain();

  TBaseOutputPin* const pin_;
  const size_t maxSamples_;
  std::mutex mutex_;  // guards items_, samples_, running_, flushing_, busy_, result_
  std::condition_variable changed_;  // item queued or taken, flush, stop, delivery done
  std::deque<Item> items_;
  size_t samples_ = 0;     // samples among items_
  bool running_ = false;   // the thread exists and takes items
  bool flushing_ = false;  // between BeginFlush and EndFlush: items dropped
  bool busy_ = false;      // the thread is delivering an item taken from the queue
  HRESULT result_ = S_OK;  // the first downstream failure since the last flush or start
  std::thread thread_;     // started and joined by Start/Stop only
};

}  // namespace kv
