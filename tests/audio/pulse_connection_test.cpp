// The PulseAudio layer against a private server with two null sinks.
#include <time.h>

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <regex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "platform/audio/pulse_connection.h"
#include "platform/audio/pulse_stream.h"
#include "pulse_test_server.h"

namespace kv::audio {
namespace {

using kv::test::TPulseTestServer;

[[maybe_unused]] auto* const PulseEnvironment =
    ::testing::AddGlobalTestEnvironment(new kv::test::TPulseEnvironment);

double MonotonicSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Reads "Mute:" and the first channel's raw volume of a sink input from `pactl list`.
struct TPactlSinkInput {
  bool Found = false;
  bool Mute = false;
  long Volume = -1;
};

TPactlSinkInput PactlSinkInput(uint32_t index) {
  std::string text = TPulseTestServer::Instance().Pactl("list sink-inputs");
  TPactlSinkInput result;
  std::string header = "Sink Input #" + std::to_string(index) + "\n";
  size_t start = text.find(header);
  if (start == std::string::npos) return result;
  size_t end = text.find("Sink Input #", start + header.size());
  std::string block = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
  result.Found = true;
  result.Mute = block.find("Mute: yes") != std::string::npos;
  std::smatch match;
  if (std::regex_search(block, match, std::regex(R"(Volume: [a-z-]+: (\d+) )"))) result.Volume = std::stol(match[1]);
  return result;
}

TEST(PulseConnection, Open_fails_withNoServer) {
  const char* saved = std::getenv("PULSE_SERVER");
  std::string restore = saved ? saved : "";
  setenv("PULSE_SERVER", "unix:/nonexistent/kavello/pulse/native", 1);
  auto connection = TPulseConnection::Open();
  if (saved) setenv("PULSE_SERVER", restore.c_str(), 1);
  else unsetenv("PULSE_SERVER");
  EXPECT_EQ(connection, nullptr);
}

TEST(PulseConnection, Sinks_listedInServerOrder_defaultMarkedAndFirstOnRequest) {
  KV_REQUIRE_PULSE();
  auto connection = TPulseConnection::Open();
  ASSERT_NE(connection, nullptr);
  std::vector<TSinkInfo> sinks = connection->Sinks();
  ASSERT_EQ(sinks.size(), 2u);
  EXPECT_EQ(sinks[0].Name, "kv_null_a");
  EXPECT_EQ(sinks[0].Description, "KavelloNullA");
  EXPECT_FALSE(sinks[0].IsDefault);
  EXPECT_EQ(sinks[1].Name, "kv_null_b");
  EXPECT_TRUE(sinks[1].IsDefault);
  std::vector<TSinkInfo> ordered = connection->SinksDefaultFirst();
  ASSERT_EQ(ordered.size(), 2u);
  EXPECT_EQ(ordered[0].Name, "kv_null_b");
  EXPECT_EQ(ordered[1].Name, "kv_null_a");
}

TEST(PulseConnection, SinkVolumeAndMute_roundTripThroughServer) {
  KV_REQUIRE_PULSE();
  auto connection = TPulseConnection::Open();
  ASSERT_NE(connection, nullptr);
  TSinkInfo sink = connection->SinksDefaultFirst().at(0);
  ASSERT_TRUE(connection->SetSinkVolume(sink.Index, {KVolumeNorm / 2, KVolumeNorm / 4}));
  ASSERT_TRUE(connection->SetSinkMute(sink.Index, true));
  std::optional<TSinkInfo> after = connection->SinkByIndex(sink.Index);
  ASSERT_TRUE(after.has_value());
  EXPECT_EQ(after->Volume, (std::vector<TChannelVolume>{KVolumeNorm / 2, KVolumeNorm / 4}));
  EXPECT_TRUE(after->Mute);
  EXPECT_FALSE(connection->SetSinkMute(9999, true));
}

TEST(PulseConnection, Subscription_reportsSinkChange_madeWithPactl) {
  KV_REQUIRE_PULSE();
  auto connection = TPulseConnection::Open();
  ASSERT_NE(connection, nullptr);
  std::mutex mutex;  // guards events
  std::condition_variable changed;
  std::vector<TPulseEvent> events;
  int id = connection->Subscribe([&](const TPulseEvent& event) {
    // Queries are allowed on the event thread.
    EXPECT_FALSE(connection->Sinks().empty());
    std::lock_guard<std::mutex> lock(mutex);
    events.push_back(event);
    changed.notify_all();
  });
  bool ok = false;
  TPulseTestServer::Instance().Pactl("set-sink-volume kv_null_a 30%", &ok);
  ASSERT_TRUE(ok);
  std::unique_lock<std::mutex> lock(mutex);
  bool seen = changed.wait_for(lock, std::chrono::seconds(10), [&] {
    for (const TPulseEvent& e : events)
      if (e.Facility == TPulseFacility::Sink && e.Change == TPulseChange::Changed) return true;
    return false;
  });
  lock.unlock();
  connection->Unsubscribe(id);
  EXPECT_TRUE(seen);
}

TEST(PulseStream, Open_refusesInvalidFormat) {
  KV_REQUIRE_PULSE();
  auto connection = TPulseConnection::Open();
  ASSERT_NE(connection, nullptr);
  EXPECT_EQ(TPulseStream::Open(connection, TPcmFormat{TSampleFormat::S16, 0, 2}, {}), nullptr);
  EXPECT_EQ(TPulseStream::Open(connection, TPcmFormat{TSampleFormat::S16, 48000, 0}, {}), nullptr);
  TPulseStream::TOptions missingSink;
  missingSink.SinkName = "no_such_sink";
  EXPECT_EQ(TPulseStream::Open(connection, TPcmFormat{}, missingSink), nullptr);
}

TEST(PulseStream, PlayedTime_advancesAtRealTime_withinHalfPercent) {
  KV_REQUIRE_PULSE();
  auto connection = TPulseConnection::Open();
  ASSERT_NE(connection, nullptr);
  TPcmFormat format{TSampleFormat::S16, 48000, 2};
  auto stream = TPulseStream::Open(connection, format, {});
  ASSERT_NE(stream, nullptr);
  std::atomic<bool> stop{false};
  std::thread writer([&] {
    std::vector<int16_t> block(480 * 2);  // 10 ms
    for (size_t i = 0; i < block.size(); i += 2)
      block[i] = block[i + 1] = static_cast<int16_t>(8000 * std::sin(i * 3.14159 / 48));
    while (!stop && stream->Write(block.data(), block.size() * 2) == TWriteResult::Ok) {
    }
  });
  // The null sink starts on a stream at its next block (it renders two seconds at a
  // time): once that has surely happened, compare the stream's clock with
  // CLOCK_MONOTONIC over 3 s.
  auto sample = [&] {
    std::optional<std::chrono::microseconds> played;
    double wall = 0;
    for (int i = 0; i < 1000 && !played; ++i) {
      wall = MonotonicSeconds();
      played = stream->PlayedTime();
    }
    return std::make_pair(played.value_or(std::chrono::microseconds(-1)).count() / 1e6, wall);
  };
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  auto [played0, wall0] = sample();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  auto [played1, wall1] = sample();
  stop = true;
  stream->Abort();
  writer.join();
  ASSERT_GE(played0, 0.0);
  double ratio = (played1 - played0) / (wall1 - wall0);
  EXPECT_NEAR(ratio, 1.0, 0.005) << "played " << (played1 - played0) << " s in " << (wall1 - wall0) << " s";
}

TEST(PulseStream, VolumeAndMute_reachSinkInput_seenByPactl) {
  KV_REQUIRE_PULSE();
  auto connection = TPulseConnection::Open();
  ASSERT_NE(connection, nullptr);
  auto stream = TPulseStream::Open(connection, TPcmFormat{}, {});
  ASSERT_NE(stream, nullptr);
  uint32_t index = stream->SinkInputIndex();
  ASSERT_NE(index, KInvalidIndex);
  ASSERT_TRUE(stream->SetVolume(KVolumeNorm / 2));
  ASSERT_TRUE(stream->SetMute(true));
  TPactlSinkInput seen = PactlSinkInput(index);
  ASSERT_TRUE(seen.Found);
  EXPECT_TRUE(seen.Mute);
  EXPECT_EQ(seen.Volume, static_cast<long>(KVolumeNorm / 2));
  ASSERT_TRUE(stream->SetMute(false));
  EXPECT_FALSE(PactlSinkInput(index).Mute);
}

TEST(PulseStream, Abort_unblocksWrite_onCorkedFullStream) {
  KV_REQUIRE_PULSE();
  auto connection = TPulseConnection::Open();
  ASSERT_NE(connection, nullptr);
  TPulseStream::TOptions options;
  options.StartCorked = true;
  auto stream = TPulseStream::Open(connection, TPcmFormat{}, options);
  ASSERT_NE(stream, nullptr);
  std::vector<uint8_t> second(48000 * 4);  // 1 s: more than the server buffers while corked
  std::atomic<int> result{-1};
  std::thread writer([&] { result = static_cast<int>(stream->Write(second.data(), second.size())); });
  stream->Abort();
  writer.join();
  EXPECT_EQ(result, static_cast<int>(TWriteResult::Aborted));
  EXPECT_EQ(stream->Write(second.data(), 4), TWriteResult::Aborted);
  stream->ClearAbort();
  EXPECT_EQ(stream->Write(second.data(), 4), TWriteResult::Ok);
}

TEST(PulseStream, Drain_returnsAfterLastSampleHeard) {
  KV_REQUIRE_PULSE();
  auto connection = TPulseConnection::Open();
  ASSERT_NE(connection, nullptr);
  TPcmFormat format{TSampleFormat::F32, 44100, 1};
  auto stream = TPulseStream::Open(connection, format, {});
  ASSERT_NE(stream, nullptr);
  std::vector<float> quarter(44100 / 4, 0.25f);
  ASSERT_EQ(stream->Write(quarter.data(), quarter.size() * sizeof(float)), TWriteResult::Ok);
  EXPECT_EQ(stream->WrittenTime(), std::chrono::microseconds(250000));
  ASSERT_EQ(stream->Drain(), TWriteResult::Ok);
  std::optional<std::chrono::microseconds> played = stream->PlayedTime();
  ASSERT_TRUE(played.has_value());
  EXPECT_GE(played->count(), 240000);
}

TEST(PulseStream, PlayedTime_runsOnSmoothlyWhileTheStreamDrains) {
  // At the end of a film the stream empties into the sink and the server reports it as no
  // longer playing, while the sink still plays what it holds (the null sink, two seconds).
  // The heard time must run on through that, not leap to the end of what was written:
  // a clock following it would make the last pictures late all at once.
  KV_REQUIRE_PULSE();
  auto connection = TPulseConnection::Open();
  ASSERT_NE(connection, nullptr);
  TPcmFormat format{TSampleFormat::S16, 48000, 2};
  auto stream = TPulseStream::Open(connection, format, {});
  ASSERT_NE(stream, nullptr);
  std::vector<int16_t> second(48000 * 2, 1000);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(stream->Write(second.data(), second.size() * 2), TWriteResult::Ok);
  std::atomic<bool> drained{false};
  std::thread drain([&] {
    EXPECT_EQ(stream->Drain(), TWriteResult::Ok);
    drained = true;
  });
  int64_t previous = -1, largestStep = 0;
  double previousWall = 0;
  while (!drained) {
    std::optional<std::chrono::microseconds> played = stream->PlayedTime();
    const double wall = MonotonicSeconds();
    if (played && played->count() > 0) {
      if (previous >= 0) {
        // Beyond the real time that passed between the two readings.
        const int64_t step = played->count() - previous - static_cast<int64_t>((wall - previousWall) * 1e6);
        largestStep = std::max(largestStep, step);
      }
      previous = played->count();
      previousWall = wall;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  drain.join();
  EXPECT_LT(largestStep, 50000) << "the played time leapt " << largestStep / 1000 << " ms ahead";
}

TEST(PcmFormat, ByteAndTimeConversions_useWholeFrames) {
  struct TRow {
    TPcmFormat Format;
    uint64_t Bytes;
    uint64_t Microseconds;
  };
  const TRow rows[] = {
      {{TSampleFormat::S16, 48000, 2}, 192000, 1000000},
      {{TSampleFormat::F32, 44100, 1}, 4 * 441, 10000},
      {{TSampleFormat::U8, 8000, 1}, 8, 1000},
      {{TSampleFormat::S32, 96000, 6}, 24 * 96, 1000},
  };
  for (const TRow& row : rows) {
    EXPECT_EQ(row.Format.BytesToMicroseconds(row.Bytes), row.Microseconds);
    EXPECT_EQ(row.Format.MicrosecondsToBytes(row.Microseconds), row.Bytes);
  }
  TPcmFormat stereo16{TSampleFormat::S16, 48000, 2};
  EXPECT_EQ(stereo16.MicrosecondsToBytes(10), 0u);  // less than one frame
  EXPECT_EQ(stereo16.BytesToMicroseconds(3), 0u);    // partial frame ignored
  EXPECT_FALSE((TPcmFormat{TSampleFormat::S16, 0, 2}.IsValid()));
}

}  // namespace
}  // namespace kv::audio
