// The engine against generated media and the built-in filters: stream names and sizes per
// container, a whole unclocked run with statistics, and the frame grabber in a real graph.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <sstream>

#include "engine/contrl.h"
#include "lib/engine_events.h"
#include "filters/builtin/builtin_filters.h"
#include "filters/demux/container_families.h"
#include "filters/grabber/frame_grabber.h"
#include "filters/stats/statistics_filter.h"
#include "filters/source/file_source_filter.h"
#include "filters/video/video_decoder_filter.h"
#include "platform/graph/filter_graph.h"
#include "platform/ui/messagebox.h"

namespace kv {
namespace {

const std::string kMedia = std::string(KAVELLO_PROGRAM_DIR) + "/tests/media/clips/";

void RegisterBuiltins() {
  CoInitialize();
  RegisterBuiltinFilters(false);
}

int VideoFrames(const std::string& clip) {
  std::ifstream in(kMedia + clip.substr(0, clip.rfind('.')) + ".counts");
  std::string word;
  int frames = -1;
  while (in >> word)
    if (word == "video") in >> frames;
  return frames;
}

std::atomic<int> sampleRecords{0};
std::atomic<bool> recordsWellFormed{true};
int32_t CountSample(const void* record) {
  const auto* r = static_cast<const TSampleRecord*>(record);
  if (r->Size != sizeof(TSampleRecord) || r->FrameIndex != sampleRecords.load()) recordsWellFormed = false;
  ++sampleRecords;
  return 0;
}

class EngineMediaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterBuiltins();
    ui::SetMessageBoxHandler([this](const std::string& text, const std::string&) { boxes.push_back(text); });
    std::ifstream probe(kMedia + "clips.list");
    if (!probe) GTEST_FAIL() << "generated media missing at " << kMedia << ": the kavello_media fixture must run first";
  }
  void TearDown() override { ui::SetMessageBoxHandler({}); }

  std::unique_ptr<TCOMPlay> AnalysisEngine() {
    auto e = std::make_unique<TCOMPlay>(nullptr, KAVELLO_PROGRAM_DIR);
    e->NullRenderers = true;
    e->ImageAnalysisWanted = true;
    e->UseClock = false;
    events_.Attach(*e);
    return e;
  }
  bool RunToEnd(TCOMPlay& e) { return events_.RunToEnd(e); }

  std::vector<std::string> boxes;
  test::TEngineEvents events_;
};

TEST_F(EngineMediaTest, namesSizesAndRatesPerContainer) {
  struct Row {
    const char* clip;
    const char* video;
    int width;
    const char* audio;
    int rate, channels;
  } rows[] = {
      {"avi_mpeg4_mp3.avi", "XviD", 176, "Mpeg Layer 3", 44100, 1},
      {"avi_mjpeg_pcm.avi", "MJPG", 176, "PCM", 44100, 2},
      {"avi_dv_pcm.avi", "DV", 720, "PCM", 48000, 2},
      {"mpeg1_mp2.mpg", "MPEG-1", 176, nullptr, 44100, 1},
      {"mpeg2_ac3.vob", "MPEG-2", 176, "Dolby AC3", 48000, 1},
      {"audio_mp3.mp3", "", 0, "Mpeg Layer 3", 44100, 1},
      {"mkv_h264_aac.mkv", "MPEG-4 AVC (H264)", 176, nullptr, 44100, 1},
      {"webm_vp8_vorbis.webm", "VP80", 176, "Ogg Vorbis", 44100, 1},
      {"ogg_theora_vorbis.ogv", "THEO", 176, "Ogg Vorbis", 44100, 1},
      {"wav_pcm.wav", "", 0, "PCM", 44100, 2},
      {"wav_adpcm.wav", "", 0, "Microsoft ADPCM", 44100, 1},
      {"mov_mpeg4_pcm.mov", nullptr, 176, "PCM", 44100, 1},
      {"ts_h264_ac3.ts", "MPEG-4 AVC (H264)", 176, "Dolby AC3", 48000, 1},
      {"asf_wmv2_wma2.wmv", "Windows Media Video 8", 176, "Windows Media Audio 9", 44100, 1},
  };
  auto e = AnalysisEngine();
  for (const auto& r : rows) {
    e->OpenVideo(kMedia + r.clip);
    ASSERT_EQ(e->State, psOpened) << r.clip;
    if (r.video) {
      EXPECT_EQ(e->VideoCodec, r.video) << r.clip;
    }
    EXPECT_EQ(e->VideoWidth, r.width) << r.clip;
    if (r.width) {
      EXPECT_DOUBLE_EQ(e->FrameRate, 25.0) << r.clip;
      EXPECT_EQ(e->VideoStreams.size(), 1u) << r.clip;
    }
    if (r.audio) {
      EXPECT_EQ(e->AudioCodec, r.audio) << r.clip;
    }
    EXPECT_EQ(e->SampleRate, r.rate) << r.clip;
    EXPECT_EQ(e->Channels, r.channels) << r.clip;
    EXPECT_EQ(e->AudioStreams.size(), 1u) << r.clip;
    EXPECT_NEAR(e->GetDuration(), r.width == 720 ? 1000 : 2000, 120) << r.clip;  // the DV clip lasts 1 s
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(EngineMediaTest, unclockedAnalysisRun_countsEveryFrame) {
  for (const char* clip : {"avi_mpeg4_mp3.avi", "mpeg2_ac3.vob", "mkv_h264_aac.mkv"}) {
    auto e = AnalysisEngine();
    e->VideoStatCallback = CountSample;
    sampleRecords = 0;
    recordsWellFormed = true;
    e->OpenVideo(kMedia + clip);
    ASSERT_EQ(e->State, psOpened) << clip;
    ASSERT_TRUE(e->VideoStat);
    ASSERT_TRUE(e->ImageStat);
    ASSERT_TRUE(RunToEnd(*e)) << clip;
    EXPECT_EQ(e->State, psPaused);
    const int frames = VideoFrames(clip);
    EXPECT_EQ(sampleRecords.load(), frames) << clip;
    EXPECT_TRUE(recordsWellFormed);
    TStatCounters total, current, image;
    ASSERT_EQ(e->VideoStat->GetTotalStat(&total), S_OK);
    EXPECT_EQ(total.Samples, frames) << clip;
    EXPECT_NEAR(static_cast<double>(total.Duration), 2e7, 2e6) << clip;
    ASSERT_EQ(e->VideoStat->GetCurrentStat(&current), S_OK);
    EXPECT_LE(current.Duration, TStatisticsFilter::kWindow + 400000);
    EXPECT_LT(current.Samples, total.Samples);
    ASSERT_EQ(e->ImageStat->GetTotalStat(&image), S_OK);
    EXPECT_EQ(image.Samples, frames) << clip;  // every frame decoded
    EXPECT_GT(e->GetVideoBitrate(), 0);
    EXPECT_GT(e->GetVideoCurrentBitrate(), 0);
    e->ResetStatistics();
    ASSERT_EQ(e->VideoStat->GetTotalStat(&total), S_OK);
    EXPECT_EQ(total.Samples, 0);
    EXPECT_EQ(e->GetVideoBitrate(), -1);
  }
}

// Damaged files (cut short, bytes flipped) either fail to open with an empty FileName or
// run to an end: completion or a reported streaming error, never a hang or a crash.
TEST_F(EngineMediaTest, damagedFilesOpenAndEndOrFailCleanly) {
  std::ifstream list(kMedia + "clips.list");
  std::string clip;
  int opened = 0;
  while (std::getline(list, clip)) {
    const std::string stem = clip.substr(0, clip.rfind('.')), ext = clip.substr(clip.rfind('.'));
    for (const char* kind : {".trunc", ".flip"}) {
      const std::string file = kMedia + stem + kind + ext;
      auto e = AnalysisEngine();
      e->OpenVideo(file);
      // With null renderers an audio-only file connects nothing, so its graph has no
      // stream that could complete; only files with a connected video chain are run.
      if (e->FileName.empty() || e->VideoStreamName.empty()) continue;
      ++opened;
      e->Play();
      bool ended = false;
      while (!ended) {
        ASSERT_TRUE(events_.Wait()) << file;
        int32_t code;
        intptr_t p1, p2;
        while (e->MediaEvent->GetEvent(&code, &p1, &p2, 0) == S_OK) {
          ended |= code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_ERRORABORTEX;
          e->MediaEvent->FreeEventParams(code, p1, p2);
        }
      }
      e->Stop();
    }
  }
  EXPECT_GT(opened, 10);
}

TEST_F(EngineMediaTest, frameGrabberKeepsTheLastPicture) {
  ComPtr<IGraphBuilder> graph = CreateFilterGraph();
  auto make = [&](const CLSID& clsid, const char* name) {
    ComPtr<IBaseFilter> f;
    EXPECT_TRUE(SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, f.PutVoid())));
    EXPECT_TRUE(SUCCEEDED(graph->AddFilter(f.Get(), name)));
    return f;
  };
  auto src = make(source::CLSID_AsyncReader, "Source");
  auto split = make(demux::CLSID_KavelloAviSplitter, "Splitter");
  auto dec = make(video::CLSID_KavelloVideoDecoder, "Decoder");
  auto grab = make(CLSID_FrameGrabber, "Video Frame Grabber");
  auto sink = make(CLSID_NullRenderer, "Null Video Renderer");
  ComPtr<IFrameGrabber> grabber;
  ASSERT_TRUE(SUCCEEDED(grab.As(&grabber)));
  uint8_t* buffer = nullptr;
  int32_t size = 0, w = 0, h = 0;
  EXPECT_EQ(grabber->GetFrame(3, 1, &buffer, &size, &w, &h), E_NOTIMPL);  // nothing passed yet

  ComPtr<IFileSourceFilter> file;
  ASSERT_TRUE(SUCCEEDED(src.As(&file)));
  ASSERT_TRUE(SUCCEEDED(file->Load(kMedia + "avi_mjpeg_pcm.avi", nullptr)));
  auto link = [&](IBaseFilter* a, IBaseFilter* b) {
    ComPtr<IPin> out = TCOMPlay::FindPin(a, PINDIR_OUTPUT, 0), in = TCOMPlay::FindPin(b, PINDIR_INPUT, 0);
    return out && in && SUCCEEDED(graph->ConnectDirect(out.Get(), in.Get(), nullptr));
  };
  ASSERT_TRUE(link(src.Get(), split.Get()));
  ASSERT_TRUE(link(split.Get(), dec.Get()));
  ASSERT_TRUE(link(dec.Get(), grab.Get()));
  ASSERT_TRUE(link(grab.Get(), sink.Get()));
  ComPtr<IMediaFilter> clockless;
  ASSERT_TRUE(SUCCEEDED(graph.As(&clockless)));
  clockless->SetSyncSource(nullptr);
  ComPtr<IMediaControl> control;
  ComPtr<IMediaEvent> events;
  ASSERT_TRUE(SUCCEEDED(graph.As(&control)));
  ASSERT_TRUE(SUCCEEDED(graph.As(&events)));
  ASSERT_TRUE(SUCCEEDED(control->Run()));
  int32_t code = 0;
  ASSERT_EQ(events->WaitForCompletion(60000, &code), S_OK);

  struct Row {
    int32_t format, bytesPerPixel;
  } rows[] = {{3, 3}, {1, 2}};
  for (const auto& r : rows) {
    ASSERT_EQ(grabber->GetFrame(r.format, 1, &buffer, &size, &w, &h), S_OK);
    EXPECT_EQ(w, 176);
    EXPECT_EQ(h, 144);
    ASSERT_EQ(size, 176 * 144 * r.bytesPerPixel);
    int nonZero = 0;
    for (int32_t i = 0; i < size; ++i) nonZero += buffer[i] != 0;
    EXPECT_GT(nonZero, size / 4);  // a picture, not an empty buffer
    EXPECT_EQ(grabber->FreeFrame(buffer, size), S_OK);
  }
  uint8_t stranger[4];
  EXPECT_EQ(grabber->FreeFrame(stranger, 4), E_INVALIDARG);
  EXPECT_EQ(grabber->GetFrame(2, 1, &buffer, &size, &w, &h), E_NOTIMPL);
  control->Stop();
}

}  // namespace
}  // namespace kv
