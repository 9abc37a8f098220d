// TRecordingRenderer: a test renderer that keeps what a decoder delivered.
//
// Accepts the decoders' uncompressed output (pictures or PCM) of one major type, takes the
// first type offered (so the decoder's preference order decides), and records every sample:
// its times, its length and the segment it belongs to. Runs unclocked in the tests, so
// samples are "presented" as fast as they come. A picture carried in place is checked
// against the bytes the sample writes out for it. Any thread; mutex_ guards the records.
#pragma once

#include <condition_variable>
#include <mutex>
#include <vector>

#include "platform/graph/renderer_base.h"

namespace kv::testing {

class TRecordingRenderer final : public TBaseRenderer {
 public:
  explicit TRecordingRenderer(GUID majorType);

  struct Sample {
    REFERENCE_TIME start = 0, stop = 0;
    bool timed = false;
    int32_t bytes = 0;
    bool discontinuity = false;
    REFERENCE_TIME segmentStart = 0;  // the new segment it arrived in
    int segment = 0;                  // how many segments had begun before it
    bool carried = false;             // a picture carried in place (picture_sample.h)
    bool planesMatchBytes = false;    // carried: the bytes written out equal its planes
  };

  HRESULT CheckMediaType(const MediaType& type) override;
  HRESULT SetMediaType(const MediaType& type) override;
  HRESULT DoRenderSample(IMediaSample* sample) override;
  void OnNewSegment(REFERENCE_TIME start, REFERENCE_TIME stop, double rate) override;

  std::vector<Sample> Samples();
  MediaType Type();
  // Audio: bytes of one sample frame; 0 for video.
  int BlockAlign();
  void Clear();

 private:
  GUID major_;
  std::mutex mutex_;  // guards everything below
  MediaType type_;
  int blockAlign_ = 0;
  std::vector<Sample> samples_;
  REFERENCE_TIME segmentStart_ = 0;
  int segments_ = 0;
};

}  // namespace kv::testing
