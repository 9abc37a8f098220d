// TSourceStream: an output pin with its own streaming thread and a bounded queue.
//
// Sources and demultiplexers give every output pin one of these. The pin's thread takes
// items (samples, end of stream, new segment) from the pin's queue in order and delivers
// them downstream. Items come from one of two places, chosen at construction:
//   - TStreamMode::Queue: another thread (a demultiplexer's reader) calls QueueSample,
//     QueueEndOfStream and QueueNewSegment; QueueSample blocks while the queue is full
//     (kMaxQueuedSamples items or kMaxQueuedBytes bytes by default) and returns S_FALSE
//     once the pin is flushing or stopping, so a producer never hangs on a stopped graph.
//   - TStreamMode::Generate: the pin's own thread asks FillBuffer for each new sample
//     whenever the queue is empty (a generator, a file source that produces by itself).
// Direct delivery (Queue mode, SetDirectDelivery while stopped): the pin starts no thread;
// the producer's own thread delivers each sample and end of stream inside QueueSample /
// QueueEndOfStream, after any new segment queued before it (Active, RestartAfterFlush and
// QueueNewSegment only queue the segment, so it too goes out on the producer's thread). No
// hand-over per sample, but the producer waits while downstream works: meant for a graph
// whose downstream never blocks for long (unclocked, no decoder) and a producer that
// feeds no other pin. One producer thread at a time. Stopping waits for a delivery under
// way to return, as it would join the pin's thread.
//
// Seeking: FlushAndStop() sends BeginFlush downstream (which unblocks any renderer wait),
// stops and joins the thread and empties the queue; RestartAfterFlush() sends EndFlush,
// queues the new segment and starts the thread again. A demultiplexer seeks by calling
// FlushAndStop on all its pins, moving its reader, then RestartAfterFlush on all.
//
// Subclass contract:
//   must implement: CheckMediaType, GetMediaType (the types offered), DecideBufferSize;
//                   FillBuffer when the mode is Generate.
//   may override:   GetStartSegment (state thread); OnThreadStart / OnThreadStop (the
//                   pin's thread).
//   threads:        FillBuffer runs on the pin's thread with no lock held. The queue mutex
//                   guards the queue and the thread flags only; nothing is delivered under it.
//   lifetime:       the thread calls the subclass, so the filter must be stopped before it
//                   is destroyed (the graph manager stops filters before it lets them go).
#pragma once

#include <atomic>
#include <functional>

#include <condition_variable>
#include <vector>
#include <thread>

#include "platform/graph/base_filter.h"

namespace kv {

enum class TStreamMode { Queue, Generate };

// Offered by a filter whose output pins are fed by a producer thread of its own (a
// demultiplexer's reader): asks it to deliver on that thread instead of handing each
// sample over to the pin's thread (TSourceStream's direct delivery), where that is safe
// (the filter decides; a demultiplexer does it only with a single connected stream). The
// engine asks for it in graphs whose downstream never blocks for long (unclocked, nothing
// decoded). Called on the state thread while stopped; applies from the next start.
struct ISynchronousDelivery : IUnknown {
  static constexpr IID kIid = GuidLiteral("{7B1E4C2A-93D5-4E86-A0F7-5C3D2B9E1A64}");
  virtual HRESULT SetSynchronousDelivery(bool on) = 0;
};

class TSourceStream : public TBaseOutputPin {
 public:
  static constexpr size_t kMaxQueuedSamples = 32;
  static constexpr size_t kMaxQueuedBytes = 32u << 20;

  TSourceStream(TBaseFilter* filter, std::string name, TStreamMode mode);
  ~TSourceStream() override;

  // Generate mode: fill one sample (times, sync point, data length). S_OK delivers it,
  // S_FALSE means end of stream (the pin sends EndOfStream and idles), a failure is
  // reported as a streaming error and the pin idles.
  virtual HRESULT FillBuffer(IMediaSample* sample) { return E_NOTIMPL; }
  // The segment to announce when streaming starts from Stopped (queued before anything
  // else); return false to announce none. Called by Active on the state thread.
  virtual bool GetStartSegment(REFERENCE_TIME* start, REFERENCE_TIME* stop, double* rate) { return false; }
  virtual void OnThreadStart() {}
  virtual void OnThreadStop() {}

  // Queue mode producers (any thread). S_OK queued; S_FALSE dropped because the pin is
  // flushing, stopping or not active.
  HRESULT QueueSample(IMediaSample* sample);
  HRESULT QueueEndOfStream();
  HRESULT QueueNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);
  // Changes the limits (before streaming starts).
  void SetQueueLimits(size_t maxSamples, size_t maxBytes);
  // For producers that feed several pins from one thread (a demultiplexer): `overfill`,
  // asked with this pin's queue lock held while a producer waits on a full queue, lets
  // the queue grow past its sample limit (never past its byte limit) while it says so,
  // as when another stream of the same producer has run dry and only reading on can feed
  // it. It must not lock another pin. `emptied` is called on this pin's thread, with no
  // lock held, each time it takes the last queued item. Set while stopped.
  void SetQueueHooks(std::function<bool()> overfill, std::function<void()> emptied);
  // Makes a producer waiting on this pin's full queue ask `overfill` again.
  void WakeProducer();
  // The number of queued items as last published; any thread, no lock.
  size_t QueuedSamplesNow() const { return published_.load(std::memory_order_acquire); }
  // Direct delivery on the producer's thread (see the top of this file). Queue mode only;
  // takes effect at the next start from stopped (Active).
  void SetDirectDelivery(bool direct);

  // Seeking, on the seeking thread; see the top of this file.
  void FlushAndStop();
  void RestartAfterFlush(REFERENCE_TIME segmentStart, REFERENCE_TIME segmentStop, double rate);

  HRESULT Active() override;    // commits the allocator and starts the thread
  HRESULT Inactive() override;  // stops and joins the thread, decommits

  size_t QueuedSamples();

 private:
  struct Item {
    enum Kind { Sample, EndOfStream, NewSegment } kind;
    ComPtr<IMediaSample> sample;
    REFERENCE_TIME start = 0, stop = 0;
    double rate = 1.0;
    size_t bytes = 0;
  };
  HRESULT Enqueue(Item item);
  // The queue is a ring that only grows (to the largest fill seen), so steady streaming
  // allocates nothing. All three expect queueMutex_ held.
  void PushLocked(Item item);
  Item PopLocked();
  size_t SizeLocked() const { return count_; }
  void StartThread();
  void StopThread();
  void ThreadMain();
  // Delivers one item; false when the pin should idle until restarted.
  bool DeliverItem(Item& item);
  // Direct delivery: delivers the queued items in order on the calling thread, unlocking
  // around each delivery. Expects queueMutex_ held (through `lock`).
  void DeliverQueuedLocked(std::unique_lock<std::mutex>& lock);
  bool GenerateOne();

  const TStreamMode mode_;
  std::mutex queueMutex_;  // guards ring_, head_, count_, queuedBytes_, running_, stopping_, idle_, limits,
                           // wantDirect_, direct_, delivering_
  std::condition_variable queueChanged_;  // item queued or taken, stop requested
  std::vector<Item> ring_;
  size_t head_ = 0;
  size_t count_ = 0;
  size_t queuedBytes_ = 0;
  size_t maxSamples_ = kMaxQueuedSamples;
  size_t maxBytes_ = kMaxQueuedBytes;
  std::function<bool()> overfill_;  // set while stopped; see SetQueueHooks
  std::function<void()> emptied_;
  std::atomic<size_t> published_{0};  // count_, for readers that must not take queueMutex_
  bool running_ = false;   // thread exists and accepts items
  bool stopping_ = false;  // thread asked to end; producers get S_FALSE
  bool idle_ = false;      // generate mode: stop calling FillBuffer until restarted
  bool wantDirect_ = false;  // SetDirectDelivery's choice, applied by the next Active
  bool direct_ = false;      // this run delivers on the producer's thread (no thread_)
  bool delivering_ = false;  // direct: a producer is delivering items outside the lock
  std::thread thread_;     // started and joined by this pin only (on the state thread)
};

// IMediaSeeking for a source filter in media time. The filter derives from it, routes
// QueryInterface(IMediaSeeking) to it and implements OnSeek; the graph manager calls
// SetPositions/SetRate on the user-interface thread.
class TSourceSeeking : public IMediaSeeking, public ISeekOrigin {
 public:
  explicit TSourceSeeking(REFERENCE_TIME duration = 0);

  // Moves the stream: flush and stop the pins, reposition, restart them with a new
  // segment (start, stop, rate). keyFrame: the caller asked for the nearest key frame.
  // SetRate only records the rate; it takes effect at the next SetPositions.
  virtual HRESULT OnSeek(REFERENCE_TIME start, REFERENCE_TIME stop, double rate, bool keyFrame) = 0;

  void SetDuration(REFERENCE_TIME duration);
  REFERENCE_TIME SeekStart();
  REFERENCE_TIME SeekStop();
  double SeekRate();
  // OnSeek moved the start (to a key frame): GetPositions reports `start` from now on.
  void MoveSeekStart(REFERENCE_TIME start);
  // Where playback stood when the graph asked for this seek; -1 when nobody said.
  REFERENCE_TIME SeekOrigin();

  // ISeekOrigin.
  HRESULT SetSeekOrigin(REFERENCE_TIME current) override;

  HRESULT GetCapabilities(uint32_t* caps) override;
  HRESULT CheckCapabilities(uint32_t* caps) override;
  HRESULT IsFormatSupported(const GUID* format) override;
  HRESULT QueryPreferredFormat(GUID* format) override;
  HRESULT GetTimeFormat(GUID* format) override;
  HRESULT IsUsingTimeFormat(const GUID* format) override;
  HRESULT SetTimeFormat(const GUID* format) override;
  HRESULT GetDuration(int64_t* duration) override;
  HRESULT GetStopPosition(int64_t* stop) override;
  HRESULT GetCurrentPosition(int64_t* current) override;
  HRESULT ConvertTimeFormat(int64_t* target, const GUID* targetFormat, int64_t source,
                            const GUID* sourceFormat) override;
  HRESULT SetPositions(int64_t* current, uint32_t currentFlags, int64_t* stop, uint32_t stopFlags) override;
  HRESULT GetPositions(int64_t* current, int64_t* stop) override;
  HRESULT GetAvailable(int64_t* earliest, int64_t* latest) override;
  HRESULT SetRate(double rate) override;
  HRESULT GetRate(double* rate) override;
  HRESULT GetPreroll(int64_t* preroll) override;

 private:
  std::mutex seekMutex_;  // guards the five positions below
  REFERENCE_TIME duration_;
  REFERENCE_TIME origin_ = -1;
  REFERENCE_TIME start_ = 0;
  REFERENCE_TIME stop_;
  double rate_ = 1.0;
};

}  // namespace kv
