// The frame grabber over a decoder's picture carried in place: it keeps the picture by
// reference (no copy per frame) and captures it from its own planes.
#include <gtest/gtest.h>

#include "engine/ivfgrab.h"
#include "filters/grabber/frame_grabber.h"
#include "filters/render/render_registration.h"
#include "filters/render/renderer_interfaces.h"
#include "platform/com/class_registry.h"
#include "platform/graph/media_guids.h"
#include "test_pictures.h"
#include "test_source.h"

namespace kv {
namespace {

using kv::testing::InputPin;
using kv::testing::OutputPin;
using render::TPixelLayout;

constexpr int W = 64, H = 48;

TEST(FrameGrabber, PictureCarriedInPlace_isKeptByReference_andCapturedFromItsPlanes) {
  render::RegisterRenderFilters(ClassRegistry());
  ComPtr<IBaseFilter> grabber(new TFrameGrabber);
  ComPtr<IBaseFilter> sink;
  ASSERT_EQ(CoCreateInstance(render::KClsidNullRenderer, &sink), S_OK);
  const int32_t bytes = W * H * 3 / 2;
  ComPtr<kv::testing::TTestSource> source{
      new kv::testing::TTestSource(kv::testing::VideoType(MEDIASUBTYPE_I420, W, H), bytes, 2)};
  ASSERT_EQ(source->ConnectTo(InputPin(grabber.Get(), 0)), S_OK);
  ASSERT_EQ(OutputPin(grabber.Get(), 0)->Connect(InputPin(sink.Get(), 0), nullptr), S_OK);
  for (IBaseFilter* f : {sink.Get(), grabber.Get()}) f->SetSyncSource(nullptr);
  for (IBaseFilter* f : {sink.Get(), grabber.Get(), static_cast<IBaseFilter*>(source.Get())}) f->Pause();
  for (IBaseFilter* f : {sink.Get(), grabber.Get(), static_cast<IBaseFilter*>(source.Get())}) f->Run(0);

  auto picture = std::make_shared<kv::testing::TPaddedPicture>(
      W, H, kv::testing::MakePicture(TPixelLayout::I420, W, H,
                                     [](int x, int y) { return kv::testing::QuadrantColor(x, y, W, H); }));
  ASSERT_EQ(source->DeliverPicture(picture, bytes, 0, 400000), S_OK);
  EXPECT_EQ(picture->Writes.load(), 0) << "the grabber asked for the bytes: a copy per frame";

  // Stopped, the graph has given every sample back; the grabber still captures the picture.
  for (IBaseFilter* f : {static_cast<IBaseFilter*>(source.Get()), grabber.Get(), sink.Get()}) f->Stop();
  ComPtr<IFrameGrabber> frames;
  ASSERT_EQ(grabber->QueryInterface(IFrameGrabber::kIid, frames.PutVoid()), S_OK);
  uint8_t* bitmap = nullptr;
  int32_t size = 0, w = 0, h = 0;
  ASSERT_EQ(frames->GetFrame(FrameFormatRGB24, 0, &bitmap, &size, &w, &h), S_OK);
  ASSERT_EQ(w, W);
  ASSERT_EQ(h, H);
  // A bottom-up 24-bit bitmap: row 0 in memory is the picture's last row.
  auto pixel = [&](int x, int y) {
    const uint8_t* p = bitmap + static_cast<size_t>(H - 1 - y) * W * 3 + x * 3;
    return static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[0];
  };
  EXPECT_TRUE(kv::testing::Near(pixel(5, 5), kv::testing::KRed));
  EXPECT_TRUE(kv::testing::Near(pixel(60, 5), kv::testing::KGreen));
  EXPECT_TRUE(kv::testing::Near(pixel(5, 40), kv::testing::KBlue));
  EXPECT_TRUE(kv::testing::Near(pixel(W - 1, H - 1), kv::testing::KWhite));
  EXPECT_EQ(frames->FreeFrame(bitmap, size), S_OK);
  EXPECT_EQ(picture->Writes.load(), 0);

  kv::testing::Unplug(InputPin(sink.Get(), 0));
  kv::testing::Unplug(InputPin(grabber.Get(), 0));
}

}  // namespace
}  // namespace kv
