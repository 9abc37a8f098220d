// TTransformFilter: one input pin, one output pin, samples changed on the way through.
//
// In TTransformMode::Copy each input sample is transformed into a new buffer from the
// output pin's allocator (decoders, converters). In TTransformMode::InPlace the input
// sample itself is changed and passed on (statistics, grabbers, simple effects); the
// output pin then offers exactly the input's type and allocates nothing.
//
// Subclass contract:
//   must implement: CheckInputType(type).
//                   Copy mode: CheckTransform(in, out), GetOutputType(position, type),
//                   DecideBufferSize(allocator, request), Transform(in, out).
//                   InPlace mode: TransformInPlace(sample).
//   may override:   the defaults of the InPlace-only functions above; StartStreaming /
//                   StopStreaming (state thread, no lock); EndOfStream, BeginFlush,
//                   EndFlush, NewSegment hooks (call the base to forward them).
//   threads:        Transform/TransformInPlace run on the upstream streaming thread with
//                   no lock held; a result of S_FALSE drops the sample, a failure stops
//                   the stream and is reported once as a graph event.
#pragma once

#include "platform/graph/base_filter.h"

namespace kv {

enum class TTransformMode { Copy, InPlace };

class TTransformFilter;

class TTransformInputPin : public TBaseInputPin {
 public:
  TTransformInputPin(TTransformFilter* filter, std::string name);
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;
  HRESULT GetAllocatorRequirements(ALLOCATOR_PROPERTIES* props) override;

 private:
  TTransformFilter* transform_;
};

class TTransformOutputPin : public TBaseOutputPin {
 public:
  TTransformOutputPin(TTransformFilter* filter, std::string name);
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT GetMediaType(int position, MediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  bool UsesAllocator() const override;

 private:
  TTransformFilter* transform_;
};

class TTransformFilter : public TBaseFilter {
 public:
  TTransformFilter(const CLSID& clsid, TTransformMode mode, std::string inputName = "In",
                   std::string outputName = "Out");
  ~TTransformFilter() override;

  virtual HRESULT CheckInputType(const MediaType& type) = 0;
  virtual HRESULT CheckTransform(const MediaType& in, const MediaType& out);
  virtual HRESULT GetOutputType(int position, MediaType* type);
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request);
  virtual HRESULT Transform(IMediaSample* in, IMediaSample* out) { return E_NOTIMPL; }
  virtual HRESULT TransformInPlace(IMediaSample* sample) { return S_OK; }
  // What the input pin asks of the upstream allocator (a filter that keeps input samples
  // after Receive asks for more buffers); E_NOTIMPL asks nothing.
  virtual HRESULT GetInputAllocatorRequirements(ALLOCATOR_PROPERTIES*) { return E_NOTIMPL; }
  virtual HRESULT StartStreaming() { return S_OK; }
  virtual HRESULT StopStreaming() { return S_OK; }
  // Stream events from the input pin; the defaults pass them to the output pin.
  virtual HRESULT EndOfStream();
  virtual HRESULT BeginFlush();
  virtual HRESULT EndFlush();
  virtual HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

  int GetPinCount() override { return 2; }
  TBasePin* GetPin(int n) override;
  HRESULT Stop() override;
  HRESULT Pause() override;

  TTransformMode Mode() const { return mode_; }
  TTransformInputPin* InputPin() { return input_.get(); }
  TTransformOutputPin* OutputPin() { return output_.get(); }

  // The streaming path; called by the input pin. A filter that makes its own output
  // samples may replace it (it then gets no buffer prepared for it).
  virtual HRESULT ReceiveSample(IMediaSample* sample);
  bool IsFlushingOrStopped();

 private:
  const TTransformMode mode_;
  std::unique_ptr<TTransformInputPin> input_;
  std::unique_ptr<TTransformOutputPin> output_;
};

}  // namespace kv
