// TDecoderCore: one libavcodec decoder, fed with compressed samples in graph time.
//
// Shared by the video and audio decoder filters. The filter describes the stream it was
// connected with (TCodecSetup, built from the media type); the core opens the decoder with
// frame threads for video, and turns send/receive into a simple loop. Timestamps go in and
// come out in 100 ns units (the packet time base is set to the graph's).
//
// Threads: not thread-safe; the decoder filter calls it on its input pin's streaming thread,
// and Flush/Close only while that thread is not inside Send/Receive (the filter's receive
// lock serialises them).
#pragma once

#include "filters/ffmpeg/av_handles.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kv::ffmpeg {

// What a decoder needs to know of its stream; everything the container told the demultiplexer
// that travels in the media type.
struct TCodecSetup {
  AVMediaType kind = AVMEDIA_TYPE_UNKNOWN;
  AVCodecID codecId = AV_CODEC_ID_NONE;
  uint32_t codecTag = 0;              // FOURCC or wave-format tag, 0 when none
  std::vector<uint8_t> extradata;     // codec private data (sequence headers, ...)
  int width = 0, height = 0;          // video
  int sampleRate = 0, channels = 0;   // audio
  int blockAlign = 0;                 // audio: bytes per block (ADPCM, WMA)
  int bitsPerCodedSample = 0;         // PCM sample size, ADPCM nibble size
  int64_t bitRate = 0;                // bits per second, 0 when unknown
  AVSampleFormat pcmFormat = AV_SAMPLE_FMT_NONE;  // raw PCM: the byte layout
};

class TDecoderCore {
 public:
  TDecoderCore() = default;
  TDecoderCore(const TDecoderCore&) = delete;
  TDecoderCore& operator=(const TDecoderCore&) = delete;

  // Opens the decoder. threads: 0 = one per core. Video decodes with frame threads when
  // frameThreads is set, else with slice threads only (a picture coded in one slice then
  // decodes on the calling thread). Returns false and sets *error when libavcodec has no
  // decoder or refuses the parameters.
  bool Open(const TCodecSetup& setup, int threads, std::string* error, bool frameThreads = true);
  void Close() { codec_.reset(); }
  bool IsOpen() const { return codec_ != nullptr; }
  AVCodecContext* Context() const { return codec_.get(); }

  // Feeds one compressed sample. pts is its start time in 100 ns units or AV_NOPTS_VALUE;
  // skipStart/skipEnd are samples the decoder drops from the packet's decoded audio.
  // data == nullptr starts draining (end of stream). Returns 0, AVERROR(EAGAIN) when frames
  // must be received first, AVERROR_EOF after draining, or a decoding error (the caller skips
  // that sample and goes on).
  int Send(const uint8_t* data, int size, int64_t pts, bool keyFrame, uint32_t skipStart = 0, uint32_t skipEnd = 0);
  // Takes the next decoded frame into frame. Returns 0, AVERROR(EAGAIN) when more input is
  // needed, AVERROR_EOF when drained, or an error.
  int Receive(AVFrame* frame);
  // Drops everything buffered (after a seek). The decoder stays open.
  void Flush();

 private:
  CodecContextPtr codec_;
  PacketPtr packet_;
};

}  // namespace kv::ffmpeg
