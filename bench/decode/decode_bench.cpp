// Decode throughput: our graph (file source -> demultiplexer -> video decoder -> renderer
// that only counts, no clock) against `ffmpeg -threads 0 -i CLIP -f null -` on the same
// clip, in one run. Prints frames per second of both and the ratio (target: 95 % or more).
//
// usage: bench_decode [WORKDIR] [RUNS]
// The clips (1080p H.264, 576p MPEG-4 Part 2, video only) are made with the ffmpeg tool in
// WORKDIR (default: bench-decode-clips under the current directory) when missing. Each
// side runs RUNS times (default 3) alternately; the best time of each counts, since the
// machine may be shared.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/resource.h>

#include "clip_graph.h"
#include "filters/demux/container_families.h"

namespace {

using Clock = std::chrono::steady_clock;

// Processor time (user + system) of this process or of its finished children, in seconds.
double CpuSeconds(int who) {
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct TTiming {
  double wall = -1;
  double cpu = -1;
};

struct TBenchClip {
  const char* file;
  const char* encode;  // ffmpeg arguments producing it
  kv::CLSID demux;
};

const TBenchClip kClips[] = {
    {"h264_1080p.mkv",
     "-f lavfi -i testsrc2=size=1920x1080:rate=25:duration=10 -c:v libx264 -preset veryfast -crf 20 -g 50 -an",
     kv::demux::CLSID_KavelloMatroskaSplitter},
    {"mpeg4_576p.avi",
     "-f lavfi -i testsrc2=size=720x576:rate=25:duration=20 -c:v mpeg4 -vtag XVID -q:v 3 -g 12 -bf 2 -an",
     kv::demux::CLSID_KavelloAviSplitter},
};

bool Shell(const std::string& command) { return std::system(command.c_str()) == 0; }

// One decode through the graph; frames counted into *frames.
TTiming GraphRun(const std::string& path, const kv::CLSID& demux, int64_t* frames) {
  kv::testing::TClipGraph graph;
  if (kv::FAILED(graph.Build(path, demux, true, false))) return {};
  int32_t code = 0;
  const auto start = Clock::now();
  const double cpu = CpuSeconds(RUSAGE_SELF);
  if (graph.RunToEnd(600000, &code) != kv::S_OK || code != kv::EC_COMPLETE) return {};
  TTiming t{std::chrono::duration<double>(Clock::now() - start).count(), CpuSeconds(RUSAGE_SELF) - cpu};
  *frames = static_cast<int64_t>(graph.Video()->Samples().size());
  return t;
}

TTiming FfmpegRun(const std::string& path) {
  const auto start = Clock::now();
  const double cpu = CpuSeconds(RUSAGE_CHILDREN);
  if (!Shell("ffmpeg -nostdin -v error -threads 0 -i '" + path + "' -f null -")) return {};
  return {std::chrono::duration<double>(Clock::now() - start).count(), CpuSeconds(RUSAGE_CHILDREN) - cpu};
}

}  // namespace

int main(int argc, char** argv) {
  const std::filesystem::path dir = argc > 1 ? argv[1] : "bench-decode-clips";
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  std::filesystem::create_directories(dir);
  int failures = 0;
  for (const auto& clip : kClips) {
    const std::string path = (dir / clip.file).string();
    if (!std::filesystem::exists(path)) {
      std::printf("making %s ...\n", path.c_str());
      if (!Shell(std::string("ffmpeg -nostdin -v error -y ") + clip.encode + " '" + path + "'")) {
        std::printf("cannot make %s\n", path.c_str());
        ++failures;
        continue;
      }
    }
    TTiming graph{1e9, 1e9}, ffmpeg{1e9, 1e9};
    int64_t frames = 0;
    for (int i = 0; i < runs; ++i) {
      const TTiming g = GraphRun(path, clip.demux, &frames);
      const TTiming f = FfmpegRun(path);
      if (g.wall < 0 || f.wall < 0) {
        std::printf("%s: a run failed\n", clip.file);
        ++failures;
        break;
      }
      graph = {std::min(graph.wall, g.wall), std::min(graph.cpu, g.cpu)};
      ffmpeg = {std::min(ffmpeg.wall, f.wall), std::min(ffmpeg.cpu, f.cpu)};
    }
    if (frames == 0) continue;
    // Wall time says what the user waits; processor time is steadier on a shared machine.
    std::printf("%-16s %5lld frames  graph %7.1f fps (%.3f s, cpu %.3f s)  ffmpeg %7.1f fps (%.3f s, cpu %.3f s)"
                "  ratio %5.1f %% (cpu %5.1f %%)\n",
                clip.file, static_cast<long long>(frames), frames / graph.wall, graph.wall, graph.cpu,
                frames / ffmpeg.wall, ffmpeg.wall, ffmpeg.cpu, 100.0 * ffmpeg.wall / graph.wall,
                100.0 * ffmpeg.cpu / graph.cpu);
  }
  rusage self{};
  getrusage(RUSAGE_SELF, &self);
  std::printf("peak resident memory of the graph process: %.1f MB\n", self.ru_maxrss / 1024.0);
  return failures ? 1 : 0;
}
