// A longer battery of damaged files (label "long", not run by ./test.sh): every clip with
// bytes flipped at random places (headers included), cut at random lengths, or with runs
// of bytes zeroed. Each must end in a refused connection, an error event or end of stream,
// within the time-out: no crash, no hang, nothing AddressSanitizer objects to.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "clip_graph.h"
#include "filters/demux/container_families.h"

namespace kv::testing {
namespace {

using namespace kv::demux;

struct TSoakClip {
  const char* file;
  CLSID demux;
};

const TSoakClip kSoakClips[] = {
    {"avi_mpeg4_mp3.avi", CLSID_KavelloAviSplitter},     {"avi_h264_ac3.avi", CLSID_KavelloAviSplitter},
    {"mpeg2_ac3.vob", CLSID_KavelloMpegSplitter},        {"audio_mp3.mp3", CLSID_KavelloMpegAudioSplitter},
    {"mkv_h264_aac.mkv", CLSID_KavelloMatroskaSplitter}, {"webm_vp9_opus.webm", CLSID_KavelloMatroskaSplitter},
    {"ogg_theora_vorbis.ogv", CLSID_KavelloOggSplitter}, {"wav_adpcm.wav", CLSID_KavelloWavSplitter},
    {"mp4_h264_aac.mp4", CLSID_KavelloMp4Splitter},      {"ts_h264_ac3.ts", CLSID_KavelloMpegTsSplitter},
    {"asf_wmv2_wma2.wmv", CLSID_KavelloAsfReader},
};

std::ostream& operator<<(std::ostream& os, const TSoakClip& c) { return os << c.file; }

constexpr int kVariants = 64;

std::vector<char> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Variant n of the damage: flips, a cut, or a zeroed run, placed by a seeded generator.
std::vector<char> Damage(std::vector<char> bytes, int n) {
  std::mt19937 random(static_cast<uint32_t>(n * 7919 + 17));
  std::uniform_int_distribution<size_t> at(0, bytes.size() - 1);
  switch (n % 3) {
    case 0:
      for (int i = 0; i < 1 + n; ++i) bytes[at(random)] ^= static_cast<char>(1 + random() % 255);
      break;
    case 1:
      bytes.resize(at(random));
      break;
    default: {
      const size_t start = at(random);
      const size_t length = std::min<size_t>(bytes.size() - start, 64 + random() % 4096);
      std::fill_n(bytes.begin() + static_cast<long>(start), length, '\0');
      break;
    }
  }
  return bytes;
}

class DamagedSoak : public ::testing::TestWithParam<TSoakClip> {};

TEST_P(DamagedSoak, EveryVariant_endsWithoutCrashOrHang) {
  const std::string source = std::string(KAVELLO_PROGRAM_DIR) + "/tests/media/clips/" + GetParam().file;
  const std::vector<char> clean = ReadAll(source);
  ASSERT_FALSE(clean.empty()) << source;
  const std::string file = ::testing::TempDir() + "kavello_soak_" + GetParam().file;
  for (int n = 0; n < kVariants; ++n) {
    SCOPED_TRACE(n);
    {
      const auto damaged = Damage(clean, n);
      std::ofstream(file, std::ios::binary | std::ios::trunc).write(damaged.data(), static_cast<long>(damaged.size()));
    }
    TClipGraph graph;
    if (FAILED(graph.Build(file, GetParam().demux))) continue;
    int32_t code = 0;
    ASSERT_EQ(graph.RunToEnd(60000, &code), S_OK) << "no end within the time-out";
    // A seek into damage must end as well.
    ASSERT_EQ(graph.SeekAndRunToEnd(graph.Duration() / 3, true, 60000, &code), S_OK);
  }
  std::remove(file.c_str());
}

INSTANTIATE_TEST_SUITE_P(Clips, DamagedSoak, ::testing::ValuesIn(kSoakClips), [](const auto& info) {
  std::string name = info.param.file;
  for (char& c : name)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return name;
});

}  // namespace
}  // namespace kv::testing
