// The demultiplexer's queues over a loosely interleaved file: every picture of the first
// seconds comes before the first sound. A paused graph must still preroll both renderers
// (the picture queue grows while the sound queue is dry) and play every packet; the
// steady picture queue stays shallow.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" {
#include <libavformat/avformat.h>
}

#include "clip_graph.h"
#include "filters/demux/container_families.h"

namespace kv::testing {
namespace {

constexpr int32_t kTimeoutMs = 20000;

// Rewrites `in` (one video and one audio stream) to `out` with every video packet before
// `leadSeconds` written ahead of all audio packets; the rest keeps its order.
bool WriteLooselyInterleaved(const std::string& in, const std::string& out, double leadSeconds) {
  AVFormatContext* input = nullptr;
  if (avformat_open_input(&input, in.c_str(), nullptr, nullptr) < 0) return false;
  bool ok = avformat_find_stream_info(input, nullptr) >= 0;
  std::vector<AVPacket*> early, late, rest;
  AVFormatContext* output = nullptr;
  ok = ok && avformat_alloc_output_context2(&output, nullptr, "mpegts", out.c_str()) >= 0;
  for (unsigned i = 0; ok && i < input->nb_streams; ++i) {
    AVStream* s = avformat_new_stream(output, nullptr);
    ok = s && avcodec_parameters_copy(s->codecpar, input->streams[i]->codecpar) >= 0;
    if (ok) s->time_base = input->streams[i]->time_base;
  }
  for (AVPacket* p = av_packet_alloc(); ok && p && av_read_frame(input, p) >= 0; p = av_packet_alloc()) {
    const AVStream* s = input->streams[p->stream_index];
    const bool video = s->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    const double t = p->dts == AV_NOPTS_VALUE ? 0 : p->dts * av_q2d(s->time_base);
    (t < leadSeconds ? (video ? early : late) : rest).push_back(p);
  }
  ok = ok && avio_open(&output->pb, out.c_str(), AVIO_FLAG_WRITE) >= 0 && avformat_write_header(output, nullptr) >= 0;
  for (auto* list : {&early, &late, &rest})
    for (AVPacket* p : *list) {
      if (ok) {
        av_packet_rescale_ts(p, input->streams[p->stream_index]->time_base, output->streams[p->stream_index]->time_base);
        ok = av_write_frame(output, p) >= 0;
      }
      av_packet_free(&p);
    }
  ok = ok && av_write_trailer(output) >= 0;
  if (output) avio_closep(&output->pb);
  avformat_free_context(output);
  avformat_close_input(&input);
  return ok;
}

TEST(DemuxQueues, AFileWithSecondsOfPicturesBeforeTheFirstSound_prerollsAndPlaysEveryPacket) {
  const std::string dir = ::testing::TempDir();
  const std::string plain = dir + "/kv_interleave_plain.ts", loose = dir + "/kv_interleave_loose.ts";
  // Five seconds of 25 fps MPEG-2 and MP2: three seconds of pictures (75 packets) lead,
  // more than a steady picture queue holds, fewer than it may grow to.
  const std::string make = "ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25 -f lavfi "
                           "-i sine=frequency=440:sample_rate=48000 -t 5 -c:v mpeg2video -g 12 -c:a mp2 " + plain;
  ASSERT_EQ(std::system(make.c_str()), 0) << make;
  ASSERT_TRUE(WriteLooselyInterleaved(plain, loose, 3.0));
  TClipGraph graph;
  ASSERT_EQ(graph.Build(loose, demux::CLSID_KavelloMpegTsSplitter), S_OK);
  ASSERT_TRUE(graph.HasVideo() && graph.HasAudio());
  EXPECT_EQ(graph.PauseAndWait(kTimeoutMs), S_OK) << "the renderers did not both preroll: " << graph.DrainEvents();
  int32_t code = 0;
  ASSERT_EQ(graph.RunToEnd(kTimeoutMs, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  EXPECT_EQ(graph.Video()->Samples().size(), 125u);
  int64_t bytes = 0;
  for (const auto& s : graph.Audio()->Samples()) bytes += s.bytes;
  EXPECT_GE(bytes / std::max(1, graph.Audio()->BlockAlign()), 5 * 48000 - 1152);
  graph.Stop();
  std::remove(plain.c_str());
  std::remove(loose.c_str());
}

}  // namespace
}  // namespace kv::testing
