// frame_watch: what a player shows, read from outside the player, the same way for every player.
//
// The benchmark's clips carry their frame number in a strip along the top of the picture: 8
// grey blocks, each one base-4 digit (least significant on the left) drawn at the grey levels
// 51, 102, 153 and 204, so no digit is black and compression cannot blur one level into the next.
// frame_watch starts the player itself (fork + exec of the command after "--"), finds the
// player's window on the X display (a window whose _NET_WM_PID is the player or one of its
// child processes), and reads one row of that strip from the screen with XGetImage every
// millisecond or so. Error bound of every time it prints: the polling interval (about 1-3 ms on
// a loaded machine) plus the X server's reply time, the same for every player.
//
//   frame_watch first-frame TIMEOUT -- CMD...   ms from fork to the first frame on screen
//   frame_watch play SECONDS -- CMD...          distinct frames seen while it plays SECONDS
//   frame_watch seeks N FPS DURATION -- CMD...  N seeks sent with $SEEK_CMD (printf pattern, %s =
//                                               seconds), half playing, half after $PAUSE_CMD:
//                                               ms from each command to a frame within 2 s before
//                                               to 0.5 s after the target. With $SEEK_REL_CMD
//                                               instead, each seek is relative: %s = the distance
//                                               from the position $POS_CMD prints (else the frame
//                                               on screen) to the target, written as playerctl
//                                               takes it ("3.200+", "1.500-"); a frame up to 2 s
//                                               after the target counts then.
//                                               With $SEEK_SOCKET, the command is written as a
//                                               line to that Unix socket instead of run.
//                                               Targets whose window holds the frame on screen
//                                               are drawn again (no seek is found "done" at once).
//   frame_watch av SECONDS SINK FPS -- CMD...   A/V offset: when each whole second's frame (the
//                                               clip beeps at every whole second) first shows,
//                                               against the beep's onset recorded from SINK's
//                                               monitor with parec, both on the monotonic clock
// The player is ended with SIGTERM (then SIGKILL) when frame_watch is done with it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dirent.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <utility>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
double MsSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

std::set<pid_t> Family(pid_t root) {
  std::set<pid_t> family{root};
  bool grew = true;
  while (grew) {
    grew = false;
    DIR* d = opendir("/proc");
    if (!d) break;
    while (dirent* e = readdir(d)) {
      const pid_t pid = static_cast<pid_t>(std::atoi(e->d_name));
      if (pid <= 0 || family.count(pid)) continue;
      char path[64];
      std::snprintf(path, sizeof path, "/proc/%d/stat", pid);
      FILE* f = std::fopen(path, "r");
      if (!f) continue;
      int ppid = 0;
      if (std::fscanf(f, "%*d (%*[^)]) %*c %d", &ppid) == 1 && family.count(ppid)) {
        family.insert(pid);
        grew = true;
      }
      std::fclose(f);
    }
    closedir(d);
  }
  return family;
}

bool g_reaped = false;  // the player was waited for
// True once the player has exited (reaped here, once).
bool Exited(pid_t pid) {
  if (!g_reaped && waitpid(pid, nullptr, WNOHANG) == pid) g_reaped = true;
  return g_reaped;
}

struct Watcher {
  Display* dpy = XOpenDisplay(nullptr);
  Atom pidAtom = dpy ? XInternAtom(dpy, "_NET_WM_PID", False) : None;
  Window window = 0;
  bool debug = std::getenv("FRAME_WATCH_DEBUG") != nullptr;
  // Top-level windows that were there before the player started. A player that does not set
  // _NET_WM_PID (VLC's X11 output) owns the new top-level windows that carry a WM_CLASS: the
  // display is private to the benchmark and shows one player at a time.
  std::set<Window> before = TopLevel();

  std::set<Window> TopLevel() {
    std::set<Window> out;
    Window root, parent, *children = nullptr;
    unsigned n = 0;
    if (dpy && XQueryTree(dpy, DefaultRootWindow(dpy), &root, &parent, &children, &n)) {
      out.insert(children, children + n);
      if (children) XFree(children);
    }
    return out;
  }
  int x = 0, y = 0, w = 0, h = 0;

  // The largest mapped window of the player's processes, in root coordinates.
  bool Find(pid_t player) {
    if (!dpy || pidAtom == None) return false;
    const std::set<pid_t> family = Family(player);
    const std::set<Window> top = TopLevel();
    Window best = 0;
    int bestArea = 0;
    std::vector<Window> todo{DefaultRootWindow(dpy)};
    while (!todo.empty()) {
      Window win = todo.back();
      todo.pop_back();
      Window root, parent, *children = nullptr;
      unsigned n = 0;
      if (XQueryTree(dpy, win, &root, &parent, &children, &n)) {
        for (unsigned i = 0; i < n; ++i) todo.push_back(children[i]);
        if (children) XFree(children);
      }
      Atom type;
      int format;
      unsigned long count, after;
      unsigned char* data = nullptr;
      bool ours = false;
      if (XGetWindowProperty(dpy, win, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &after, &data) ==
              Success && data && count == 1) {
        ours = family.count(static_cast<pid_t>(*reinterpret_cast<unsigned long*>(data))) > 0;
      } else if (top.count(win) && !before.count(win)) {
        XClassHint hint{};
        if (XGetClassHint(dpy, win, &hint)) {
          ours = true;
          XFree(hint.res_name);
          XFree(hint.res_class);
        }
      }
      {
        XWindowAttributes a;
        if (ours && XGetWindowAttributes(dpy, win, &a) && a.map_state == IsViewable &&
            a.width * a.height > bestArea) {
          best = win;
          bestArea = a.width * a.height;
        }
      }
      if (data) XFree(data);
    }
    if (debug) std::fprintf(stderr, "frame_watch: find: %zu processes, window %lx\n", family.size(), best);
    if (!best) return false;
    XWindowAttributes a;
    XGetWindowAttributes(dpy, best, &a);
    Window child;
    XTranslateCoordinates(dpy, best, DefaultRootWindow(dpy), 0, 0, &x, &y, &child);
    window = best;
    stripY = -1;
    w = a.width;
    h = a.height;
    if (debug) std::fprintf(stderr, "frame_watch: window %dx%d+%d+%d\n", w, h, x, y);
    return w >= 64 && h >= 64;
  }

  // Where the strip lies in the window: the row read, and the picture's left edge and width
  // (the picture may be letterboxed, or sit below a menu bar). Found by Locate().
  int stripY = -1, picX = 0, picW = 0;

  static int Level(unsigned long p) {
    const int r = static_cast<int>((p >> 16) & 0xff), g = static_cast<int>((p >> 8) & 0xff), b = static_cast<int>(p & 0xff);
    const int lum = (r + g + b) / 3;
    const int level = (lum + 25) / 51;  // 51 -> 1 ... 204 -> 4
    if (level < 1 || level > 4 || std::abs(lum - level * 51) > 22 || std::abs(r - b) > 40 || std::abs(r - g) > 40) return 0;
    return level;
  }

  // Finds the strip: the picture is centred in its area, so the window's middle column runs
  // through the strip's fifth block; the first grey run down that column is the strip, and the
  // grey run along a row a few pixels into it is the picture's width.
  bool Locate() {
    stripY = -1;
    const int cx = w / 2 + 2;
    XImage* col = XGetImage(dpy, DefaultRootWindow(dpy), x + cx, y, 1, static_cast<unsigned>(h), AllPlanes, ZPixmap);
    if (!col) return false;
    int top = -1, run = 0;
    for (int r = 0; r < h; ++r) {
      if (Level(XGetPixel(col, 0, r))) {
        if (top < 0) top = r;
        if (++run >= 10) break;
      } else {
        top = -1;
        run = 0;
      }
    }
    if (debug && h > 100)
      std::fprintf(stderr, "frame_watch: column pixels %06lx %06lx %06lx\n", XGetPixel(col, 0, 0), XGetPixel(col, 0, 10), XGetPixel(col, 0, 100));
    XDestroyImage(col);
    if (debug) std::fprintf(stderr, "frame_watch: window %dx%d+%d+%d strip column run %d at %d\n", w, h, x, y, run, top);
    if (run < 10) return false;
    const int row = top + 6;
    XImage* img = XGetImage(dpy, DefaultRootWindow(dpy), x, y + row, static_cast<unsigned>(w), 1, AllPlanes, ZPixmap);
    if (!img) return false;
    int left = cx, right = cx;
    while (left > 0 && Level(XGetPixel(img, left - 1, 0))) --left;
    while (right < w - 1 && Level(XGetPixel(img, right + 1, 0))) ++right;
    XDestroyImage(img);
    if (debug) std::fprintf(stderr, "frame_watch: strip row %d from %d to %d\n", row, left, right);
    if (right - left < 64) return false;
    stripY = row;
    picX = left;
    picW = right - left + 1;
    return true;
  }

  // The frame number on screen, or -1 when the strip does not show one (no picture yet).
  long Frame() {
    const long frame = (stripY >= 0 || Locate()) ? Decode() : -1;
    if (frame >= 0) {
      misses_ = 0;
    } else {  // the picture moved (new size, a menu bar), or the window did
      ++misses_;
      if (misses_ % 3 == 0) stripY = -1;
      if (misses_ % 30 == 0) window = 0;
    }
    return frame;
  }

  long Decode() {
    XImage* img = XGetImage(dpy, DefaultRootWindow(dpy), x + picX, y + stripY, static_cast<unsigned>(picW), 1, AllPlanes, ZPixmap);
    if (!img) return -1;
    long frame = 0, scale = 1;
    for (int i = 0; i < 8; ++i) {
      const int level = Level(XGetPixel(img, (2 * i + 1) * picW / 16, 0));
      if (!level) {
        frame = -1;
        break;
      }
      frame += (level - 1) * scale;
      scale *= 4;
    }
    XDestroyImage(img);
    return frame;
  }
  int misses_ = 0;
  pid_t player_ = 0;

  // The frame on screen of the player's window, -1 when none shows (yet).
  long Read() {
    if (!window && !Find(player_)) return -1;
    return Frame();
  }

  // Waits until the player's window shows a frame accepted by `ok`; false on time-out.
  template <class Ok>
  bool WaitFor(pid_t player, double timeoutMs, Ok ok, long* seen = nullptr) {
    const auto start = Clock::now();
    while (MsSince(start) < timeoutMs) {
      player_ = player;
      {
        const long f = Read();
        if (f >= 0 && ok(f)) {
          if (seen) *seen = f;
          return true;
        }
      }
      if (Exited(player)) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(800));
    }
    return false;
  }
};

// A window that moves or goes away between finding it and reading it makes XGetImage fail with
// BadMatch; the read then returns null and the window is looked for again.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

pid_t Launch(char** argv) {
  g_reaped = false;
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);
    dup2(2, 1);  // the player's own output goes with its errors: stdout is frame_watch's
    execvp(argv[0], argv);
    _exit(127);
  }
  return pid;
}

void End(pid_t pid) {
  if (Exited(pid)) return;
  kill(-pid, SIGTERM);
  for (int i = 0; i < 50; ++i) {
    if (Exited(pid)) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(-pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// parec on the sink's monitor, read on a thread: every sample and when each chunk came. The
// null sink renders its audio in blocks, each when its first sample is due, so the chunks
// that arrive after a pause in the stream of chunks place the sample counter on the
// monotonic clock. The sink does not play at exactly its nominal rate (PulseAudio's null
// sink consumes some 50-70 ppm fast: several ms over two minutes), so a beep is placed by
// the blocks around it (the median of those within 2 s, to stand clear of a late
// wake-up), not by one origin for the whole run.
class Monitor {
 public:
  static constexpr int kRate = 48000;
  ~Monitor() { Stop(); }
  bool Start(const std::string& sink) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(fds[1], 1);
      close(fds[0]);
      close(fds[1]);
      const std::string device = sink + ".monitor";
      execlp("parec", "parec", "-d", device.c_str(), "--format=s16le", "--rate=48000", "--channels=1",
             "--latency-msec=5", "--raw", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    fd_ = fds[0];
    reader_ = std::thread([this] { Read(); });
    return pid_ > 0;
  }
  void Stop() {
    if (pid_ > 0) kill(pid_, SIGTERM);
    if (reader_.joinable()) reader_.join();
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
    if (fd_ >= 0) close(fd_);
    pid_ = -1;
    fd_ = -1;
  }
  // Monotonic ms (since `zero`) of every beep's onset: the first sample above a quarter of
  // the loudest after half a second below it.
  std::vector<double> Onsets(Clock::time_point zero) const {
    std::vector<std::pair<size_t, double>> origins;  // first sample of a block -> origin
    for (size_t i = 1; i < chunks_.size(); ++i)
      if (chunks_[i].arrival - chunks_[i - 1].arrival > 0.002)  // the first chunk of a block
        origins.push_back({chunks_[i].first, chunks_[i].arrival - static_cast<double>(chunks_[i].first) / kRate});
    std::vector<double> onsets;
    if (origins.empty()) return onsets;
    const double zeroSeconds = std::chrono::duration<double>(zero.time_since_epoch()).count();
    const auto originAt = [&](size_t sample) {
      std::vector<double> near;
      for (const auto& [first, origin] : origins)
        if (first + 2 * kRate >= sample && first <= sample + 2 * kRate) near.push_back(origin);
      if (near.size() < 5)
        for (const auto& o : origins) near.push_back(o.second);
      std::nth_element(near.begin(), near.begin() + static_cast<long>(near.size() / 2), near.end());
      return near[near.size() / 2] - zeroSeconds;
    };
    int peak = 0;
    for (int16_t v : samples_) peak = std::max(peak, std::abs(static_cast<int>(v)));
    const int threshold = std::max(200, peak / 4);
    size_t lastLoud = 0;
    bool any = false;
    for (size_t i = 0; i < samples_.size(); ++i) {
      if (std::abs(static_cast<int>(samples_[i])) <= threshold) continue;
      if (!any || i - lastLoud > kRate / 2) onsets.push_back((originAt(i) + static_cast<double>(i) / kRate) * 1000);
      lastLoud = i;
      any = true;
    }
    return onsets;
  }

 private:
  void Read() {
    std::vector<int16_t> buffer(480);
    size_t carry = 0;
    for (;;) {
      const ssize_t n = read(fd_, reinterpret_cast<char*>(buffer.data()) + carry, buffer.size() * 2 - carry);
      if (n <= 0) return;
      const double t = std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
      const size_t bytes = carry + static_cast<size_t>(n);
      chunks_.push_back({t, samples_.size()});
      samples_.insert(samples_.end(), buffer.begin(), buffer.begin() + static_cast<long>(bytes / 2));
      carry = bytes % 2;
      if (carry) reinterpret_cast<char*>(buffer.data())[0] = reinterpret_cast<char*>(buffer.data())[bytes - 1];
    }
  }
  struct Chunk {
    double arrival;  // monotonic seconds
    size_t first;    // index of its first sample
  };
  std::vector<int16_t> samples_;
  std::vector<Chunk> chunks_;
  pid_t pid_ = -1;
  int fd_ = -1;
  std::thread reader_;
};

int Usage() {
  std::fprintf(stderr, "usage: frame_watch first-frame TIMEOUT | play SECONDS | seeks N FPS DURATION | av SECONDS SINK FPS  -- CMD...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  int dash = 1;
  while (dash < argc && std::strcmp(argv[dash], "--") != 0) ++dash;
  if (argc < 3 || dash >= argc - 1) return Usage();
  const std::string mode = argv[1];
  XSetErrorHandler(&IgnoreXError);
  Watcher watch;
  if (!watch.dpy) {
    std::fprintf(stderr, "frame_watch: no X display\n");
    return 2;
  }
  Monitor monitor;  // the sound at the sink, for the av mode
  if (mode == "av" && dash == 5) {
    if (!monitor.Start(argv[3])) return std::puts("av_pairs 0"), 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // parec connected and recording
  }
  const auto start = Clock::now();
  const pid_t player = Launch(argv + dash + 1);

  if (mode == "first-frame" && dash == 3) {
    const bool ok = watch.WaitFor(player, std::atof(argv[2]) * 1000, [](long) { return true; });
    const double ms = MsSince(start);
    End(player);
    if (!ok) return std::puts("first_frame_ms NA"), 1;
    std::printf("first_frame_ms %.1f\n", ms);
    if (watch.debug)  // on the monotonic clock, to line up with the player's own time stamps
      std::fprintf(stderr, "frame_watch: started at %.1f ms, first frame at %.1f ms\n",
                   std::chrono::duration<double, std::milli>(start.time_since_epoch()).count(),
                   std::chrono::duration<double, std::milli>(start.time_since_epoch()).count() + ms);
    return 0;
  }
  if (mode == "play" && dash == 3) {
    const double seconds = std::atof(argv[2]);
    std::set<long> frames;
    double firstMs = -1;
    long f = -1;
    if (watch.WaitFor(player, 60000, [](long) { return true; }, &f)) {
      firstMs = MsSince(start);
      const auto playing = Clock::now();
      while (MsSince(playing) < seconds * 1000 && !Exited(player)) {
        if ((f = watch.Read()) >= 0) frames.insert(f);
        std::this_thread::sleep_for(std::chrono::milliseconds(4));  // a frame shows >= 16 ms
      }
    }
    End(player);
    std::printf("frames_seen %zu first_frame_ms %.1f first %ld last %ld\n", frames.size(), firstMs,
                frames.empty() ? -1L : *frames.begin(), frames.empty() ? -1L : *frames.rbegin());
    // Which frames never showed between the first and the last seen (where drops fall).
    std::string missing;
    int listed = 0;
    for (long n = frames.empty() ? 0 : *frames.begin(); !frames.empty() && n < *frames.rbegin() && listed < 40; ++n)
      if (!frames.count(n)) missing += (listed++ ? "," : "") + std::to_string(n);
    if (!missing.empty()) std::printf("missing %s\n", missing.c_str());
    return frames.empty() ? 1 : 0;
  }
  if (mode == "seeks" && dash == 5) {
    const int n = std::atoi(argv[2]);
    const double fps = std::atof(argv[3]), duration = std::atof(argv[4]);
    const char* absCmd = std::getenv("SEEK_CMD");
    const char* relCmd = std::getenv("SEEK_REL_CMD");
    const char* pauseCmd = std::getenv("PAUSE_CMD");
    if (!absCmd && !relCmd) return Usage();
    long now = -1;
    if (!watch.WaitFor(player, 60000, [](long) { return true; }, &now)) {
      End(player);
      return std::puts("seek_ms NA"), 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // past start-up work
    std::mt19937 random(12345);  // the same targets for every player
    std::uniform_real_distribution<double> pick(5.0, duration - 5.0);
    for (int i = 0; i < n; ++i) {
      if (i == n / 2 && pauseCmd) {
        std::system(pauseCmd);
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
      }
      now = watch.Read();
      double target = 0;
      long lo = 0, hi = 0;
      for (int draw = 0; draw < 100; ++draw) {
        target = std::round(pick(random) * fps) / fps;  // a frame's own time: exact is off 0
        lo = static_cast<long>((target - 2.0) * fps);
        // A relative seek may take the key frame after the target (mpv takes the nearest).
        hi = static_cast<long>((target + (relCmd ? 2.0 : 0.5)) * fps);
        if (now < lo - fps || now > hi + fps) break;  // the frame on screen is no answer
      }
      char arg[64], command[512];
      if (relCmd) {
        // From where the player says it is ($POS_CMD prints seconds), else from the frame on
        // screen: after a key-frame seek the two differ, and the player adds to its own.
        double from = now >= 0 ? static_cast<double>(now) / fps : 0;
        if (const char* posCmd = std::getenv("POS_CMD"))
          if (FILE* p = popen(posCmd, "r")) {
            double reported = 0;
            if (std::fscanf(p, "%lf", &reported) == 1) from = reported;
            pclose(p);
          }
        const double by = target - from;
        std::snprintf(arg, sizeof arg, "%.3f%c", std::fabs(by), by < 0 ? '-' : '+');
      } else {
        std::snprintf(arg, sizeof arg, "%.3f", target);
      }
      std::snprintf(command, sizeof command, relCmd ? relCmd : absCmd, arg);
      const auto sent = Clock::now();
      if (const char* socketPath = std::getenv("SEEK_SOCKET")) {
        // The command is a line for the player's own control socket (mpv's JSON IPC).
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath);
        if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
          const std::string line = std::string(command) + "\n";
          if (write(fd, line.data(), line.size()) < 0) std::perror("frame_watch: seek socket");
        }
        if (fd >= 0) close(fd);
      } else {
        std::system(command);
      }
      long landed = -1;
      const bool ok = watch.WaitFor(player, 5000, [&](long f) { return f >= lo && f <= hi; }, &landed);
      const double ms = MsSince(sent);
      // landed - target in frames: 0 is an exact seek, negative a seek to the key frame before.
      std::printf("seek_ms %s %s off %ld target %ld\n", i < n / 2 || !pauseCmd ? "playing" : "paused",
                  ok ? std::to_string(ms).c_str() : "NA", ok ? landed - std::lround(target * fps) : 0L,
                  std::lround(target * fps));
      std::fflush(stdout);
      std::this_thread::sleep_for(std::chrono::milliseconds(700));
    }
    End(player);
    return 0;
  }
  if (mode == "av" && dash == 5) {
    const double seconds = std::atof(argv[2]), fps = std::atof(argv[4]);
    const long perSecond = std::lround(fps);
    std::map<long, double> shown;  // whole second -> ms its frame first showed
    long f = -1;
    if (watch.WaitFor(player, 60000, [](long) { return true; }, &f)) {
      const auto playing = Clock::now();
      while (MsSince(playing) < seconds * 1000 && !Exited(player)) {
        if ((f = watch.Read()) >= 0 && f % perSecond == 0 && !shown.count(f / perSecond))
          shown[f / perSecond] = MsSince(start);
        std::this_thread::sleep_for(std::chrono::microseconds(500));
      }
    }
    End(player);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the last block reaches the monitor
    monitor.Stop();
    // Offsets: picture minus sound, ms (> 0: the picture came late), second by second.
    std::vector<double> atSec, offsets;
    const std::vector<double> onsets = monitor.Onsets(start);
    for (const auto& [second, ms] : shown) {
      if (second == 0) continue;  // the clip's first frame shows before anything plays
      double best = 1e9;
      for (double b : onsets)
        if (std::fabs(ms - b) < std::fabs(best)) best = ms - b;
      if (std::fabs(best) > 500) continue;
      atSec.push_back(static_cast<double>(second));
      offsets.push_back(best);
      std::printf("av_at %ld offset_ms %+.1f\n", second, best);
    }
    if (offsets.size() < 5) return std::puts("av_pairs 0"), 1;
    std::vector<double> sorted = offsets, mags;
    std::sort(sorted.begin(), sorted.end());
    for (double o : offsets) mags.push_back(std::fabs(o));
    // Drift and steps in steady playback: from the third second on (a player settles its
    // clock after the start); median and worst take every second.
    const size_t settled = static_cast<size_t>(std::find_if(atSec.begin(), atSec.end(), [](double t) { return t >= 3; }) - atSec.begin());
    double step = 0;
    for (size_t i = settled + 1; i < offsets.size(); ++i)
      step = std::max(step, std::fabs(offsets[i] - offsets[i - 1]) / std::max(1.0, atSec[i] - atSec[i - 1]));
    // Drift: least-squares slope of offset over time, ms per second.
    double mx = 0, my = 0;
    const double count = static_cast<double>(offsets.size() - settled);
    for (size_t i = settled; i < offsets.size(); ++i) mx += atSec[i], my += offsets[i];
    mx /= count;
    my /= count;
    double sxy = 0, sxx = 0;
    for (size_t i = settled; i < offsets.size(); ++i)
      sxy += (atSec[i] - mx) * (offsets[i] - my), sxx += (atSec[i] - mx) * (atSec[i] - mx);
    std::printf("av_pairs %zu\nav_med_ms %.1f\nav_worst_ms %.1f\nav_drift_ms_per_s %.2f\nav_step_ms %.1f\n",
                offsets.size(), sorted[sorted.size() / 2], *std::max_element(mags.begin(), mags.end()),
                sxx > 0 ? sxy / sxx : 0.0, step);
    return 0;
  }
  End(player);
  return Usage();
}
