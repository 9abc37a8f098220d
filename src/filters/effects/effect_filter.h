// TEffectFilter: the common part of the shipped effect filters: a copying transform filter
// that runs each input sample through a libavfilter graph (lavfi_graph.h) built from its
// catalogue entry's chain for the current values (effect_catalogue.h).
//
// A graph may hold frames back (a deinterlacer needs the next picture, a limiter looks
// ahead), so one input sample gives zero or more output samples: the filter delivers them
// itself and never uses the sample the base class prepared. End of stream drains the graph
// first; a flush or new segment drops it, and the next sample builds a fresh one. New
// values (IKavelloEffect::SetValues, from the property page while playing) make the next
// sample drain the old graph and build one with the new chain: nothing stops.
//
// Subclass contract:
//   must implement: CheckInputType, CheckTransform, GetOutputType, DecideBufferSize (the
//                   base's pin types); OpenGraph (the format of the connected pins);
//                   FrameFromSample; DeliverFrame.
//   may override:   ChainFor (which chain the values give on this connection),
//                   NeedsReconnect.
//   threads:        OpenGraph, FrameFromSample and DeliverFrame run on the upstream
//                   streaming thread with no lock held; the graph and the frames belong to
//                   that thread alone. valuesMutex_ guards values_; the flags are atomics
//                   set from any thread. A video effect's output pin delivers through its
//                   own thread (output_queue.h), so that the effects of a chain work on
//                   successive pictures at once: DeliverFrame hands its samples to
//                   DeliverSample, and the stream events go the same way.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "filters/effects/effect_catalogue.h"
#include "filters/effects/effect_settings.h"
#include "filters/effects/lavfi_graph.h"
#include "platform/graph/output_queue.h"
#include "platform/graph/property_page.h"
#include "platform/graph/transform_filter.h"

namespace kv::effects {

class TEffectFilter : public TTransformFilter, public ISpecifyPropertyPages, public IKavelloEffect {
 public:
  explicit TEffectFilter(const TEffectDesc& desc);
  ~TEffectFilter() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  // ISpecifyPropertyPages
  HRESULT GetPages(std::vector<CLSID>* pages) override;
  // IKavelloEffect
  HRESULT GetEffectClass(CLSID* clsid) override;
  HRESULT GetValues(std::vector<double>* values) override;
  HRESULT SetValues(const std::vector<double>& values) override;
  HRESULT SaveValues() override;
  bool NeedsReconnect() override { return false; }

  HRESULT ReceiveSample(IMediaSample* in) override;
  HRESULT Transform(IMediaSample* in, IMediaSample* out) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  HRESULT StopStreaming() override;
  HRESULT Pause() override;
  HRESULT Stop() override;

  const TEffectDesc& Desc() const { return desc_; }

 protected:
  virtual bool OpenGraph(TLavfiGraph& graph, const std::string& chain, std::string* error) = 0;
  // Points `frame` at the sample's data (no copy) and sets its time; false when the sample
  // does not hold a whole picture or block of the connected format.
  virtual bool FrameFromSample(IMediaSample* sample, AVFrame* frame) = 0;
  // Writes a finished frame into output samples and delivers them. S_OK to go on.
  virtual HRESULT DeliverFrame(AVFrame* frame) = 0;
  virtual std::string ChainFor(const std::vector<double>& values) { return desc_.Chain(values); }
  // The pass-through chain of this media kind ("null" or "anull").
  std::string PassThrough() const { return desc_.Video ? "null" : "anull"; }
  std::vector<double> Values();
  // Passes a finished sample downstream (through the output thread when there is one).
  HRESULT DeliverSample(IMediaSample* sample);
  // The next delivered sample starts a discontinuity (after a flush or a graph rebuild).
  bool TakeDiscontinuity() { return discontinuity_.exchange(false); }

 private:
  bool EnsureGraph();
  HRESULT PullAndDeliver();
  HRESULT Drain();

  const TEffectDesc& desc_;
  std::mutex valuesMutex_;  // guards values_
  std::vector<double> values_;
  std::atomic<bool> changed_{false};       // values_ changed since the graph was built
  std::atomic<bool> resetPending_{true};   // drop the graph before the next sample
  std::atomic<bool> discontinuity_{true};
  bool failed_ = false;  // streaming thread: neither the chain nor pass-through would build
  TLavfiGraph graph_;    // streaming thread only
  AVFrame* in_ = nullptr;
  AVFrame* out_ = nullptr;
  // Video: the output pin's delivery thread; null for audio (cheap, delivered in line).
  std::unique_ptr<TOutputQueue> queue_;
};

}  // namespace kv::effects
