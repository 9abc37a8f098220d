// TFormatReader over a byte source in memory: reading, seeking, and sources that fail.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "filters/ffmpeg/format_reader.h"

namespace kv::ffmpeg {
namespace {

// The clip's bytes, served by offset; reads past `failAt` fail like a broken disk.
class TMemorySource final : public IByteSource {
 public:
  explicit TMemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  int64_t ReadAt(int64_t offset, uint8_t* dst, int32_t size) override {
    if (offset + size > failAt_) return -1;
    if (offset >= static_cast<int64_t>(bytes_.size())) return 0;
    const int64_t n = std::min<int64_t>(size, static_cast<int64_t>(bytes_.size()) - offset);
    std::memcpy(dst, bytes_.data() + offset, static_cast<size_t>(n));
    return n;
  }
  int64_t Size() override { return static_cast<int64_t>(bytes_.size()); }
  int64_t failAt_ = INT64_MAX;

 private:
  std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> Clip(const char* file) {
  std::ifstream in(std::string(KAVELLO_PROGRAM_DIR) + "/tests/media/clips/" + file, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

int CountPackets(TFormatReader& reader, int* lastError) {
  auto packet = MakePacket();
  int n = 0;
  while ((*lastError = reader.ReadPacket(packet.get())) >= 0) ++n;
  return n;
}

TEST(FormatReader, ReadsEveryPacket_andSeeksBackToAKeyFrame) {
  TMemorySource source(Clip("mkv_h264_aac.mkv"));
  TFormatReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(source, "matroska", &error)) << error;
  EXPECT_EQ(reader.StreamCount(), 2);
  EXPECT_NEAR(reader.Duration(), 20000000, 500000);
  int err = 0;
  const int all = CountPackets(reader, &err);
  EXPECT_EQ(err, AVERROR_EOF);
  EXPECT_GT(all, 50);
  ASSERT_TRUE(reader.SeekTo(10000000, 0));
  auto packet = MakePacket();
  int64_t firstVideo = AV_NOPTS_VALUE;
  while (reader.ReadPacket(packet.get()) >= 0)
    if (packet->stream_index == 0) {
      EXPECT_TRUE(packet->flags & AV_PKT_FLAG_KEY) << "a seek lands on a key frame";
      firstVideo = reader.ToGraphTime(0, packet->pts);
      break;
    }
  EXPECT_LE(firstVideo, 10000000);
  EXPECT_GE(firstVideo, 10000000 - 12 * 400000);
  ASSERT_TRUE(reader.Reopen(&error)) << error;
  EXPECT_EQ(CountPackets(reader, &err), all) << "a reopened reader starts again from the first packet";
}

TEST(FormatReader, WrongFormatsAndFailingSources_areReportedNotFatal) {
  std::string error;
  {
    TMemorySource source(Clip("mkv_h264_aac.mkv"));
    TFormatReader reader;
    EXPECT_FALSE(reader.Open(source, "avi", &error)) << "a Matroska file is no AVI";
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_FALSE(reader.Open(source, "no-such-format", &error));
  }
  {
    TMemorySource source(Clip("mkv_h264_aac.mkv"));
    TFormatReader reader;
    ASSERT_TRUE(reader.Open(source, "matroska", &error)) << error;
    source.failAt_ = 90000;  // the disk fails two thirds of the way in
    int err = 0;
    CountPackets(reader, &err);
    EXPECT_EQ(err, AVERROR(EIO));
  }
  {
    TMemorySource source(Clip("mkv_h264_aac.mkv"));
    TFormatReader reader;
    ASSERT_TRUE(reader.Open(source, "matroska", &error));
    reader.Abort(true);
    auto packet = MakePacket();
    for (int i = 0; i < 1000 && reader.ReadPacket(packet.get()) >= 0; ++i) {
    }
    EXPECT_LT(reader.ReadPacket(packet.get()), 0) << "an aborted reader stops reading";
  }
  {
    TMemorySource empty({});
    TFormatReader reader;
    EXPECT_FALSE(reader.Open(empty, "", &error)) << "nothing to probe";
  }
}

}  // namespace
}  // namespace kv::ffmpeg
