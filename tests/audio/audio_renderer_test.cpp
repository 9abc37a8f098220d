// The PulseAudio audio renderer, its clock and its device category, in real graphs
// against the private null-sink server.
#include <time.h>

#include <pulse/volume.h>

#include <cmath>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "filters/audio/audio_clock.h"
#include "filters/audio/audio_devices.h"
#include "filters/audio/audio_format.h"
#include "filters/audio/audio_renderer.h"
#include "filters/audio/write_position.h"
#include "platform/com/device_enum.h"
#include "platform/graph/filter_graph.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"
#include "pulse_test_server.h"
#include "synthetic_filters.h"
#include "test_source.h"

namespace kv::audio {
namespace {

using kv::test::TPulseTestServer;

[[maybe_unused]] auto* const PulseEnvironment =
    ::testing::AddGlobalTestEnvironment(new kv::test::TPulseEnvironment);

constexpr REFERENCE_TIME Ms = 10000;

double MonotonicSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// ---------------------------------------------------------------- clock arithmetic

struct TFakeTimes {
  REFERENCE_TIME System = 0;
  std::optional<REFERENCE_TIME> Played;
};

TEST(AudioClockSource, FreeRunsOnSystemTime_followsTheSound_andNeverGoesBack) {
  auto units = [](double ms) { return static_cast<REFERENCE_TIME>(ms * Ms); };
  auto times = std::make_shared<TFakeTimes>();
  times->System = 1000 * Ms;
  TAudioClockSource source([times] { return times->System; });
  EXPECT_EQ(source.Now(), 1000 * Ms);
  times->System = 1500 * Ms;
  EXPECT_EQ(source.Now(), 1500 * Ms);  // free-running: system time

  // Run at clock time 1500 ms; media time 0 was the first sample written.
  source.SetStreamStart(1500 * Ms);
  source.SetMapping(0, 0);
  source.Follow([times] { return times->Played; });
  times->Played = 0;
  EXPECT_EQ(source.Now(), 1500 * Ms);
  EXPECT_TRUE(source.Following());
  // The first second after the first reading settles (see the settling test); the steps
  // below are steady playback, after it: every time in them is 1100 ms later.
  constexpr double kSettled = 1100;
  times->System = units(1500 + kSettled);
  times->Played = units(kSettled);
  EXPECT_EQ(source.Now(), units(1500 + kSettled));

  struct TStep {
    const char* What;
    double System, Played, Expected;  // ms
  } steps[] = {
      // The sound is 10 ms ahead of the free-running time: the clock steers towards it,
      // its rate changed by no more than 0.5 % (0.5 ms in the 100 ms that passed).
      {"small lead is steered", 1600, 110, 1600.5},
      {"steering goes on", 1700, 210, 1701},
      // A lead past 20 ms is caught up at 5 % (no jump that drops frames)...
      {"lead of 199 ms is slewed", 1800, 500, 1806},
      // ...one past half a second is taken at once.
      {"lead of 594 ms snaps", 1900, 1000, 2500},
      // Far behind the clock, the clock takes the sound's time: it holds instead of going back.
      {"lag holds", 2000, 700, 2500},
      {"still holding", 2100, 800, 2500},
      // After a hold the clock settles afresh: a small lag is taken up over 200 ms at up to
      // 5 %, the clock slowing down (not stopping) and then speeding up again.
      {"a small lag after a hold slows the clock", 2200, 1095, 2597.5},
      {"and is settled quickly", 2300, 1199.5, 2698.5},
  };
  for (const TStep& step : steps) {
    times->System = units(step.System + kSettled);
    times->Played = units(step.Played + kSettled);
    EXPECT_EQ(source.Now(), units(step.Expected + kSettled)) << step.What;
  }
  times->Played.reset();  // the stream cannot tell: free-run from the last time
  times->System = units(2400 + kSettled);
  EXPECT_EQ(source.Now(), units(2798.5 + kSettled));

  source.StopFollowing();  // paused: system time from where it was
  times->System = units(3400 + kSettled);
  EXPECT_EQ(source.Now(), units(3798.5 + kSettled));
  EXPECT_FALSE(source.Following());
}

// A played time that wanders around the heard sound by a few milliseconds (timing reports
// that come late, a sound server's interpolation that drifts and corrects itself in steps)
// moves the clock smoothly: never a step, its rate within 0.5 % of real time, and it stays
// close to the sound.
TEST(AudioClockSource, WanderingPlayedTime_movesTheClockSmoothly) {
  auto times = std::make_shared<TFakeTimes>();
  TAudioClockSource source([times] { return times->System; });
  source.SetStreamStart(0);
  source.SetMapping(0, 0);
  source.Follow([times] { return times->Played; });
  times->Played = 0;
  source.Now();
  REFERENCE_TIME last = source.Now();
  REFERENCE_TIME worst = 0;
  for (int tick = 1; tick <= 2000; ++tick) {  // 20 s in steps of 10 ms
    times->System = tick * 10 * Ms;
    // Drifts 4.5 ms/s behind, put right every 1.5 s; plus +-1 ms of report jitter.
    const REFERENCE_TIME wander = -(tick % 150) * 10 * Ms * 45 / 10000 + ((tick * 7919) % 3 - 1) * Ms;
    times->Played = times->System + wander;
    const REFERENCE_TIME now = source.Now();
    const REFERENCE_TIME step = now - last;
    if (tick > 100) {  // after the first second's settling
      EXPECT_GE(step, 10 * Ms - 10 * Ms * 5 / 1000) << "tick " << tick;
      EXPECT_LE(step, 10 * Ms + 10 * Ms * 5 / 1000) << "tick " << tick;
    }
    if (tick > 300) worst = std::max<REFERENCE_TIME>(worst, std::llabs(now - times->System));
    last = now;
  }
  EXPECT_LE(worst, 8 * Ms);  // within the wander's own range, never beyond it
}

// A start (or seek) whose sound begins a few milliseconds off the clock, either way, is
// in step within the first second, by a clock at most 5 % slower or faster than real time:
// never a step and never back.
TEST(AudioClockSource, AStartOffTheSound_settlesWithinASecond) {
  for (const REFERENCE_TIME startError : {-12 * Ms, +9 * Ms}) {
    SCOPED_TRACE(startError / Ms);
    auto times = std::make_shared<TFakeTimes>();
    TAudioClockSource source([times] { return times->System; });
    source.SetStreamStart(0);
    source.SetMapping(0, 0);
    source.Follow([times] { return times->Played; });
    times->Played = startError;  // heard = played: the sound this far off the clock
    REFERENCE_TIME last = source.Now();
    for (int tick = 1; tick <= 100; ++tick) {  // one second in steps of 10 ms
      times->System = tick * 10 * Ms;
      times->Played = tick * 10 * Ms + startError;
      const REFERENCE_TIME now = source.Now();
      EXPECT_GE(now - last, 10 * Ms * 95 / 100) << "tick " << tick;
      EXPECT_LE(now - last, 10 * Ms * 105 / 100) << "tick " << tick;
      last = now;
    }
    EXPECT_LE(std::llabs(last - *times->Played), Ms / 2) << "still off the sound after a second";
  }
}

TEST(AudioClockSource, MappingPlacesTheSegmentsFirstSample) {
  auto times = std::make_shared<TFakeTimes>();
  TAudioClockSource source([times] { return times->System; });
  source.SetStreamStart(10000 * Ms);
  // Media time 5000 ms was written when the stream had 3000 ms of sound queued.
  source.SetMapping(5000 * Ms, 3000 * Ms);
  source.Follow([times] { return times->Played; });
  times->Played = 3000 * Ms;  // the first sample of the segment is heard now
  EXPECT_EQ(source.Now(), 15000 * Ms);
  source.ResetMapping();  // flushed: nothing to follow until the next sample
  times->Played = 9000 * Ms;
  EXPECT_FALSE(source.Following());
  EXPECT_EQ(source.Now(), 15000 * Ms);
}

TEST(AudioClockSource, AStreamJoiningTheRunningClock_isTakenUpWithoutAStep) {
  auto times = std::make_shared<TFakeTimes>();
  times->System = 1000 * Ms;
  TAudioClockSource source([times] { return times->System; });
  source.SetStreamStart(0);
  source.SetMapping(0, 0);
  times->System = 5000 * Ms;  // no sound for a while: the clock ran on by itself
  ASSERT_EQ(source.Now(), 5000 * Ms);
  // The new stream's first sound is mapped 700 ms ahead of the clock (the latency guess of
  // a sink that turned out to start at once).
  source.SetMapping(5700 * Ms, 0);
  source.Follow([times] { return times->Played; }, /*continueFromHere=*/true);
  times->Played.reset();
  times->System = 5100 * Ms;
  EXPECT_EQ(source.Now(), 5100 * Ms);  // nothing heard yet: free-running
  times->Played = 10 * Ms;
  times->System = 5200 * Ms;
  EXPECT_EQ(source.Now(), 5200 * Ms);  // taken up where the clock is, not 700 ms later
  times->Played = 110 * Ms;
  times->System = 5300 * Ms;
  EXPECT_EQ(source.Now(), 5300 * Ms);  // and followed from there
  times->Played = 150 * Ms;           // the sound lags: the clock holds, never steps back
  times->System = 5400 * Ms;
  EXPECT_EQ(source.Now(), 5340 * Ms);
}

// ---------------------------------------------------------------- write position

TEST(WritePosition, AnHourOfAacFrames_neverDriftsIntoAGap_realGapsAndOverlapsAreFitted) {
  // 1024-frame samples at 48 kHz, stamped as a demuxer does (rounded to 100 ns each).
  TWritePosition position;
  position.Map(0, 48000);
  const auto stamp = [](int64_t n) { return static_cast<REFERENCE_TIME>(std::llround(n * 1024 * 1e7 / 48000)); };
  int64_t n = 0;
  for (; n < 48000LL * 3600 / 1024; ++n) {
    const TWritePosition::TPlan plan = position.Plan(stamp(n), 1024);
    ASSERT_EQ(plan.SilenceFrames + plan.SkipFrames, 0u) << "sample " << n;
    position.Advance(1024);
  }
  EXPECT_NEAR(static_cast<double>(position.Next() - stamp(n)), 0.0, 1.0);
  // A real gap of 100 ms is filled; an overlap of 50 ms is cut, never more than the sample.
  const REFERENCE_TIME next = position.Next();
  EXPECT_EQ(position.Plan(next + 100 * Ms, 1024).SilenceFrames, 4800u);
  EXPECT_EQ(position.Plan(next - 50 * Ms, 4800).SkipFrames, 2400u);
  EXPECT_EQ(position.Plan(next - 50 * Ms, 1024).SkipFrames, 1024u);
  // Rounding (under 20 ms) and broken time stamps (over 5 s ahead) are left alone.
  EXPECT_EQ(position.Plan(next + 15 * Ms, 1024).SilenceFrames, 0u);
  EXPECT_EQ(position.Plan(next + 6000 * Ms, 1024).SilenceFrames, 0u);
  // A stamp from the far ends of the range cuts the whole sample or inserts nothing.
  EXPECT_EQ(position.Plan(INT64_MIN, 1024).SkipFrames, 1024u);
  EXPECT_EQ(position.Plan(-(INT64_C(1) << 50), 1024).SkipFrames, 1024u);
  EXPECT_EQ(position.Plan(INT64_MAX, 1024).SilenceFrames, 0u);
}

// ---------------------------------------------------------------- formats

MediaType Wave(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t align,
               const GUID& subtype = MEDIASUBTYPE_PCM, std::vector<uint8_t> extra = {}) {
  WAVEFORMATEX w;
  w.wFormatTag = tag;
  w.nChannels = channels;
  w.nSamplesPerSec = rate;
  w.wBitsPerSample = bits;
  w.nBlockAlign = align;
  w.nAvgBytesPerSec = rate * align;
  w.extra = std::move(extra);
  return MakeWaveFormatType(subtype, w);
}

TEST(ReadPcmFormat, AcceptsThePlayableLayouts_refusesTheRest) {
  std::vector<uint8_t> extensibleFloat(22, 0);
  extensibleFloat[6] = 3;  // sub-format tag: IEEE float
  struct TRow {
    const char* Name;
    MediaType Type;
    bool Accepted;
    TSampleFormat Sample;
  } rows[] = {
      {"PCM 16 stereo", Wave(1, 2, 48000, 16, 4), true, TSampleFormat::S16},
      {"PCM 8 mono", Wave(1, 1, 8000, 8, 1), true, TSampleFormat::U8},
      {"PCM 32 5.1", Wave(1, 6, 48000, 32, 24), true, TSampleFormat::S32},
      {"float stereo", Wave(3, 2, 44100, 32, 8, MEDIASUBTYPE_IEEE_FLOAT), true, TSampleFormat::F32},
      {"extensible float", Wave(0xFFFE, 2, 44100, 32, 8, MEDIASUBTYPE_IEEE_FLOAT, extensibleFloat), true,
       TSampleFormat::F32},
      {"extensible too short", Wave(0xFFFE, 2, 44100, 32, 8, MEDIASUBTYPE_PCM, {1, 2}), false, {}},
      {"PCM 24", Wave(1, 2, 48000, 24, 6), false, {}},
      {"wrong block align", Wave(1, 2, 48000, 16, 3), false, {}},
      {"no channels", Wave(1, 0, 48000, 16, 0), false, {}},
      {"rate 0", Wave(1, 2, 0, 16, 4), false, {}},
      {"MP3 subtype", Wave(0x55, 2, 44100, 0, 1, MEDIASUBTYPE_MPEG1AudioPayload), false, {}},
  };
  for (const TRow& row : rows) {
    std::optional<TPcmFormat> format = ReadPcmFormat(row.Type);
    ASSERT_EQ(format.has_value(), row.Accepted) << row.Name;
    if (format) {
      EXPECT_EQ(format->Sample, row.Sample) << row.Name;
    }
  }
  MediaType video = Wave(1, 2, 48000, 16, 4);
  video.majortype = MEDIATYPE_Video;
  EXPECT_FALSE(ReadPcmFormat(video));
}

// ---------------------------------------------------------------- category

std::vector<std::string> CategoryNames() {
  std::vector<std::string> names;
  for (const TDeviceEntry& entry : ClassRegistry().CategoryEntries(CLSID_AudioRendererCategory))
    names.push_back(entry.friendlyName);
  return names;
}

TEST(AudioRendererCategory, ListsTheTwoDefaultsThenEverySinkInServerOrder) {
  KV_REQUIRE_PULSE();
  CoInitialize();
  RegisterAudioFilters(ClassRegistry());
  EXPECT_EQ(CategoryNames(), (std::vector<std::string>{"Default DirectSound Device", "Default WaveOut Device",
                                                       "KavelloNullA", "KavelloNullB"}));
  // Through the system device enumerator, as the engine reads it.
  ComPtr<ICreateDevEnum> devices;
  ASSERT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, &devices), S_OK);
  ComPtr<IEnumMoniker> monikers;
  ASSERT_EQ(devices->CreateClassEnumerator(CLSID_AudioRendererCategory, monikers.Put(), 0), S_OK);
  std::vector<std::string> sinks;
  IMoniker* moniker = nullptr;
  ULONG fetched = 0;
  while (monikers->Next(1, &moniker, &fetched) == S_OK) {
    ComPtr<IMoniker> owned;
    owned.Attach(moniker);
    ComPtr<IBaseFilter> filter;
    ASSERT_EQ(owned->BindToObject(nullptr, nullptr, IBaseFilter::kIid, filter.PutVoid()), S_OK);
    auto* renderer = dynamic_cast<TAudioRenderer*>(filter.Get());
    ASSERT_NE(renderer, nullptr);
    sinks.push_back(renderer->SinkName());
  }
  EXPECT_EQ(sinks, (std::vector<std::string>{"", "", "kv_null_a", "kv_null_b"}));
}

TEST(AudioRendererCategory, IsEmptyWithoutAServer) {
  const char* saved = std::getenv("PULSE_SERVER");
  std::string restore = saved ? saved : "";
  setenv("PULSE_SERVER", "unix:/nonexistent/kavello/pulse/native", 1);
  std::vector<TDeviceEntry> entries = AudioRendererDevices();
  if (saved) setenv("PULSE_SERVER", restore.c_str(), 1);
  else unsetenv("PULSE_SERVER");
  EXPECT_TRUE(entries.empty());
}

// ---------------------------------------------------------------- playback in a graph

// A graph of a PCM generator (48 kHz stereo 16-bit, 10 ms samples) into an audio renderer
// on sink kv_null_a, with the renderer's clock.
struct TAudioGraph {
  ComPtr<IGraphBuilder> Graph;
  ComPtr<IMediaControl> Control;
  ComPtr<IMediaEventEx> Events;
  ComPtr<IBaseFilter> Renderer;
  TAudioRenderer* Audio = nullptr;

  explicit TAudioGraph(REFERENCE_TIME duration) {
    CoInitialize();
    Graph = CreateFilterGraph();
    Graph->QueryInterface(IMediaControl::kIid, Control.PutVoid());
    Graph->QueryInterface(IMediaEventEx::kIid, Events.PutVoid());
    ComPtr<IBaseFilter> source(
        new kv::testing::TGeneratorSource({kv::testing::TestAudioType()}, duration, 10 * Ms, 1920));
    Audio = new TAudioRenderer(KClsidDSoundRender, "kv_null_a");
    Renderer = ComPtr<IBaseFilter>(Audio);
    EXPECT_EQ(Graph->AddFilter(source.Get(), "Generator"), S_OK);
    EXPECT_EQ(Graph->AddFilter(Renderer.Get(), "Audio renderer"), S_OK);
    EXPECT_EQ(Graph->ConnectDirect(kv::testing::OutputPin(source.Get(), 0), kv::testing::InputPin(Renderer.Get(), 0),
                                   nullptr),
              S_OK);
    ComPtr<IReferenceClock> clock;
    EXPECT_EQ(Renderer->QueryInterface(IReferenceClock::kIid, clock.PutVoid()), S_OK);
    ComPtr<IMediaFilter> mediaFilter;
    Graph->QueryInterface(IMediaFilter::kIid, mediaFilter.PutVoid());
    EXPECT_EQ(mediaFilter->SetSyncSource(clock.Get()), S_OK);
  }
  ~TAudioGraph() {
    if (Control) Control->Stop();
  }
  REFERENCE_TIME ClockTime() {
    ComPtr<IReferenceClock> clock;
    Renderer->QueryInterface(IReferenceClock::kIid, clock.PutVoid());
    REFERENCE_TIME t = 0;
    clock->GetTime(&t);
    return t;
  }
};

// pactl's view of a sink input: mute flag and first channel's raw volume.
std::pair<bool, long> PactlSinkInput(uint32_t index) {
  std::string text = TPulseTestServer::Instance().Pactl("list sink-inputs");
  size_t start = text.find("Sink Input #" + std::to_string(index) + "\n");
  if (start == std::string::npos) return {false, -1};
  size_t end = text.find("Sink Input #", start + 5);
  std::string block = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
  std::smatch match;
  long volume = -1;
  if (std::regex_search(block, match, std::regex(R"(Volume: [a-z-]+: (\d+) )"))) volume = std::stol(match[1]);
  return {block.find("Mute: yes") != std::string::npos, volume};
}

TEST(AudioRenderer, EndOfStream_completesOnlyAfterTheLastSampleWasHeard) {
  KV_REQUIRE_PULSE();
  TAudioGraph g(1000 * Ms);
  double started = MonotonicSeconds();
  ASSERT_GE(g.Control->Run(), 0);
  int32_t code = 0;
  ASSERT_EQ(g.Events->WaitForCompletion(20000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  // One second of sound cannot have been heard in less than a second.
  EXPECT_GE(MonotonicSeconds() - started, 0.95);
}

TEST(AudioRenderer, Clock_advancesAtRealTimeWithinHalfPercent_whilePlaying) {
  KV_REQUIRE_PULSE();
  TAudioGraph g(9000 * Ms);
  ASSERT_GE(g.Control->Run(), 0);
  // The null sink runs with two seconds of latency: the clock follows the sound only once
  // it is heard. Measure over three seconds after that.
  std::this_thread::sleep_for(std::chrono::milliseconds(2600));
  REFERENCE_TIME c0 = g.ClockTime();
  double w0 = MonotonicSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(3));
  REFERENCE_TIME c1 = g.ClockTime();
  double w1 = MonotonicSeconds();
  EXPECT_TRUE(g.Audio->ClockSource()->Following());
  double ratio = (c1 - c0) / 1e7 / (w1 - w0);
  EXPECT_NEAR(ratio, 1.0, 0.005) << "clock " << (c1 - c0) / 1e7 << " s in " << (w1 - w0) << " s";
}

TEST(AudioRenderer, VolumeAndMute_reachTheSinkInput) {
  KV_REQUIRE_PULSE();
  TAudioGraph g(5000 * Ms);
  ASSERT_GE(g.Control->Pause(), 0);  // preroll opens the stream, corked
  OAFilterState state;
  ASSERT_EQ(g.Control->GetState(5000, &state), S_OK);
  uint32_t input = g.Audio->SinkInputIndex();
  ASSERT_NE(input, KInvalidIndex);
  ComPtr<IBasicAudio> basic;
  ASSERT_EQ(g.Graph->QueryInterface(IBasicAudio::kIid, basic.PutVoid()), S_OK);  // through the graph
  ASSERT_EQ(basic->put_Volume(-2000), S_OK);                                     // -20 dB: a tenth
  EXPECT_EQ(PactlSinkInput(input), std::make_pair(false, static_cast<long>(pa_sw_volume_from_linear(0.1))));
  ASSERT_EQ(basic->put_Volume(-10000), S_OK);  // the engine's mute
  EXPECT_TRUE(PactlSinkInput(input).first);
  int32_t volume = 0;
  ASSERT_EQ(basic->get_Volume(&volume), S_OK);
  EXPECT_EQ(volume, -10000);
  ASSERT_EQ(basic->put_Volume(0), S_OK);
  EXPECT_EQ(PactlSinkInput(input), std::make_pair(false, static_cast<long>(KVolumeNorm)));
  EXPECT_EQ(basic->put_Volume(1), E_INVALIDARG);
  EXPECT_EQ(basic->put_Volume(-10001), E_INVALIDARG);
}

TEST(AudioRenderer, PauseCorksTheStream_andTheClockRunsOnWithoutSound) {
  KV_REQUIRE_PULSE();
  TAudioGraph g(8000 * Ms);
  ASSERT_GE(g.Control->Run(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_GE(g.Control->Pause(), 0);
  uint32_t input = g.Audio->SinkInputIndex();
  std::string list = TPulseTestServer::Instance().Pactl("list sink-inputs");
  EXPECT_NE(list.find("Corked: yes"), std::string::npos) << list;
  EXPECT_FALSE(g.Audio->ClockSource()->Following());
  REFERENCE_TIME before = g.ClockTime();
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_GT(g.ClockTime(), before);  // a paused graph's clock still moves
  ASSERT_GE(g.Control->Run(), 0);
  EXPECT_EQ(g.Audio->SinkInputIndex(), input);  // the same stream goes on
  list = TPulseTestServer::Instance().Pactl("list sink-inputs");
  EXPECT_NE(list.find("Corked: no"), std::string::npos) << list;
}

TEST(AudioRenderer, SeekWhilePlaying_dropsQueuedSoundForANewStream_andStillCompletes) {
  KV_REQUIRE_PULSE();
  TAudioGraph g(4000 * Ms);
  ASSERT_GE(g.Control->Run(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  uint32_t before = g.Audio->SinkInputIndex();
  ASSERT_NE(before, KInvalidIndex);
  ComPtr<IMediaSeeking> seeking;
  ASSERT_EQ(g.Graph->QueryInterface(IMediaSeeking::kIid, seeking.PutVoid()), S_OK);
  int64_t target = 3500 * Ms;
  ASSERT_EQ(seeking->SetPositions(&target, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning), S_OK);
  double sought = MonotonicSeconds();
  int32_t code = 0;
  ASSERT_EQ(g.Events->WaitForCompletion(20000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
  // The flush threw the old stream (and its queued seconds) away; half a second was left.
  uint32_t after = g.Audio->SinkInputIndex();
  EXPECT_NE(after, before);
  EXPECT_GE(MonotonicSeconds() - sought, 0.45);
}

TEST(AudioRenderer, ServerGoneWhilePlaying_thePlaybackGoesOnSilently) {
  KV_REQUIRE_PULSE();
  TAudioGraph g(2000 * Ms);
  ASSERT_GE(g.Control->Run(), 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  TPulseTestServer::Instance().Stop();  // this test's own server: the rest of the process has none
  int32_t code = 0;
  ASSERT_EQ(g.Events->WaitForCompletion(20000, &code), S_OK);
  EXPECT_EQ(code, EC_COMPLETE);
}

TEST(AudioRenderer, WithoutAServer_prerollsAndPlaysInRealTime_silently) {
  const char* saved = std::getenv("PULSE_SERVER");
  std::string restore = saved ? saved : "";
  setenv("PULSE_SERVER", "unix:/nonexistent/kavello/pulse/native", 1);
  {
    TAudioGraph g(1000 * Ms);
    ASSERT_GE(g.Control->Pause(), 0);
    OAFilterState state;
    EXPECT_EQ(g.Control->GetState(5000, &state), S_OK);
    double started = MonotonicSeconds();
    ASSERT_GE(g.Control->Run(), 0);
    int32_t code = 0;
    EXPECT_EQ(g.Events->WaitForCompletion(20000, &code), S_OK);
    // Unheard samples still take their time: a second of sound lasts a second.
    EXPECT_GE(MonotonicSeconds() - started, 0.9);
    EXPECT_EQ(g.Audio->SinkInputIndex(), KInvalidIndex);
  }
  if (saved) setenv("PULSE_SERVER", restore.c_str(), 1);
  else unsetenv("PULSE_SERVER");
}

}  // namespace
}  // namespace kv::audio
