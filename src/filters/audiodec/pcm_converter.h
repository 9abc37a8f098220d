// TPcmConverter: decoded audio frames to the interleaved PCM layout of the output pin.
//
// libswresample converts sample format, channel layout and rate in one step; its context
// is rebuilt whenever the decoded frames change shape (a stream that switches channel count
// or rate mid-way keeps the negotiated output). Output bytes are appended to a caller's
// buffer. One converter per decoder filter, used on its streaming thread only.
#pragma once

#include <vector>

#include "filters/audiodec/pcm_formats.h"
#include "filters/ffmpeg/av_handles.h"

extern "C" {
#include <libavutil/channel_layout.h>
}

namespace kv::audiodec {

class TPcmConverter {
 public:
  TPcmConverter() = default;
  ~TPcmConverter() { av_channel_layout_uninit(&inLayout_); }
  TPcmConverter(const TPcmConverter&) = delete;
  TPcmConverter& operator=(const TPcmConverter&) = delete;

  void SetOutput(const TPcmLayout& layout) {
    out_ = layout;
    swr_.reset();
  }
  // Converts one frame; appends whole sample frames to *out. Returns the number of sample
  // frames appended, or -1 when libswresample refuses the frame's layout.
  int Convert(const AVFrame* frame, std::vector<uint8_t>* out);
  // Appends what resampling still holds back (end of stream). Returns sample frames.
  int Drain(std::vector<uint8_t>* out);
  // Forgets buffered samples (flush).
  void Reset() { swr_.reset(); }

 private:
  bool Configure(const AVFrame* frame);
  int Run(const uint8_t** in, int inSamples, std::vector<uint8_t>* out);

  TPcmLayout out_;
  ffmpeg::SwrPtr swr_;
  AVChannelLayout inLayout_{};
  int inRate_ = 0;
  AVSampleFormat inFormat_ = AV_SAMPLE_FMT_NONE;
};

}  // namespace kv::audiodec
