// TDemuxOutputPin: one elementary stream of a demultiplexed file.
//
// A TSourceStream in queue mode: the demultiplexer's reader thread turns packets of this
// pin's stream into samples (DeliverPacket) and queues them; the pin's own thread delivers
// them downstream in order with new segments and end of stream. The pin offers exactly one
// media type, the one the mapping tables give its stream, and answers IMediaSeeking with
// the filter's (one seeking object for all streams).
//
// Threads: connection calls on the user-interface thread while stopped. BeginSegment runs
// on the thread that starts the reader while the reader is not running; DeliverPacket and
// EndStream on the reader thread only. The per-segment fields below are touched by those
// two in turn, never at the same time, so they need no lock.
#pragma once

#include "filters/demux/packet_allocator.h"
#include "filters/ffmpeg/format_reader.h"
#include "platform/graph/source_stream.h"

namespace kv::demux {

class TDemuxOutputPin final : public TSourceStream {
 public:
  // `seeking` is the filter's seeking object, handed out for IMediaSeeking.
  TDemuxOutputPin(TBaseFilter* filter, IMediaSeeking* seeking, std::string name, int streamIndex, MediaType type);
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT GetMediaType(int position, MediaType* type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  // Uses our packet allocator whatever the receiver offers (packets vary in size).
  HRESULT CompleteConnect(IPin* receivePin) override;

  int StreamIndex() const { return streamIndex_; }
  // A picture stream (teletext travels as video but has no key frames to wait for).
  bool IsVideo() const;
  // A stream whose packets come steadily (sound, pictures): when its queue is empty its
  // decoder waits for the reader. Sparse streams (subtitles, data) are often empty.
  bool IsSteady() const;

  // Starts a segment: times are reported relative to `start`, packets that begin after
  // `stop` end the stream, the first sample is a discontinuity and video waits for a key
  // frame. `exact`: samples before `start` are flagged preroll (decoded, not shown).
  // Packets that end at or before `dropBefore` are skipped (AV_NOPTS_VALUE: none).
  void BeginSegment(REFERENCE_TIME start, REFERENCE_TIME stop, bool exact, REFERENCE_TIME dropBefore);
  // Queues one packet as a sample. S_OK (queued or skipped), S_FALSE when the pin is
  // flushing or stopping (the reader should stop), a failure for a packet too large. The
  // sample may take over the packet's buffer (the packet is then left empty).
  HRESULT DeliverPacket(AVPacket& packet, const ffmpeg::TFormatReader& reader);
  // Queues end of stream once per segment.
  void EndStream();
  bool Ended() const { return ended_; }

 private:
  IMediaSeeking* seeking_;
  const int streamIndex_;
  const MediaType type_;
  ComPtr<TPacketAllocator> packets_;
  // Segment state (see the top of this file for the threads).
  REFERENCE_TIME segStart_ = 0;
  REFERENCE_TIME segStop_ = INT64_MAX;
  REFERENCE_TIME dropBefore_ = AV_NOPTS_VALUE;
  bool exact_ = false;
  bool discontinuity_ = true;
  bool waitingForKey_ = false;
  bool ended_ = false;
};

}  // namespace kv::demux
