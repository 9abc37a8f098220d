// A video surface that records what a renderer does to it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

#include "platform/video/video_surface.h"

namespace kv::testing {

class TFakeSurface : public video::IVideoSurface {
 public:
  TFakeSurface(int w, int h) : W_(w), H_(h) {}
  void Present(std::shared_ptr<const video::TRgbImage> frame) override {
    std::lock_guard<std::mutex> lock(Mutex_);
    Last_ = std::move(frame);
    ++Presents_;
    Presented_.notify_all();
  }
  // Waits (up to 10 s) until at least n frames were presented; returns whether they were.
  bool WaitPresents(int n) {
    std::unique_lock<std::mutex> lock(Mutex_);
    return Presented_.wait_for(lock, std::chrono::seconds(10), [&] { return Presents_ >= n; });
  }
  int Width() const override { return W_; }
  int Height() const override { return H_; }
  void SetGeometry(const video::TSurfaceRect& rect) override {
    std::lock_guard<std::mutex> lock(Mutex_);
    Geometry_ = rect;
  }
  void SetVisible(bool visible) override {
    std::lock_guard<std::mutex> lock(Mutex_);
    Visible_ = visible;
  }
  void Repaint() override {
    std::lock_guard<std::mutex> lock(Mutex_);
    ++Repaints_;
  }
  void SetBackground(uint32_t) override {}

  std::shared_ptr<const video::TRgbImage> Last() {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Last_;
  }
  int Presents() {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Presents_;
  }
  int Repaints() {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Repaints_;
  }
  video::TSurfaceRect Geometry() {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Geometry_;
  }
  bool Visible() {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Visible_;
  }

 private:
  std::mutex Mutex_;  // guards everything below
  std::condition_variable Presented_;
  int W_, H_;
  std::shared_ptr<const video::TRgbImage> Last_;
  int Presents_ = 0;
  int Repaints_ = 0;
  video::TSurfaceRect Geometry_;
  bool Visible_ = false;
};

// A surface that shows frames from memory of its own (as the shared-memory X window does):
// it lends an image of its size while Lending is set, else declines.
class TLendingSurface : public TFakeSurface {
 public:
  using TFakeSurface::TFakeSurface;
  bool BeginDirectFrame(int width, int height, video::TFrameTarget* target) override {
    if (!Lending || width != Width() || height != Height()) return false;
    Image.Resize(width, height);
    Image.Fill(0xABCDEF);  // what the renderer does not write stays visible
    *target = video::TFrameTarget{Image.Pixels.data(), Image.Width, Image.Height, Image.Stride};
    return true;
  }
  void EndDirectFrame(bool show) override { Shown += show ? 1 : 0; }
  bool Lending = true;
  video::TRgbImage Image;
  int Shown = 0;
};

}  // namespace kv::testing
