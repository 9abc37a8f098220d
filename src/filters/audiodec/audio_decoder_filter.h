// TAudioDecoderFilter: "Kavello Audio Decoder", every audio codec libavcodec decodes.
//
// What it is: a decoder filter (decoder_filter.h) around one TDecoderCore and a
// TPcmConverter. Input: the audio subtypes of the mapping tables (wave-format subtypes, the
// Vorbis subtypes, our own for AAC, Opus, FLAC, ...). Output: interleaved 16-bit PCM, then
// 32-bit float, at the stream's rate and channel count (and as stereo for more than two
// channels), whichever the downstream pin accepts first.
//
// Times: the first frame after a start, seek or gap takes the decoder's time; after that
// samples are counted, so consecutive outputs join without rounding gaps. A decoded time
// more than kResyncThreshold away from the count restarts the count (a gap in the file).
//
// Property pages: its page reads IAudioDecoderInfo (input and output formats, frames).
//
// Threads: see decoder_filter.h; the converter and timing state are guarded by the base's
// receive lock, the page's record by infoMutex_ and an atomic.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "filters/info/filter_info.h"
#include "platform/graph/property_page.h"

#include "filters/audiodec/pcm_converter.h"
#include "filters/ffmpeg/decoder_core.h"
#include "filters/ffmpeg_decode/decoder_filter.h"

namespace kv::audiodec {

inline constexpr CLSID CLSID_KavelloAudioDecoder = GuidLiteral("{D31F000E-523A-4EC7-B5BC-EE263BFABC84}");
inline constexpr const char* kAudioDecoderName = "Kavello Audio Decoder";

class TAudioDecoderFilter final : public decode::TDecoderFilter,
                                  public ISpecifyPropertyPages,
                                  public IAudioDecoderInfo {
 public:
  static constexpr int64_t kResyncThreshold = 2000000;  // 200 ms

  TAudioDecoderFilter();
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;
  HRESULT GetPages(std::vector<CLSID>* pages) override;
  HRESULT GetAudioDecoderInfo(TAudioDecoderInfo* info) override;

  HRESULT CheckInputType(const MediaType& type) override;
  HRESULT OpenDecoder(const MediaType& type) override;
  void CloseDecoder() override;
  HRESULT GetOutputType(int position, MediaType* type) override;
  HRESULT CheckOutputType(const MediaType& type) override;
  HRESULT OnOutputType(const MediaType& type) override;
  HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* request) override;
  HRESULT Decode(IMediaSample* sample) override;
  HRESULT Drain() override;
  void ResetDecoder() override;

 private:
  HRESULT DeliverReadyFrames();
  // Delivers the converted bytes in pcm_ starting at `time`, in buffer-sized pieces.
  HRESULT DeliverPcm(int64_t frameTime, int samples);

  ffmpeg::TDecoderCore core_;
  ffmpeg::FramePtr frame_;
  TPcmConverter converter_;
  TPcmLayout layout_;
  int inputRate_ = 0, inputChannels_ = 0;
  std::vector<uint8_t> pcm_;  // converted samples waiting for delivery
  // Timing (receive lock): output time = base_ + counted_ samples.
  int64_t base_ = AV_NOPTS_VALUE;
  int64_t counted_ = 0;
  bool discontinuity_ = true;
  bool prerolling_ = false;

  std::mutex infoMutex_;  // guards info_ (its counter excepted)
  TAudioDecoderInfo info_;
  std::atomic<int64_t> decoded_{0};
};

HRESULT RegisterAudioDecoder();

}  // namespace kv::audiodec
