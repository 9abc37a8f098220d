#include "platform/graph/output_queue.h"

namespace kv {

TOutputQueue::TOutputQueue(TBaseOutputPin* pin, size_t maxSamples) : pin_(pin), maxSamples_(maxSamples ? maxSamples : 1) {}

TOutputQueue::~TOutputQueue() { Stop(); }

void TOutputQueue::Start() {
  std::lock_guard lock(mutex_);
  if (running_) return;
  running_ = true;
  flushing_ = false;
  result_ = S_OK;
  thread_ = std::thread([this] { ThreadMain(); });
}

void TOutputQueue::Stop() {
  std::thread thread;
  {
    std::lock_guard lock(mutex_);
    running_ = false;
    items_.clear();
    samples_ = 0;
    thread = std::move(thread_);
  }
  changed_.notify_all();
  if (thread.joinable()) thread.join();
}

HRESULT TOutputQueue::Enqueue(Item item, bool bounded) {
  std::unique_lock lock(mutex_);
  if (bounded) changed_.wait(lock, [&] { return !running_ || flushing_ || samples_ < maxSamples_; });
  if (!running_ || flushing_) return S_FALSE;
  if (FAILED(result_)) return result_;
  if (item.kind == Item::Sample) ++samples_;
  items_.push_back(std::move(item));
  lock.unlock();
  changed_.notify_all();
  return S_OK;
}

HRESULT TOutputQueue::Receive(IMediaSample* sample) {
  Item item;
  item.sample = ComPtr<IMediaSample>(sample);
  return Enqueue(std::move(item), true);
}

HRESULT TOutputQueue::EndOfStream() {
  Item item;
  item.kind = Item::EndOfStream;
  return Enqueue(std::move(item), false);
}

HRESULT TOutputQueue::NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) {
  Item item;
  item.kind = Item::NewSegment;
  item.start = start;
  item.stop = stop;
  item.rate = rate;
  return Enqueue(std::move(item), false);
}

void TOutputQueue::BeginFlush() {
  {
    std::lock_guard lock(mutex_);
    flushing_ = true;
    items_.clear();
    samples_ = 0;
  }
  changed_.notify_all();
  if (pin_->IsConnected()) pin_->DeliverBeginFlush();
}

void TOutputQueue::EndFlush() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !busy_; });
    flushing_ = false;
    result_ = S_OK;
  }
  if (pin_->IsConnected()) pin_->DeliverEndFlush();
}

void TOutputQueue::ThreadMain() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return !running_ || !items_.empty(); });
    if (!running_) return;
    Item item = std::move(items_.front());
    items_.pop_front();
    if (item.kind == Item::Sample) --samples_;
    busy_ = true;
    lock.unlock();
    changed_.notify_all();
    HRESULT hr = S_OK;
    switch (item.kind) {
      case Item::Sample: hr = pin_->Deliver(item.sample.Get()); break;
      case Item::EndOfStream: pin_->DeliverEndOfStream(); break;
      case Item::NewSegment: pin_->DeliverNewSegment(item.start, item.stop, item.rate); break;
    }
    item.sample.Reset();
    lock.lock();
    busy_ = false;
    if (FAILED(hr) && !flushing_ && SUCCEEDED(result_)) result_ = hr;
    changed_.notify_all();
  }
}

}  // namespace kv
