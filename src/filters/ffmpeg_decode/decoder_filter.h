// TDecoderFilter: the frame of the video and audio decoder filters.
//
// What it is: one input pin taking compressed samples, one output pin delivering decoded
// ones, and between them a decoder that turns one input sample into zero or more outputs
// (frame threads hold pictures back; one audio packet may hold several frames; end of
// stream drains what is left). The graph's transform base maps one sample to one, so the
// decoders use this frame instead. Seeking requests on the output pin pass upstream to the
// demultiplexer.
//
// Subclass contract:
//   must implement: CheckInputType, OpenDecoder (input connected: set up from the type),
//                   GetOutputType / CheckOutputType (the offered output types in order),
//                   DecideBufferSize, Decode (one input sample; deliver with DeliverOutput),
//                   Drain (end of stream: deliver what the decoder still holds),
//                   ResetDecoder (flush, stop, new segment: drop what it holds).
//   may override:   OnOutputType (output connected with this type), CloseDecoder.
//   threads:        Decode, Drain and ResetDecoder run with receiveMutex_ held: Decode and
//                   Drain on the upstream streaming thread, ResetDecoder on that thread or
//                   on the thread that flushes or stops, once the stream is unblocked.
//                   Samples, end of stream and new segments all go downstream under
//                   receiveMutex_, so none of them can overtake the end of a flush.
//                   Connection calls on the user-interface thread while stopped.
//
// Flushing: BeginFlush marks the input flushing and passes the flush downstream first,
// which releases a Receive blocked in delivery; EndFlush then takes receiveMutex_, resets
// the decoder and passes EndFlush on. Stop decommits the output allocator the same way.
#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "filters/ffmpeg/decoder_core.h"
#include "platform/graph/base_filter.h"

namespace kv::decode {

class TDecoderFilter;

class TDecoderInputPin final : public TBaseInputPin {
 public:
  explicit TDecoderInputPin(TDecoderFilter* filter);
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT CompleteConnect(IPin* receivePin) override;
  HRESULT BreakConnect() override;
  HRESULT Receive(IMediaSample* sample) override;
  HRESULT EndOfStream() override;
  HRESULT BeginFlush() override;
  HRESULT EndFlush() override;
  HRESULT NewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

 private:
  TDecoderFilter* decoder_;
};

class TDecoderOutputPin final : public TBaseOutputPin {
 public:
  explicit TDecoderOutputPin(TDecoderFilter* filter);
  KV_DECLARE_IUNKNOWN
  // IMediaSeeking is answered by the upstream pin's (the demultiplexer seeks for us).
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;
  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT GetMediaType(int position, MediaType* type) override;
  HRESULT SetMediaType(const MediaType& type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  // Whether the filter this pin feeds is stopped (false when unconnected or unknown).
  bool PeerStopped();

 private:
  TDecoderFilter* decoder_;
};

class TDecoderFilter : public TBaseFilter {
 public:
  explicit TDecoderFilter(const CLSID& clsid);
  ~TDecoderFilter() override;

  // Subclass contract (see the top of this file).
  virtual HRESULT CheckInputType(const MediaType& type) = 0;
  virtual HRESULT OpenDecoder(const MediaType& type) = 0;
  virtual void CloseDecoder() {}
  virtual HRESULT GetOutputType(int position, MediaType* type) = 0;
  virtual HRESULT CheckOutputType(const MediaType& type) = 0;
  virtual HRESULT OnOutputType(const MediaType& type) { return S_OK; }
  virtual HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) = 0;
  virtual HRESULT Decode(IMediaSample* sample) = 0;
  virtual HRESULT Drain() = 0;
  virtual void ResetDecoder() = 0;

  int GetPinCount() override { return 2; }
  TBasePin* GetPin(int n) override;
  HRESULT Stop() override;

  TDecoderInputPin* InputPin() { return input_.get(); }
  TDecoderOutputPin* OutputPin() { return output_.get(); }

  // Streaming path, called by the input pin on the upstream thread.
  HRESULT ReceiveSample(IMediaSample* sample);
  HRESULT ReceiveEndOfStream();
  HRESULT ReceiveBeginFlush();
  HRESULT ReceiveEndFlush();
  HRESULT ReceiveNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate);

 protected:
  // Hands a filled output sample downstream; for Decode and Drain. S_OK to go on; S_FALSE
  // when downstream is flushing or at its end (stop decoding this sample); a failure stops.
  HRESULT DeliverOutput(IMediaSample* sample);
  // A fresh output buffer; VFW_E_NOT_COMMITTED once stopping.
  HRESULT GetOutputBuffer(IMediaSample** sample);
  // Logs a decoding problem once per stream (damaged input is skipped, not fatal).
  void NoteDecodeError(const std::string& text);
  // Offers one packet to `core`; while the decoder is full, `deliverReady` takes its output
  // out and the packet is offered again. A packet the decoder refuses is logged as
  // `brokenText` and skipped. Returns what the last delivery returned (S_OK to go on).
  HRESULT SendPacket(ffmpeg::TDecoderCore& core, const uint8_t* data, int size, int64_t pts, bool keyFrame,
                     uint32_t skipStart, uint32_t skipEnd, const char* brokenText,
                     const std::function<HRESULT()>& deliverReady);

  // Segment the stream is in; written with receiveMutex_ held.
  REFERENCE_TIME segmentStart_ = 0;
  double segmentRate_ = 1.0;

 private:
  std::unique_ptr<TDecoderInputPin> input_;
  std::unique_ptr<TDecoderOutputPin> output_;
  // Guards the decoder state of the subclass; held across Decode, Drain and ResetDecoder.
  // Taken after the state lock is released, never while calling another filter's state.
  std::mutex receiveMutex_;
  bool errorNoted_ = false;  // guarded by receiveMutex_
};

}  // namespace kv::decode
