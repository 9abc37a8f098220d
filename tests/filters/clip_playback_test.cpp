// Whole-graph tests over the generated clips: file source -> demultiplexer -> decoder ->
// recording renderer, unclocked. Every clip of tests/media/generate_clips.sh is a row.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "clip_graph.h"
#include "filters/demux/container_families.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/graph_interfaces.h"
#include "platform/graph/media_guids.h"
#include "platform/graph/source_stream.h"

namespace kv::testing {
namespace {

using namespace kv::demux;

constexpr int32_t kTimeoutMs = 60000;
// The clips are 25 frames per second with a key frame every 12 frames.
constexpr REFERENCE_TIME kFrame = 400000;
constexpr REFERENCE_TIME kGop = 12 * kFrame;

struct TClip {
  const char* file;
  CLSID demux;
  // Lossy codecs may differ from ffprobe's sample count by their priming and padding,
  // which ffprobe trims from side data that does not travel in a media sample.
  int64_t audioTolerance;
};

std::ostream& operator<<(std::ostream& os, const TClip& c) { return os << c.file; }

const TClip kClips[] = {
    {"avi_mpeg4_mp3.avi", CLSID_KavelloAviSplitter, 0},
    {"avi_mjpeg_pcm.avi", CLSID_KavelloAviSplitter, 0},
    {"avi_dv_pcm.avi", CLSID_KavelloAviSplitter, 0},
    {"avi_h264_ac3.avi", CLSID_KavelloAviSplitter, 0},
    {"mpeg1_mp2.mpg", CLSID_KavelloMpegSplitter, 0},
    {"mpeg2_ac3.vob", CLSID_KavelloMpegSplitter, 0},
    {"mpeg2_lpcm.vob", CLSID_KavelloMpegSplitter, 0},
    {"audio_mp3.mp3", CLSID_KavelloMpegAudioSplitter, 0},
    {"mkv_h264_aac.mkv", CLSID_KavelloMatroskaSplitter, 0},
    {"mkv_hevc_flac.mkv", CLSID_KavelloMatroskaSplitter, 0},
    {"mkv_av1_eac3.mkv", CLSID_KavelloMatroskaSplitter, 0},
    {"webm_vp8_vorbis.webm", CLSID_KavelloMatroskaSplitter, 0},
    {"webm_vp9_opus.webm", CLSID_KavelloMatroskaSplitter, 0},
    {"ogg_theora_vorbis.ogv", CLSID_KavelloOggSplitter, 0},
    {"ogg_opus.opus", CLSID_KavelloOggSplitter, 0},
    {"ogg_flac.oga", CLSID_KavelloOggSplitter, 0},
    {"wav_pcm.wav", CLSID_KavelloWavSplitter, 0},
    {"wav_adpcm.wav", CLSID_KavelloWavSplitter, 0},
    {"mp4_h264_aac.mp4", CLSID_KavelloMp4Splitter, 0},
    {"mov_mpeg4_pcm.mov", CLSID_KavelloMp4Splitter, 0},
    {"ts_h264_ac3.ts", CLSID_KavelloMpegTsSplitter, 0},
    {"ts_mpeg2_mp2.ts", CLSID_KavelloMpegTsSplitter, 0},
    {"m2ts_h264_lpcm.m2ts", CLSID_KavelloMpegTsSplitter, 0},
    {"asf_wmv2_wma2.wmv", CLSID_KavelloAsfReader, 0},
    {"asf_wmv1_wma1.asf", CLSID_KavelloAsfReader, 0},
};

std::string MediaPath(const std::string& file) { return std::string(KAVELLO_PROGRAM_DIR) + "/tests/media/clips/" + file; }

// What ffprobe decoded from a clip (NAME.counts beside it).
struct TCounts {
  int64_t videoFrames = -1;
  int64_t audioSamples = -1;
  int sampleRate = 0;
  int channels = 0;
};

TCounts ReadCounts(const std::string& file) {
  TCounts c;
  std::ifstream in(MediaPath(file.substr(0, file.rfind('.')) + ".counts"));
  std::string kind;
  while (in >> kind) {
    if (kind == "video") {
      in >> c.videoFrames;
    } else if (kind == "audio") {
      in >> c.audioSamples >> c.sampleRate >> c.channels;
    }
  }
  return c;
}

std::string Damaged(const std::string& file, const char* what) {
  const auto dot = file.rfind('.');
  return file.substr(0, dot) + "." + what + file.substr(dot);
}

int64_t AudioSamples(TRecordingRenderer* r) {
  int64_t bytes = 0;
  for (const auto& s : r->Samples()) bytes += s.bytes;
  return r->BlockAlign() ? bytes / r->BlockAlign() : 0;
}

class ClipPlayback : public ::testing::TestWithParam<TClip> {
 protected:
  void SetUp() override {
    counts_ = ReadCounts(GetParam().file);
    ASSERT_TRUE(counts_.videoFrames >= 0 || counts_.audioSamples >= 0)
        << "no counts for " << GetParam().file << " (did media_generate_clips run?)";
  }
  TCounts counts_;
};

TEST_P(ClipPlayback, DeliversEveryFrameAndSample_whenRunUnclocked) {
  TClipGraph graph;
  ASSERT_EQ(graph.Build(MediaPath(GetParam().file), GetParam().demux), S_OK);
  EXPECT_EQ(graph.HasVideo(), counts_.videoFrames >= 0);
  EXPECT_EQ(graph.HasAudio(), counts_.audioSamples >= 0);
  int32_t code = 0;
  ASSERT_EQ(graph.RunToEnd(kTimeoutMs, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);

  if (graph.HasVideo()) {
    const auto frames = graph.Video()->Samples();
    EXPECT_EQ(static_cast<int64_t>(frames.size()), counts_.videoFrames);
    ASSERT_FALSE(frames.empty());
    EXPECT_LT(std::llabs(frames.front().start), 3 * kFrame) << "the first picture starts the file";
    for (size_t i = 1; i < frames.size(); ++i) {
      ASSERT_TRUE(frames[i].timed);
      ASSERT_GT(frames[i].start, frames[i - 1].start) << "picture " << i;
    }
    // Pictures the decoder carries in place (not copied) write out exactly their planes.
    size_t carried = 0;
    for (size_t i = 0; i < frames.size(); ++i) {
      if (!frames[i].carried) continue;
      ++carried;
      ASSERT_TRUE(frames[i].planesMatchBytes) << "picture " << i;
    }
    const std::string file = GetParam().file;
    if (file.find("h264") != std::string::npos || file.find("mpeg4") != std::string::npos) {
      EXPECT_EQ(carried, frames.size()) << "4:2:0 pictures travel without a copy";
    }
  }
  const std::string events = graph.DrainEvents();
  EXPECT_EQ(events.find("code 69"), std::string::npos) << "streaming error: " << events;
  if (graph.HasAudio()) {
    const auto chunks = graph.Audio()->Samples();
    EXPECT_NEAR(AudioSamples(graph.Audio()), counts_.audioSamples, GetParam().audioTolerance);
    for (size_t i = 1; i < chunks.size(); ++i) {
      ASSERT_GE(chunks[i].start, chunks[i - 1].start) << "chunk " << i;
      ASSERT_GE(chunks[i].stop, chunks[i].start);
    }
  }
}

// What the engine reads from the first media type of each pin, at its fixed offsets.
TEST_P(ClipPlayback, PinTypes_readBackSizeRateAndChannelsAtTheEnginesOffsets) {
  TClipGraph graph;
  ASSERT_EQ(graph.Build(MediaPath(GetParam().file), GetParam().demux), S_OK);
  const bool dv = std::string(GetParam().file).find("_dv_") != std::string::npos;
  for (const MediaType& mt : graph.OutputTypes()) {
    SCOPED_TRACE(DescribeMediaType(mt));
    if (mt.majortype == MEDIATYPE_Video) {
      const bool second = mt.formattype == FORMAT_VideoInfo2 || mt.formattype == FORMAT_MPEG2Video;
      EXPECT_EQ(static_cast<int32_t>(*ReadLE32(mt.format, second ? 76 : 52)), dv ? 720 : 176);
      EXPECT_EQ(static_cast<int32_t>(*ReadLE32(mt.format, second ? 80 : 56)), dv ? 576 : 144);
      EXPECT_NEAR(*ReadLE64(mt.format, 40), kFrame, kFrame / 100) << "25 frames per second";
    } else {
      ASSERT_EQ(mt.majortype, MEDIATYPE_Audio);
      EXPECT_EQ(*ReadLE32(mt.format, 4), static_cast<uint32_t>(counts_.sampleRate));
      const size_t channelsAt = mt.formattype == FORMAT_WaveFormatEx ? 2 : 0;
      EXPECT_EQ(*ReadLE16(mt.format, channelsAt), counts_.channels);
    }
  }
}

TEST_P(ClipPlayback, KeyFrameSeekToMiddle_landsAtOrBeforeTargetWithinOneGop) {
  TClipGraph graph;
  ASSERT_EQ(graph.Build(MediaPath(GetParam().file), GetParam().demux), S_OK);
  int32_t code = 0;
  ASSERT_EQ(graph.RunToEnd(kTimeoutMs, &code), S_OK);
  const REFERENCE_TIME duration = graph.Duration();
  ASSERT_GT(duration, 0);
  const REFERENCE_TIME target = duration / 2;
  ASSERT_EQ(graph.SeekAndRunToEnd(target, true, kTimeoutMs, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);

  if (graph.HasVideo()) {
    const auto frames = graph.Video()->Samples();
    ASSERT_FALSE(frames.empty());
    const REFERENCE_TIME first = frames.front().segmentStart + frames.front().start;
    EXPECT_LE(first, target + kFrame / 2);
    EXPECT_GE(first, target - kGop - kFrame);
    // The rest of the clip follows, not the whole of it again.
    EXPECT_LT(static_cast<int64_t>(frames.size()), counts_.videoFrames);
    EXPECT_GT(static_cast<int64_t>(frames.size()), counts_.videoFrames / 4);
  } else {
    const auto chunks = graph.Audio()->Samples();
    ASSERT_FALSE(chunks.empty());
    const REFERENCE_TIME first = chunks.front().segmentStart + chunks.front().start;
    EXPECT_LE(first, target + kFrame);
    EXPECT_GE(first, target - kGop);
    EXPECT_LT(AudioSamples(graph.Audio()), counts_.audioSamples * 3 / 4);
  }
}

TEST_P(ClipPlayback, DamagedCopies_endInAnErrorOrAShortStream) {
  for (const char* damage : {"trunc", "flip"}) {
    SCOPED_TRACE(damage);
    TClipGraph graph;
    const HRESULT built = graph.Build(MediaPath(Damaged(GetParam().file, damage)), GetParam().demux);
    if (FAILED(built)) continue;  // refusing the file is a fine answer
    int32_t code = 0;
    ASSERT_EQ(graph.RunToEnd(kTimeoutMs, &code), S_OK) << "no end within the time-out";
    EXPECT_TRUE(code == EC_COMPLETE || code == EC_ERRORABORT || code == EC_ERRORABORTEX) << code;
    if (std::string(damage) == "trunc") {
      if (graph.HasVideo()) {
        EXPECT_LE(static_cast<int64_t>(graph.Video()->Samples().size()), counts_.videoFrames);
      }
      if (graph.HasAudio()) {
        EXPECT_LE(AudioSamples(graph.Audio()), counts_.audioSamples + GetParam().audioTolerance);
      }
    }
  }
}

std::string ClipName(const ::testing::TestParamInfo<TClip>& info) {
  std::string name = info.param.file;
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Clips, ClipPlayback, ::testing::ValuesIn(kClips), ClipName);

// State changes and seeks in awkward moments, on one clip of each kind of demultiplexing
// (index-based, timestamp search, self-demultiplexing source).
using ClipStates = ClipPlayback;

TEST_P(ClipStates, StopRewindAndRunAgain_playsTheWholeClipAgain) {
  TClipGraph graph;
  ASSERT_EQ(graph.Build(MediaPath(GetParam().file), GetParam().demux), S_OK);
  int32_t code = 0;
  for (int run = 0; run < 2; ++run) {
    SCOPED_TRACE(run);
    graph.Video()->Clear();
    graph.Audio()->Clear();
    ASSERT_EQ(graph.RunToEnd(kTimeoutMs, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(static_cast<int64_t>(graph.Video()->Samples().size()), counts_.videoFrames);
    EXPECT_EQ(AudioSamples(graph.Audio()), counts_.audioSamples);
    ASSERT_EQ(graph.Stop(), S_OK);
    ASSERT_EQ(graph.Seek(0, false), S_OK) << "a stopped graph stays where it ended";
  }
}

TEST_P(ClipStates, StopWhilePrerolled_releasesEveryThread) {
  TClipGraph graph;
  ASSERT_EQ(graph.Build(MediaPath(GetParam().file), GetParam().demux), S_OK);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(graph.PauseAndWait(kTimeoutMs), S_OK) << "both renderers prerolled; events: " << graph.DrainEvents();
    EXPECT_EQ(graph.Seek(GetParam().audioTolerance + i * kFrame * 5, true), S_OK);
    ASSERT_EQ(graph.Stop(), S_OK);
  }
  // A clocked run stopped at once must not hang either.
  ASSERT_EQ(graph.Graph()->SetDefaultSyncSource(), S_OK);
  auto control = ComPtr<IGraphBuilder>(graph.Graph()).Query<IMediaControl>();
  ASSERT_TRUE(control);
  EXPECT_TRUE(SUCCEEDED(control->Run()));
  EXPECT_EQ(control->Stop(), S_OK);
  const std::string events = graph.DrainEvents();
  EXPECT_EQ(events.find("code 69"), std::string::npos) << events;
}

TEST_P(ClipStates, ExactSeek_startsAtTheTarget) {
  TClipGraph graph;
  ASSERT_EQ(graph.Build(MediaPath(GetParam().file), GetParam().demux), S_OK);
  const REFERENCE_TIME target = graph.Duration() / 2 + kFrame / 3;
  int32_t code = 0;
  ASSERT_EQ(graph.SeekAndRunToEnd(target, false, kTimeoutMs, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  const auto frames = graph.Video()->Samples();
  ASSERT_FALSE(frames.empty());
  const REFERENCE_TIME first = frames.front().segmentStart + frames.front().start;
  EXPECT_GT(first, target - kFrame) << "pictures before the target are decoded but not shown";
  EXPECT_LE(first, target + kFrame);
  const auto chunks = graph.Audio()->Samples();
  ASSERT_FALSE(chunks.empty());
  EXPECT_GT(chunks.front().segmentStart + chunks.front().stop, target);
}

TEST_P(ClipStates, SeeksInQuickSuccession_endInTheLastOnesSegment) {
  TClipGraph graph;
  ASSERT_EQ(graph.Build(MediaPath(GetParam().file), GetParam().demux), S_OK);
  ASSERT_EQ(graph.PauseAndWait(kTimeoutMs), S_OK);
  const REFERENCE_TIME duration = graph.Duration();
  for (REFERENCE_TIME t : {duration / 5, duration * 4 / 5, duration / 10}) EXPECT_EQ(graph.Seek(t, true), S_OK);
  graph.Video()->Clear();
  const REFERENCE_TIME last = duration * 3 / 5;
  int32_t code = 0;
  ASSERT_EQ(graph.SeekAndRunToEnd(last, true, kTimeoutMs, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  const auto frames = graph.Video()->Samples();
  ASSERT_FALSE(frames.empty());
  // A key-frame seek's segment begins at its key frame, at or before the target (these
  // clips' key frames lie up to 10 s apart).
  const REFERENCE_TIME segment = frames.front().segmentStart;
  EXPECT_LE(segment, last);
  for (const auto& f : frames) ASSERT_EQ(f.segmentStart, segment) << "a picture of an older segment";
  EXPECT_LE(frames.front().segmentStart + frames.front().start, last + kFrame / 2);
}

// Synchronous delivery (the reader thread delivers, as in the analysis without pictures):
// with one stream the whole clip arrives, a prerolled reader is released by a seek and by
// stop, and a seek ends in the new segment. With two streams the demultiplexer keeps its
// pin threads, so both renderers still preroll (one reader could not feed a second pin
// while the first renderer holds it).
TEST_P(ClipStates, SynchronousDelivery_playsPrerollsAndSeeksLikePinThreads) {
  for (bool audio : {false, true}) {
    SCOPED_TRACE(audio ? "video and audio" : "video only");
    TClipGraph graph;
    ASSERT_EQ(graph.Build(MediaPath(GetParam().file), GetParam().demux, true, audio), S_OK);
    auto synchronous = ComPtr<IBaseFilter>(graph.Demux()).Query<ISynchronousDelivery>();
    ASSERT_TRUE(synchronous);
    ASSERT_EQ(synchronous->SetSynchronousDelivery(true), S_OK);
    int32_t code = 0;
    ASSERT_EQ(graph.RunToEnd(kTimeoutMs, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(static_cast<int64_t>(graph.Video()->Samples().size()), counts_.videoFrames);
    if (audio) {
      EXPECT_EQ(AudioSamples(graph.Audio()), counts_.audioSamples);
    }
    ASSERT_EQ(graph.Stop(), S_OK);

    EXPECT_EQ(graph.PauseAndWait(kTimeoutMs), S_OK) << "prerolled; events: " << graph.DrainEvents();
    EXPECT_EQ(graph.Seek(graph.Duration() / 5, true), S_OK);  // a hang: the flush left the reader blocked
    graph.Video()->Clear();
    // An exact seek: its segment begins at the target (a key-frame seek begins at its key frame).
    const REFERENCE_TIME target = graph.Duration() * 3 / 5;
    ASSERT_EQ(graph.SeekAndRunToEnd(target, false, kTimeoutMs, &code), S_OK);
    EXPECT_EQ(code, EC_COMPLETE);
    const auto frames = graph.Video()->Samples();
    ASSERT_FALSE(frames.empty());
    for (const auto& f : frames) ASSERT_EQ(f.segmentStart, target) << "a picture of an older segment";
    EXPECT_LE(frames.front().segmentStart + frames.front().start, target + kFrame / 2);
    EXPECT_EQ(graph.PauseAndWait(kTimeoutMs), S_OK);
    ASSERT_EQ(graph.Stop(), S_OK);  // a hang: stop did not release the prerolled reader
  }
}

const TClip kStateClips[] = {
    {"mkv_h264_aac.mkv", CLSID_KavelloMatroskaSplitter, 0},
    {"ts_mpeg2_mp2.ts", CLSID_KavelloMpegTsSplitter, 0},
    {"m2ts_h264_lpcm.m2ts", CLSID_KavelloMpegTsSplitter, 0},
    {"asf_wmv2_wma2.wmv", CLSID_KavelloAsfReader, 0},
};
INSTANTIATE_TEST_SUITE_P(Clips, ClipStates, ::testing::ValuesIn(kStateClips), ClipName);

}  // namespace
}  // namespace kv::testing
