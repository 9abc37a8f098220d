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

}  // namespace kv::testing
