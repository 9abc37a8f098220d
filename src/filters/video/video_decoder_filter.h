// TVideoDecoderFilter: "Kavello Video Decoder", every video codec libavcodec decodes.
//
// What it is: a decoder filter (decoder_filter.h) around one TDecoderCore with frame
// threads. Input: the compressed subtypes of the mapping tables (FOURCC and MPEG
// subtypes, codec private data in the format block). Output: uncompressed pictures,
// offered in the order YV12, I420, NV12, YUY2, RGB32, each with VIDEOINFOHEADER2 and then
// VIDEOINFOHEADER, so the first layout the downstream pin accepts wins.
//
// Times: input start times go into libavcodec as packet times; each picture carries the
// decoder's best-effort time, kept strictly increasing, and lasts one frame. Pictures are
// sync points; the first after a flush or new segment is a discontinuity. Pictures before
// the segment start that came from preroll input are decoded but not delivered.
//
// Pictures: a picture whose planes already are the output layout (the common 4:2:0 case)
// is not copied: the sample carries a reference on the decoded frame (picture_sample.h)
// and only a consumer that reads the sample's bytes makes the one copy. Frames held that
// way (renderer, grabber, samples in flight) come from libavcodec's pools, which grow as
// needed; the sample pool bounds how many are in flight.
//
// Property pages: it offers its page (filters/info/filter_info.h) and IVideoDecoderInfo:
// codec, threads, counters and the chosen output layout, and the decoding thread setting
// that the next connection uses (process-wide, like a decoder's saved settings).
//
// Threads: see decoder_filter.h. The picture writer and timing state are guarded by the
// base's receive lock; the page's record by infoMutex_ and atomics.
#pragma once

#include <atomic>
#include <mutex>

#include "filters/info/filter_info.h"
#include "platform/graph/property_page.h"

#include "filters/ffmpeg/decoder_core.h"
#include "filters/ffmpeg_decode/decoder_filter.h"
#include "filters/video/picture_formats.h"
#include "filters/video/picture_writer.h"

namespace kv::video {

inline constexpr CLSID CLSID_KavelloVideoDecoder = GuidLiteral("{B09407A6-CF2C-4252-8ACD-D89564BEE830}");
inline constexpr const char* kVideoDecoderName = "Kavello Video Decoder";

class TVideoDecoderFilter final : public decode::TDecoderFilter,
                                  public ISpecifyPropertyPages,
                                  public IVideoDecoderInfo {
 public:
  TVideoDecoderFilter();
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  // ISpecifyPropertyPages, IVideoDecoderInfo (any thread).
  HRESULT GetPages(std::vector<CLSID>* pages) override;
  HRESULT GetVideoDecoderInfo(TVideoDecoderInfo* info) override;
  HRESULT SetThreadSetting(int32_t threads) override;

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
  // Takes every picture the decoder has ready and delivers it. S_FALSE: downstream stopped
  // taking samples.
  HRESULT DeliverReadyFrames();
  HRESULT DeliverFrame(const AVFrame* frame);

  ffmpeg::TCodecSetup setup_;
  ffmpeg::TDecoderCore core_;
  ffmpeg::FramePtr frame_;
  TPictureWriter writer_;
  TPictureGeometry geometry_;
  int width_ = 0, height_ = 0;  // picture size from the input type
  uint32_t aspectX_ = 0, aspectY_ = 0;
  int64_t frameDuration_ = 0;   // from the input type; 40 ms when it says nothing
  // Timing of the current stream (receive lock).
  int64_t lastTime_ = AV_NOPTS_VALUE;
  bool discontinuity_ = true;
  bool prerolling_ = false;

  std::mutex infoMutex_;  // guards the page's fields below (written at connection time)
  std::string codecText_;
  int32_t threadsInUse_ = 0;
  int32_t infoWidth_ = 0, infoHeight_ = 0;
  std::string outputText_;
  std::atomic<int64_t> decoded_{0};
  std::atomic<int64_t> dropped_{0};
};

// The decoding threads a new connection asks for (0 = one per core); process-wide.
int32_t VideoDecoderThreadSetting();

// Whether a stream decodes with frame threads. Frame threads decode several pictures at
// once, but the same pictures cost 10-15% more processor time in all (the threads wait on
// and hand over each other's reference pictures) and each thread holds a whole picture
// more. A standard-definition stream (up to the pixel rate of 1024x576 at 30 pictures per
// second) decodes on one core in a few milliseconds per picture, so the automatic setting
// (0) decodes it with slice threads only. Larger or faster streams keep frame threads: at
// 1080p on a busy two-core machine, one decoding thread dropped more frames than two. A
// thread count the user set always means frame threads.
// frameDuration in 100-ns units (0: unknown, taken as 25 per second).
bool UsesFrameThreads(int width, int height, int64_t frameDuration, int32_t threadSetting);

HRESULT RegisterVideoDecoder();

}  // namespace kv::video
