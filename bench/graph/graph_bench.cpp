// Graph runtime costs: samples through source -> in-place transform -> renderer without a
// clock, and the latency of Run (to the first rendered sample), Pause, Stop and a seek on
// an idle synthetic graph.
#include <benchmark/benchmark.h>

#include <time.h>

#include <chrono>

#include "platform/graph/filter_graph.h"
#include "platform/graph/media_guids.h"
#include "synthetic_filters.h"

namespace kv::testing {
namespace {

constexpr REFERENCE_TIME kFrame = 400000;

ComPtr<IPin> PinOf(IBaseFilter* f, PIN_DIRECTION dir) {
  ComPtr<IEnumPins> pins;
  f->EnumPins(pins.Put());
  ComPtr<IPin> pin;
  while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
    PIN_DIRECTION d;
    pin->QueryDirection(&d);
    if (d == dir) return pin;
  }
  return nullptr;
}

// source -> in-place transform -> counting renderer. Unclocked for throughput; on the
// system clock for the latencies, so that the graph is idle once the first sample is shown.
struct Chain {
  explicit Chain(int64_t frames, bool clocked = false) {
    CoInitialize();
    graph = CreateFilterGraph();
    gen = new TGeneratorSource({TestVideoType(MEDIASUBTYPE_YUY2)}, frames * kFrame, kFrame);
    transform = new TTestTransform(TTransformMode::InPlace);
    renderer = new TCountingRenderer();
    graph->AddFilter(gen.Get(), "Source");
    graph->AddFilter(transform.Get(), "Transform");
    graph->AddFilter(renderer.Get(), "Renderer");
    graph->ConnectDirect(PinOf(gen.Get(), PINDIR_OUTPUT).Get(), PinOf(transform.Get(), PINDIR_INPUT).Get(), nullptr);
    graph->ConnectDirect(PinOf(transform.Get(), PINDIR_OUTPUT).Get(), PinOf(renderer.Get(), PINDIR_INPUT).Get(),
                         nullptr);
    control = graph.Query<IMediaControl>();
    seeking = graph.Query<IMediaSeeking>();
    events = graph.Query<IMediaEventEx>();
    if (!clocked) graph.Query<IMediaFilter>()->SetSyncSource(nullptr);
  }
  ~Chain() { control->Stop(); }
  void Rewind() {
    int64_t zero = 0;
    seeking->SetPositions(&zero, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
  }
  void WaitPaused() {
    OAFilterState st;
    control->GetState(-1, &st);
  }
  ComPtr<IGraphBuilder> graph;
  ComPtr<TGeneratorSource> gen;
  ComPtr<TTestTransform> transform;
  ComPtr<TCountingRenderer> renderer;
  ComPtr<IMediaControl> control;
  ComPtr<IMediaSeeking> seeking;
  ComPtr<IMediaEventEx> events;
};

// Whole-stream throughput; the counting renderer keeps a record per sample, which is
// part of the measured cost (a vector push under a mutex).
// Processor time of the whole process (every thread), in seconds: on a loaded machine
// this, not the wall time, is the runtime's own cost.
double ProcessCpuSeconds() {
  timespec ts;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec + ts.tv_nsec * 1e-9;
}

void BM_SamplesThroughInPlaceTransform(benchmark::State& state) {
  const int64_t frames = state.range(0);
  Chain c(frames);
  double cpu = 0, wall = 0;
  for (auto _ : state) {
    state.PauseTiming();
    c.control->Stop();
    c.Rewind();
    state.ResumeTiming();
    double cpu0 = ProcessCpuSeconds();
    auto wall0 = std::chrono::steady_clock::now();
    c.control->Run();
    int32_t code;
    c.events->WaitForCompletion(-1, &code);
    cpu += ProcessCpuSeconds() - cpu0;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
  }
  double samples = static_cast<double>(state.iterations() * frames);
  state.SetItemsProcessed(state.iterations() * frames);
  state.counters["wall_us_per_sample"] = wall * 1e6 / samples;
  state.counters["cpu_us_per_sample"] = cpu * 1e6 / samples;
}
BENCHMARK(BM_SamplesThroughInPlaceTransform)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

using Clock = std::chrono::steady_clock;
void Record(benchmark::State& state, Clock::time_point t0) {
  state.SetIterationTime(std::chrono::duration<double>(Clock::now() - t0).count());
}
// Reports the processor time per iteration next to the wall time.
struct CpuMeter {
  explicit CpuMeter(benchmark::State& s) : state(s), start(ProcessCpuSeconds()) {}
  ~CpuMeter() {
    if (state.iterations() > 0)
      state.counters["cpu_us"] = (ProcessCpuSeconds() - start) * 1e6 / static_cast<double>(state.iterations());
  }
  benchmark::State& state;
  double start;
};

void BM_RunToFirstSample(benchmark::State& state) {
  Chain c(1000000, true);
  CpuMeter meter(state);
  for (auto _ : state) {
    c.control->Stop();
    c.Rewind();
    int64_t before = c.renderer->Count();
    auto t0 = Clock::now();
    c.control->Run();
    c.renderer->WaitForCount(before + 1);
    Record(state, t0);
  }
}
BENCHMARK(BM_RunToFirstSample)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_PauseRunningGraph(benchmark::State& state) {
  Chain c(1000000, true);
  CpuMeter meter(state);
  for (auto _ : state) {
    c.control->Run();
    auto t0 = Clock::now();
    c.control->Pause();
    c.WaitPaused();
    Record(state, t0);
  }
}
BENCHMARK(BM_PauseRunningGraph)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_StopRunningGraph(benchmark::State& state) {
  Chain c(1000000, true);
  CpuMeter meter(state);
  for (auto _ : state) {
    c.control->Run();
    c.renderer->WaitForCount(c.renderer->Count() + 1);
    auto t0 = Clock::now();
    c.control->Stop();
    Record(state, t0);
  }
}
BENCHMARK(BM_StopRunningGraph)->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_SeekPausedGraph(benchmark::State& state) {
  Chain c(1000000, true);
  CpuMeter meter(state);
  c.control->Pause();
  c.WaitPaused();
  int64_t target = 0;
  for (auto _ : state) {
    target = (target + 37 * kFrame) % (900000 * kFrame);
    int64_t t = target;
    auto t0 = Clock::now();
    c.seeking->SetPositions(&t, AM_SEEKING_AbsolutePositioning, nullptr, AM_SEEKING_NoPositioning);
    c.WaitPaused();  // the new position is prerolled
    Record(state, t0);
  }
}
BENCHMARK(BM_SeekPausedGraph)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kv::testing

BENCHMARK_MAIN();
