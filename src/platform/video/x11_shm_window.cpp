#include "platform/video/x11_shm_window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>

#include <algorithm>
#include <vector>

namespace kv::video {

namespace {

// Xlib reports errors through one process-wide handler. Errors on our own connections
// (a failed attach, a window that went with its parent) are noted and swallowed; any
// other connection's error goes to the handler that was there before.
struct TErrorTrap {
  std::mutex Mutex;  // guards Displays, Failed and Previous
  std::vector<Display*> Displays;
  std::vector<Display*> Failed;
  XErrorHandler Previous = nullptr;
  bool Installed = false;
};

TErrorTrap& Trap() {
  static TErrorTrap trap;
  return trap;
}

int OnXError(Display* display, XErrorEvent* event) {
  TErrorTrap& trap = Trap();
  XErrorHandler previous = nullptr;
  {
    std::lock_guard<std::mutex> lock(trap.Mutex);
    if (std::find(trap.Displays.begin(), trap.Displays.end(), display) != trap.Displays.end()) {
      trap.Failed.push_back(display);
      return 0;
    }
    previous = trap.Previous;
  }
  return previous ? previous(display, event) : 0;
}

void Watch(Display* display) {
  TErrorTrap& trap = Trap();
  std::lock_guard<std::mutex> lock(trap.Mutex);
  if (!trap.Installed) {
    trap.Previous = XSetErrorHandler(OnXError);
    trap.Installed = true;
  }
  trap.Displays.push_back(display);
}

void Unwatch(Display* display) {
  TErrorTrap& trap = Trap();
  std::lock_guard<std::mutex> lock(trap.Mutex);
  std::erase(trap.Displays, display);
  std::erase(trap.Failed, display);
}

// Whether an error came on `display` since the last call (call after XSync).
bool TakeFailure(Display* display) {
  TErrorTrap& trap = Trap();
  std::lock_guard<std::mutex> lock(trap.Mutex);
  auto it = std::find(trap.Failed.begin(), trap.Failed.end(), display);
  if (it == trap.Failed.end()) return false;
  std::erase(trap.Failed, display);
  return true;
}

}  // namespace

struct TShmImage {
  XImage* Image = nullptr;
  XShmSegmentInfo Info{};
  bool Attached = false;
  bool Busy = false;  // put, and the server has not said it is done reading it
};

struct TX11ShmState {
  Display* Dpy = nullptr;
  Window Win = 0;
  GC Gc = nullptr;
  Visual* Vis = nullptr;
  TShmImage Image;
  bool Drawn = false;          // a frame has been written into Image
  bool Writing = false;        // lent to a writer (BeginFrame..EndFrame)
  bool RedrawPending = false;  // an expose or Redraw came while the image was being written
  bool Mapped = false;
  int Width = 0;
  int Height = 0;
  int CompletionType = -1;  // event type of MIT-SHM's "done reading" event
};

namespace {

void FreeImage(Display* display, TShmImage& image) {
  if (image.Attached) XShmDetach(display, &image.Info);
  if (image.Image) {
    image.Image->data = nullptr;
    XDestroyImage(image.Image);
  }
  if (image.Info.shmaddr && image.Info.shmaddr != reinterpret_cast<char*>(-1)) shmdt(image.Info.shmaddr);
  image = TShmImage{};
}

// An image of width x height attached to the server; false (and nothing held) on failure.
bool MakeImage(TX11ShmState& s, TShmImage& image, int width, int height) {
  image.Image = XShmCreateImage(s.Dpy, s.Vis, 24, ZPixmap, nullptr, &image.Info, width, height);
  if (!image.Image || image.Image->bits_per_pixel != 32) {
    FreeImage(s.Dpy, image);
    return false;
  }
  size_t bytes = static_cast<size_t>(image.Image->bytes_per_line) * height;
  image.Info.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (image.Info.shmid < 0) {
    FreeImage(s.Dpy, image);
    return false;
  }
  image.Info.shmaddr = static_cast<char*>(shmat(image.Info.shmid, nullptr, 0));
  image.Image->data = image.Info.shmaddr;
  image.Info.readOnly = True;
  bool ok = image.Info.shmaddr != reinterpret_cast<char*>(-1);
  if (ok) {
    XShmAttach(s.Dpy, &image.Info);
    XSync(s.Dpy, False);
    ok = !TakeFailure(s.Dpy);
    image.Attached = ok;
  }
  // Marked for removal now: the segment goes when both sides have detached, even after a crash.
  shmctl(image.Info.shmid, IPC_RMID, nullptr);
  if (!ok) FreeImage(s.Dpy, image);
  return ok;
}

// Handles one event of the window's connection; true when it asks for a redraw.
bool HandleEvent(TX11ShmState& s, const XEvent& event) {
  if (event.type == s.CompletionType) {
    const auto& done = reinterpret_cast<const XShmCompletionEvent&>(event);
    if (s.Image.Attached && s.Image.Info.shmseg == done.shmseg) s.Image.Busy = false;
    return false;
  }
  return event.type == Expose;
}

// Waits until the server has read `image` (a put is answered within a frame or so; after
// half a second the image is written anyway rather than hang a player on a stuck server).
// Returns whether an expose came meanwhile.
bool WaitUntilRead(TX11ShmState& s, TShmImage& image) {
  bool exposed = false;
  for (int waited = 0; image.Busy && waited < 500;) {
    while (image.Busy && XPending(s.Dpy) > 0) {
      XEvent event;
      XNextEvent(s.Dpy, &event);
      exposed = HandleEvent(s, event) || exposed;
    }
    if (!image.Busy) break;
    pollfd fd{ConnectionNumber(s.Dpy), POLLIN, 0};
    poll(&fd, 1, 20);
    waited += 20;
  }
  image.Busy = false;
  return exposed;
}

}  // namespace

TX11ShmWindow::TX11ShmWindow() : State_(std::make_unique<TX11ShmState>()) {}

std::unique_ptr<TX11ShmWindow> TX11ShmWindow::Create(const char* displayName, unsigned long parent) {
  if (!parent) return nullptr;
  Display* display = XOpenDisplay(displayName);
  if (!display) return nullptr;
  Watch(display);
  std::unique_ptr<TX11ShmWindow> window(new TX11ShmWindow());
  TX11ShmState& s = *window->State_;
  s.Dpy = display;
  int screen = DefaultScreen(display);
  s.Vis = DefaultVisual(display, screen);
  // BGRX in memory is what the renderers write: 24-bit TrueColor with red in the high byte.
  if (!XShmQueryExtension(display) || DefaultDepth(display, screen) != 24 || s.Vis->c_class != TrueColor ||
      s.Vis->red_mask != 0xFF0000 || s.Vis->green_mask != 0xFF00 || s.Vis->blue_mask != 0xFF)
    return nullptr;
  XSetWindowAttributes attributes{};
  attributes.background_pixel = BlackPixel(display, screen);
  attributes.event_mask = ExposureMask;
  attributes.bit_gravity = NorthWestGravity;
  s.Win = XCreateWindow(display, parent, 0, 0, 1, 1, 0, CopyFromParent, InputOutput, CopyFromParent,
                        CWBackPixel | CWEventMask | CWBitGravity, &attributes);
  XSync(display, False);
  if (TakeFailure(display) || !s.Win) {
    s.Win = 0;
    return nullptr;
  }
  s.Gc = XCreateGC(display, s.Win, 0, nullptr);
  s.CompletionType = XShmGetEventBase(display) + ShmCompletion;
  // A small image proves that the server can reach our shared memory (a remote display
  // cannot).
  TShmImage probe;
  if (!s.Gc || !MakeImage(s, probe, 16, 16)) return nullptr;
  FreeImage(display, probe);
  XSync(display, False);
  return window;
}

TX11ShmWindow::~TX11ShmWindow() {
  std::lock_guard<std::mutex> lock(Mutex_);
  TX11ShmState& s = *State_;
  if (!s.Dpy) return;
  FreeImage(s.Dpy, s.Image);
  if (s.Gc) XFreeGC(s.Dpy, s.Gc);
  if (s.Win) XDestroyWindow(s.Dpy, s.Win);  // already gone when the parent went first: swallowed
  XSync(s.Dpy, False);
  Unwatch(s.Dpy);
  XCloseDisplay(s.Dpy);
}

void TX11ShmWindow::SetGeometry(int left, int top, int width, int height) {
  std::lock_guard<std::mutex> lock(Mutex_);
  TX11ShmState& s = *State_;
  width = std::max(1, width);
  height = std::max(1, height);
  XMoveResizeWindow(s.Dpy, s.Win, left, top, static_cast<unsigned>(width), static_cast<unsigned>(height));
  s.Width = width;
  s.Height = height;
  XFlush(s.Dpy);
}

void TX11ShmWindow::SetMapped(bool mapped) {
  std::lock_guard<std::mutex> lock(Mutex_);
  TX11ShmState& s = *State_;
  if (mapped == s.Mapped) return;
  s.Mapped = mapped;
  if (mapped) {
    XMapRaised(s.Dpy, s.Win);
  } else {
    XUnmapWindow(s.Dpy, s.Win);
  }
  XSync(s.Dpy, False);
  TakeFailure(s.Dpy);
}

bool TX11ShmWindow::Mapped() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return State_->Mapped;
}

void TX11ShmWindow::SetBackground(uint32_t rgb) {
  std::lock_guard<std::mutex> lock(Mutex_);
  TX11ShmState& s = *State_;
  XSetWindowBackground(s.Dpy, s.Win, rgb & 0x00FFFFFFU);
  XFlush(s.Dpy);
}

bool TX11ShmWindow::BeginFrame(int width, int height, TFrameTarget* target) {
  std::lock_guard<std::mutex> lock(Mutex_);
  TX11ShmState& s = *State_;
  if (s.Writing || width != s.Width || height != s.Height || width <= 0 || height <= 0) return false;
  TShmImage& image = s.Image;
  // One image, not two: at 1080p a second one is 8 MB held for nothing. The server reads a put
  // within a millisecond or two, long before the next frame is due, so the writer does not wait
  // in practice (a burst after a seek waits for that millisecond).
  WaitUntilRead(s, image);
  if (!image.Image || image.Image->width != width || image.Image->height != height) {
    FreeImage(s.Dpy, image);
    s.Drawn = false;
    if (!MakeImage(s, image, width, height)) return false;
  }
  s.Writing = true;
  *target = TFrameTarget{reinterpret_cast<uint8_t*>(image.Image->data), width, height, image.Image->bytes_per_line};
  return true;
}

void TX11ShmWindow::EndFrame(bool show) {
  {
    std::lock_guard<std::mutex> lock(Mutex_);
    TX11ShmState& s = *State_;
    if (!s.Writing) return;
    s.Writing = false;
    s.Drawn = true;
    // A frame written but not to be shown is still what a redraw shows from now on: the
    // image holds nothing else.
    if (show || s.RedrawPending) {
      PutLocked();
      // The writer sleeps until the server has read the frame instead of running on into
      // the next one. The put woke the server onto this core, in the belief that the writer
      // would now wait; a writer that decodes on for a few milliseconds instead keeps it from
      // running (even with the other core idle), and frames reach the screen late by as
      // much, unevenly. Waiting here costs no processor time. An expose that came
      // meanwhile gets one more put.
      if (WaitUntilRead(s, s.Image)) PutLocked();
    }
    s.RedrawPending = false;
  }
  Written_.notify_all();
}

void TX11ShmWindow::Redraw() {
  std::lock_guard<std::mutex> lock(Mutex_);
  TX11ShmState& s = *State_;
  if (s.Writing) {
    s.RedrawPending = true;  // EndFrame puts it whole
    return;
  }
  if (s.Drawn) PutLocked();  // a second put of an unchanged image is harmless
}

void TX11ShmWindow::PutLocked() {
  TX11ShmState& s = *State_;
  XImage* image = s.Image.Image;
  if (!image || !s.Mapped) return;
  unsigned w = static_cast<unsigned>(std::min(image->width, s.Width));
  unsigned h = static_cast<unsigned>(std::min(image->height, s.Height));
  // The server reads the image when it gets to the request; it is written again only once
  // the server has said it is done (the completion event).
  if (XShmPutImage(s.Dpy, s.Win, s.Gc, image, 0, 0, 0, 0, w, h, True)) s.Image.Busy = true;
  XFlush(s.Dpy);
}

void TX11ShmWindow::ProcessEvents() {
  std::lock_guard<std::mutex> lock(Mutex_);
  TX11ShmState& s = *State_;
  bool exposed = false;
  while (XPending(s.Dpy) > 0) {
    XEvent event;
    XNextEvent(s.Dpy, &event);
    exposed = HandleEvent(s, event) || exposed;
  }
  if (!exposed || !s.Drawn) return;
  if (s.Writing) {
    s.RedrawPending = true;
  } else if (!s.Image.Busy) {
    PutLocked();
  }
}

int TX11ShmWindow::ConnectionFd() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return ConnectionNumber(State_->Dpy);
}

unsigned long TX11ShmWindow::WindowId() const {
  std::lock_guard<std::mutex> lock(Mutex_);
  return State_->Win;
}

bool TX11ShmWindow::CurrentLocked(std::unique_lock<std::mutex>& lock, TFrameTarget* target) const {
  const TX11ShmState& s = *State_;
  // A frame being written is half old, half new: wait for the writer (a conversion takes a
  // few milliseconds; a writer that never ends is not waited for).
  if (!Written_.wait_for(lock, std::chrono::milliseconds(200), [&s] { return !s.Writing; })) return false;
  if (!s.Drawn || !s.Image.Image) return false;
  XImage* image = s.Image.Image;
  *target = TFrameTarget{reinterpret_cast<uint8_t*>(image->data), image->width, image->height, image->bytes_per_line};
  return true;
}

}  // namespace kv::video
