// TX11ShmWindow: a native X child window that shows 32-bit RGB pictures from shared memory
// (MIT-SHM), the fast way to put a video frame on an X display.
//
// What it is: the window lies inside a window of the program's (the top-level window the
// video surface sits in) and shows the last frame written into its shared-memory image
// (XShmPutImage). A renderer converts straight into the image it is lent (BeginFrame), so a
// frame goes from the decoder's picture to the X server with one conversion and no copy.
// EndFrame waits until the server has read the put (its completion event, a millisecond
// or so), so the image is free again for the next frame. The window selects no input, so
// the mouse and keys reach the program's own window beneath as before, and it has no
// cursor of its own.
//
// Where it cannot work, Create() returns null and the caller keeps drawing its own way: no X
// display, no MIT-SHM extension, a display the server cannot share memory with (a remote
// one: attaching fails), or a screen whose default visual is not 24-bit TrueColor.
//
// Ownership and threads: the caller owns the object. It has its own X connection; every
// call takes Mutex_, so BeginFrame/EndFrame may come from a streaming thread while the
// window's owner moves, shows or redraws it from the user-interface thread. Between
// BeginFrame and EndFrame the lent image is the writer's: a resize then waits for the next
// frame, a redraw is done by EndFrame, and a reader (ReadCurrent) waits until it is whole.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "platform/video/rgb_image.h"

namespace kv::video {

struct TX11ShmState;

class TX11ShmWindow {
 public:
  // A child window of `parent` (an X window id) on `displayName` (null: $DISPLAY),
  // unmapped; null when the display cannot take shared-memory images (see above).
  static std::unique_ptr<TX11ShmWindow> Create(const char* displayName, unsigned long parent);
  ~TX11ShmWindow();
  TX11ShmWindow(const TX11ShmWindow&) = delete;
  TX11ShmWindow& operator=(const TX11ShmWindow&) = delete;

  // Place and size in the parent (pixels); pictures are made at this size.
  void SetGeometry(int left, int top, int width, int height);
  void SetMapped(bool mapped);
  bool Mapped() const;
  // Colour of the window where no frame has been drawn, 0x00RRGGBB.
  void SetBackground(uint32_t rgb);

  // Lends the image for the next frame at the window's size (`width` x `height` must match
  // it, else false: the window was resized meanwhile). Streaming thread.
  bool BeginFrame(int width, int height, TFrameTarget* target);
  // Shows the image lent by BeginFrame (when `show`) and makes it the current one; returns
  // once the server has read it.
  void EndFrame(bool show);
  // Shows the current image again (after an expose).
  void Redraw();
  // Reads the window's pending events; redraws when part of it was exposed. For the
  // owner's event loop, when the connection's descriptor (ConnectionFd) is readable.
  void ProcessEvents();
  int ConnectionFd() const;
  unsigned long WindowId() const;

  // Calls `read` with the current image (for a fallback painter or a capture) under the
  // window's lock; false when no frame was drawn yet.
  template <class F>
  bool ReadCurrent(F&& read) const {
    std::unique_lock<std::mutex> lock(Mutex_);
    TFrameTarget current;
    if (!CurrentLocked(lock, &current)) return false;
    read(static_cast<const TFrameTarget&>(current));
    return true;
  }

 private:
  TX11ShmWindow();
  bool CurrentLocked(std::unique_lock<std::mutex>& lock, TFrameTarget* target) const;
  void PutLocked();

  mutable std::mutex Mutex_;  // guards State_ (the connection, the window and the image)
  mutable std::condition_variable Written_;  // with Mutex_: the lent image came back (EndFrame)
  std::unique_ptr<TX11ShmState> State_;
};

}  // namespace kv::video
