// Plug-in chain benchmark: "Kavello Deinterlace", "Kavello Denoise" and "Kavello Picture"
// between the video decoder and a renderer that only counts, on a 1080p 25 fps H.264 clip,
// against `ffmpeg -vf bwdif=mode=send_frame,hqdn3d,eq -f null -` on the same clip, in one run.
//   1. unclocked: frames per second through our graph and through ffmpeg (best of RUNS),
//      and the ratio (target: 0.9 or more);
//   2. 1x: the same graph on the system clock, dropping late frames as the video renderer
//      does: frames dropped (target: none) and processor seconds per second of playback.
// The filters come from Components/Filters of the program directory (the build tree), as
// the player loads them.
//
// usage: bench_plugins [WORKDIR] [RUNS] [only]
//   only = "graph": our graph unclocked, RUNS times, no peer (for a profiler);
//   only = "1x": the 1x run only, RUNS times.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "filters/builtin/builtin_filters.h"
#include "filters/demux/container_families.h"
#include "filters/effects/effect_settings.h"
#include "filters/source/file_source_filter.h"
#include "filters/video/video_decoder_filter.h"
#include "platform/com/class_registry.h"
#include "platform/com/device_enum.h"
#include "platform/graph/filter_graph.h"
#include "platform/graph/media_guids.h"
#include "platform/graph/renderer_base.h"
#include "platform/module/program_directory.h"

namespace {

using namespace kv;
using Clock = std::chrono::steady_clock;

constexpr CLSID CLSID_CountingSink = GuidLiteral("{4E1A6B7C-2D3F-4A5B-9C8D-7E6F5A4B3C2D}");

double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Takes pictures and drops late ones as the video renderer does; draws nothing.
class TCountingSink final : public TBaseRenderer {
 public:
  TCountingSink() : TBaseRenderer(CLSID_CountingSink) {}
  HRESULT CheckMediaType(const MediaType& type) override { return type.majortype == MEDIATYPE_Video ? S_OK : S_FALSE; }
  HRESULT DoRenderSample(IMediaSample* sample) override {
    REFERENCE_TIME start = 0, stop = 0;
    if (sample->GetTime(&start, &stop) == S_OK) shown.push_back(start);
    return S_OK;
  }
  bool DropsLateSamples() const override { return true; }
  std::vector<REFERENCE_TIME> shown;  // stream times of the pictures shown (streaming thread)
};

// The frames (25 fps) that never showed: where drops fall.
std::string MissingFrames(const std::vector<REFERENCE_TIME>& shown, int64_t frames) {
  std::vector<bool> seen(static_cast<size_t>(frames), false);
  for (REFERENCE_TIME t : shown) {
    const int64_t n = (t + 200000) / 400000;
    if (n >= 0 && n < frames) seen[static_cast<size_t>(n)] = true;
  }
  std::string out;
  for (int64_t n = 0; n < frames; ++n)
    if (!seen[static_cast<size_t>(n)]) out += (out.empty() ? " (frame " : ", ") + std::to_string(n);
  return out.empty() ? out : out + ")";
}

ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION dir) {
  ComPtr<IEnumPins> pins;
  if (FAILED(filter->EnumPins(pins.Put()))) return nullptr;
  for (;;) {
    ComPtr<IPin> pin;
    if (pins->Next(1, pin.Put(), nullptr) != S_OK) return nullptr;
    PIN_DIRECTION d;
    if (SUCCEEDED(pin->QueryDirection(&d)) && d == dir) return pin;
  }
}

ComPtr<IBaseFilter> ByName(const std::string& name) {
  for (const TDeviceEntry& e : ClassRegistry().CategoryEntries(CLSID_LegacyAmFilterCategory)) {
    ComPtr<IBaseFilter> f;
    if (e.friendlyName == name && SUCCEEDED(e.factory(IBaseFilter::kIid, f.PutVoid()))) return f;
  }
  return nullptr;
}

struct TRun {
  double wall = -1, cpu = -1;
  int64_t rendered = 0, dropped = 0;
  double lateMs = 0;  // mean lateness of the pictures shown on the clock
  std::string missing;  // which frames were dropped
};

TRun GraphRun(const std::string& path, bool clocked) {
  ComPtr<IGraphBuilder> graph = CreateFilterGraph();
  ComPtr<IBaseFilter> source, demux, decoder;
  if (FAILED(CoCreateInstance(source::CLSID_AsyncReader, &source)) ||
      FAILED(CoCreateInstance(demux::CLSID_KavelloMatroskaSplitter, &demux)) ||
      FAILED(CoCreateInstance(video::CLSID_KavelloVideoDecoder, &decoder)))
    return {};
  ComPtr<TCountingSink> sink(new TCountingSink);
  graph->AddFilter(source.Get(), "Source");
  if (FAILED(source.Query<IFileSourceFilter>()->Load(path, nullptr))) return {};
  graph->AddFilter(demux.Get(), "Splitter");
  graph->AddFilter(decoder.Get(), "Decoder");
  if (FAILED(graph->ConnectDirect(PinOf(source.Get(), PINDIR_OUTPUT).Get(), PinOf(demux.Get(), PINDIR_INPUT).Get(),
                                  nullptr)) ||
      FAILED(graph->ConnectDirect(PinOf(demux.Get(), PINDIR_OUTPUT).Get(), PinOf(decoder.Get(), PINDIR_INPUT).Get(),
                                  nullptr)))
    return {};
  ComPtr<IPin> out = PinOf(decoder.Get(), PINDIR_OUTPUT);
  for (const char* name : {"Kavello Deinterlace", "Kavello Denoise", "Kavello Picture"}) {
    ComPtr<IBaseFilter> effect = ByName(name);
    if (!effect) {
      std::printf("%s is not registered (build KavelloEffects)\n", name);
      return {};
    }
    if (std::string(name) == "Kavello Deinterlace") {
      // Every frame, as ffmpeg's bwdif does by default (our default touches only frames
      // marked interlaced, which this clip's are not).
      ComPtr<effects::IKavelloEffect> settings;
      if (SUCCEEDED(effect->QueryInterface(effects::IKavelloEffect::kIid, settings.PutVoid())))
        settings->SetValues({0, 1});
    }
    graph->AddFilter(effect.Get(), name);
    if (FAILED(graph->ConnectDirect(out.Get(), PinOf(effect.Get(), PINDIR_INPUT).Get(), nullptr))) return {};
    out = PinOf(effect.Get(), PINDIR_OUTPUT);
  }
  graph->AddFilter(sink.Get(), "Sink");
  if (FAILED(graph->ConnectDirect(out.Get(), PinOf(sink.Get(), PINDIR_INPUT).Get(), nullptr))) return {};
  if (!clocked) graph.Query<IMediaFilter>()->SetSyncSource(nullptr);
  const auto start = Clock::now();
  const double cpu = CpuSeconds(RUSAGE_SELF);
  if (FAILED(graph.Query<IMediaControl>()->Run())) return {};
  int32_t code = 0;
  if (graph.Query<IMediaEvent>()->WaitForCompletion(600000, &code) != S_OK || code != EC_COMPLETE) return {};
  TRun r;
  r.missing = MissingFrames(sink->shown, sink->FramesRendered() + sink->FramesDropped());
  r.wall = std::chrono::duration<double>(Clock::now() - start).count();
  r.cpu = CpuSeconds(RUSAGE_SELF) - cpu;
  r.rendered = sink->FramesRendered();
  r.dropped = sink->FramesDropped();
  r.lateMs = sink->AverageLateness() / 10000.0;
  graph.Query<IMediaControl>()->Stop();
  return r;
}

TRun FfmpegRun(const std::string& path) {
  const auto start = Clock::now();
  const double cpu = CpuSeconds(RUSAGE_CHILDREN);
  if (std::system(("ffmpeg -nostdin -v error -threads 0 -i '" + path + "' -vf bwdif=mode=send_frame,hqdn3d,eq -f null -").c_str()) != 0)
    return {};
  TRun r;
  r.wall = std::chrono::duration<double>(Clock::now() - start).count();
  r.cpu = CpuSeconds(RUSAGE_CHILDREN) - cpu;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = argc > 1 ? argv[1] : "bench-plugins-clips";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  std::filesystem::create_directories(dir);
  const std::string clip = (dir / "h264_1080p25.mkv").string();
  if (!std::filesystem::exists(clip)) {
    std::printf("making %s ...\n", clip.c_str());
    if (std::system(("ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=1920x1080:rate=25:duration=10 "
                     "-c:v libx264 -preset veryfast -crf 20 -g 50 -pix_fmt yuv420p -an '" + clip + "'").c_str()) != 0)
      return 2;
  }
  CoInitialize();
  RegisterBuiltinFilters(false);
  LoadComponentFilters(KAVELLO_PROGRAM_DIR);

  if (argc > 3 && std::string(argv[3]) == "graph") {
    for (int i = 0; i < runs; ++i) {
      TRun g = GraphRun(clip, false);
      std::printf("graph %6.1f fps (%.2f s, cpu %.2f s)\n", g.rendered / g.wall, g.wall, g.cpu);
    }
    return 0;
  }
  if (argc > 3 && std::string(argv[3]) == "1x") {
    for (int i = 0; i < runs; ++i) {
      TRun p = GraphRun(clip, true);
      std::printf("1x %lld shown, %lld dropped%s, mean lateness %.0f ms, cpu %.2f s/s\n",
                  static_cast<long long>(p.rendered), static_cast<long long>(p.dropped), p.missing.c_str(), p.lateMs,
                  p.cpu / p.wall);
    }
    return 0;
  }
  TRun best, peer;
  best.wall = best.cpu = peer.wall = peer.cpu = 1e9;
  for (int i = 0; i < runs; ++i) {
    TRun g = GraphRun(clip, false), f = FfmpegRun(clip);
    if (g.wall < 0 || f.wall < 0) {
      std::printf("a run failed\n");
      return 1;
    }
    if (g.wall < best.wall) best = g;
    peer.wall = std::min(peer.wall, f.wall);
    peer.cpu = std::min(peer.cpu, f.cpu);
  }
  const double frames = double(best.rendered);
  std::printf("unclocked  graph %6.1f fps (%.2f s, cpu %.2f s)  ffmpeg %6.1f fps (%.2f s, cpu %.2f s)"
              "  ratio %.2f (target 0.90)\n",
              frames / best.wall, best.wall, best.cpu, frames / peer.wall, peer.wall, peer.cpu, peer.wall / best.wall);
  TRun play = GraphRun(clip, true);
  if (play.wall < 0) {
    std::printf("the 1x run failed\n");
    return 1;
  }
  std::printf("1x         %lld frames shown, %lld dropped%s (target 0), mean lateness %.0f ms; cpu %.2f s per second "
              "of playback\n",
              static_cast<long long>(play.rendered), static_cast<long long>(play.dropped), play.missing.c_str(),
              play.lateMs, play.cpu / play.wall);
  return 0;
}
