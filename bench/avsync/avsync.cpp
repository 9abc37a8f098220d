// A/V sync benchmark: how far apart a flash frame's presentation and its beep's playback
// are.
//
// usage: bench_avsync CLIP SINK
//   CLIP: a clip whose every second starts with a white frame and a 1 kHz beep at the same
//         time stamp (run.sh makes it with the ffmpeg tool).
//   SINK: the PulseAudio sink the audio renderer plays on (the server's default); its
//         monitor is recorded with parec.
//
// The flash time is when the "Video Renderer" hands the white frame to its surface
// (CLOCK_MONOTONIC). The beep time is where its onset lies in the sink's monitor, turned
// into CLOCK_MONOTONIC through the sink's own clock: a null sink renders its audio in
// blocks, each block at the moment its first sample is due, so the arrival of each
// block's first chunk places the sample counter on the monotonic clock.
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "play_graph.h"
#include "platform/video/video_surface.h"

namespace {

constexpr int KRate = 48000;

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Records when a bright frame follows a dark one.
class TFlashSurface : public kv::video::IVideoSurface {
 public:
  void Present(std::shared_ptr<const kv::video::TRgbImage> frame) override {
    double t = Now();
    uint32_t p = frame->At(frame->Width / 2, frame->Height / 2);
    int luma = (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF)) / 3;
    bool bright = luma > 200;
    std::lock_guard<std::mutex> lock(Mutex_);
    if (bright && !WasBright_) Flashes_.push_back(t);
    WasBright_ = bright;
  }
  int Width() const override { return 64; }
  int Height() const override { return 36; }
  void SetGeometry(const kv::video::TSurfaceRect&) override {}
  void SetVisible(bool) override {}
  void Repaint() override {}
  void SetBackground(uint32_t) override {}
  std::vector<double> Flashes() {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Flashes_;
  }

 private:
  std::mutex Mutex_;  // guards Flashes_ and WasBright_
  std::vector<double> Flashes_;
  bool WasBright_ = false;
};

// parec on the sink's monitor, read on a thread: every sample and when each chunk came.
class TMonitor {
 public:
  bool Start(const std::string& sink) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    Pid_ = fork();
    if (Pid_ == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
      std::string device = sink + ".monitor";
      execlp("parec", "parec", "-d", device.c_str(), "--format=s16le", "--rate=48000", "--channels=1",
             "--latency-msec=5", "--raw", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    Fd_ = fds[0];
    Reader_ = std::thread([this] { Read(); });
    return Pid_ > 0;
  }
  void Stop() {
    if (Pid_ > 0) kill(Pid_, SIGTERM);
    if (Reader_.joinable()) Reader_.join();
    if (Pid_ > 0) waitpid(Pid_, nullptr, 0);
    if (Fd_ >= 0) close(Fd_);
  }
  struct TChunk {
    double Arrival;
    size_t FirstSample;
  };
  std::vector<int16_t> Samples;
  std::vector<TChunk> Chunks;

 private:
  void Read() {
    std::vector<int16_t> buffer(480);
    size_t carry = 0;
    for (;;) {
      ssize_t n = read(Fd_, reinterpret_cast<char*>(buffer.data()) + carry, buffer.size() * 2 - carry);
      if (n <= 0) return;
      double t = Now();
      size_t bytes = carry + static_cast<size_t>(n);
      size_t count = bytes / 2;
      Chunks.push_back({t, Samples.size()});
      Samples.insert(Samples.end(), buffer.begin(), buffer.begin() + count);
      carry = bytes % 2;
      if (carry) reinterpret_cast<char*>(buffer.data())[0] = reinterpret_cast<char*>(buffer.data())[bytes - 1];
    }
  }
  pid_t Pid_ = -1;
  int Fd_ = -1;
  std::thread Reader_;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s CLIP SINK\n", argv[0]);
    return 2;
  }
  auto surface = std::make_shared<TFlashSurface>();
  kv::video::TSurfaceHandle handle = kv::video::RegisterSurface(surface);
  TMonitor monitor;
  if (!monitor.Start(argv[2])) {
    std::fprintf(stderr, "cannot start parec\n");
    return 1;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // parec connected and recording
  kv::bench::TPlayGraph graph;
  if (!graph.Build(argv[1], handle)) {
    std::fprintf(stderr, "%s\n", graph.Error.c_str());
    monitor.Stop();
    return 1;
  }
  // Half-way events the sync must survive: a pause of a second at 6.5 s, and at 11.5 s a
  // seek to 14 s (stream times; the flashes after each are measured like the others).
  std::thread events([&graph] {
    std::this_thread::sleep_for(std::chrono::milliseconds(6500 + 2000));  // + the null sink's latency
    graph.Control->Pause();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    graph.Control->Run();
    std::this_thread::sleep_for(std::chrono::seconds(5));
    kv::ComPtr<kv::IMediaSeeking> seeking;
    graph.Graph->QueryInterface(kv::IMediaSeeking::kIid, seeking.PutVoid());
    int64_t target = 140000000;
    if (seeking) seeking->SetPositions(&target, kv::AM_SEEKING_AbsolutePositioning, nullptr, kv::AM_SEEKING_NoPositioning);
    std::printf("paused for 1 s at about 6.5 s; sought to 14 s at about 11.5 s\n");
  });
  bool completed = graph.PlayToEnd(120000);
  events.join();
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));  // the last block reaches the monitor
  monitor.Stop();

  // Place the monitor's sample counter on the monotonic clock. The sink renders only while
  // something plays, so the counter runs in segments separated by silences in the arrival
  // of chunks (the start, a pause); the first chunk of a segment arrives when its first
  // sample is due, which places that segment.
  struct TSegment {
    size_t FirstSample;
    double Origin;  // monotonic time of sample 0 by this segment's placement
  };
  std::vector<TSegment> segments;
  for (size_t i = 0; i < monitor.Chunks.size(); ++i) {
    if (i == 0 || monitor.Chunks[i].Arrival - monitor.Chunks[i - 1].Arrival > 0.3)
      segments.push_back({monitor.Chunks[i].FirstSample,
                          monitor.Chunks[i].Arrival - static_cast<double>(monitor.Chunks[i].FirstSample) / KRate});
  }
  auto timeOf = [&](size_t sample) {
    double origin = segments.empty() ? 0 : segments.front().Origin;
    for (const TSegment& segment : segments)
      if (segment.FirstSample <= sample) origin = segment.Origin;
    return origin + static_cast<double>(sample) / KRate;
  };
  std::vector<double> origins;
  for (const TSegment& segment : segments) origins.push_back(segment.Origin);

  if (const char* dump = std::getenv("KAVELLO_AVSYNC_DUMP")) {
    if (FILE* f = std::fopen(dump, "wb")) {
      std::fwrite(monitor.Samples.data(), 2, monitor.Samples.size(), f);
      std::fclose(f);
    }
  }
  std::vector<double> beeps;
  // Onset: the first sample above a third of the beep's level after half a second
  // without one (the coded beep fades in over a few milliseconds; the threshold sits early
  // on that slope).
  size_t lastLoud = 0;
  bool any = false;
  for (size_t i = 0; i < monitor.Samples.size(); ++i) {
    if (std::abs(static_cast<int>(monitor.Samples[i])) <= 1500) continue;
    if (!any || i - lastLoud > KRate / 2) beeps.push_back(timeOf(i));
    lastLoud = i;
    any = true;
  }
  std::vector<double> flashes = surface->Flashes();
  std::vector<double> offsets;
  // The first flash is the preroll frame, shown when the graph pauses before it runs:
  // it is on screen before any sound by design and says nothing about sync.
  if (!flashes.empty()) flashes.erase(flashes.begin());
  for (double f : flashes) {
    double best = 1e9;
    for (double b : beeps)
      if (std::fabs(f - b) < std::fabs(best)) best = f - b;
    if (std::fabs(best) < 0.5) offsets.push_back(best * 1000);
  }
  std::vector<double> magnitudes;
  for (double o : offsets) magnitudes.push_back(std::fabs(o));
  std::printf("completed: %s\n", completed ? "yes" : "no");
  std::printf("flashes: %zu  beeps: %zu  pairs: %zu  monitor segments: %zu\n", flashes.size(), beeps.size(),
              offsets.size(), origins.size());
  std::printf("frames rendered: %lld  dropped: %lld\n", static_cast<long long>(graph.FramesRendered()),
              static_cast<long long>(graph.FramesDropped()));
  if (offsets.empty()) return 1;
  std::printf("offset video-audio: median %+.1f ms, median |offset| %.1f ms, worst |offset| %.1f ms\n",
              Median(offsets), Median(magnitudes), *std::max_element(magnitudes.begin(), magnitudes.end()));
  std::printf("offsets (ms):");
  for (double o : offsets) std::printf(" %+.1f", o);
  std::printf("\n");
  kv::video::UnregisterSurface(handle);
  return 0;
}
