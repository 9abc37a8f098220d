// Harness tests of the video renderers: test source pins in, a fake surface out, a fake
// clock for the timing.
#include <atomic>
#include <thread>

#include <gtest/gtest.h>

#include "fake_clock.h"
#include "fake_surface.h"
#include "filters/render/render_registration.h"
#include "filters/render/renderer_interfaces.h"
#include "filters/render/windowed_renderer.h"
#include "platform/com/class_registry.h"
#include "platform/graph/media_guids.h"
#include "platform/graph/media_sample.h"
#include "platform/graph/renderer_base.h"
#include "test_pictures.h"
#include "test_source.h"

namespace kv::render {
namespace {

using kv::testing::InputPin;
using kv::testing::KBlue;
using kv::testing::KGreen;
using kv::testing::KRed;
using kv::testing::KWhite;
using kv::testing::MakePicture;
using kv::testing::Near;
using kv::testing::OutputPin;
using kv::testing::TFakeClock;
using kv::testing::TFakeSurface;
using kv::testing::TTestSource;

constexpr int W = 64, H = 48;
constexpr REFERENCE_TIME Ms = 10000;

template <class I>
ComPtr<I> Create(const CLSID& clsid) {
  RegisterRenderFilters(ClassRegistry());
  ComPtr<I> object;
  EXPECT_EQ(CoCreateInstance(clsid, &object), S_OK);
  return object;
}

template <class I, class From>
ComPtr<I> Query(From* from) {
  ComPtr<I> out;
  from->QueryInterface(I::kIid, out.PutVoid());
  return out;
}

std::vector<uint8_t> Quadrants() {
  return MakePicture(TPixelLayout::RGB32, W, H, [](int x, int y) { return kv::testing::QuadrantColor(x, y, W, H); });
}

std::vector<uint8_t> SolidPicture(uint32_t rgb) {
  return MakePicture(TPixelLayout::RGB32, W, H, [rgb](int, int) { return rgb; });
}

// One "Video Renderer" fed by a top-down RGB32 source, drawing into a W x H fake surface.
struct TVideoHarness {
  ComPtr<IBaseFilter> Renderer = Create<IBaseFilter>(KClsidVideoRenderer);
  ComPtr<TTestSource> Source{new TTestSource(kv::testing::VideoType(MEDIASUBTYPE_RGB32, W, H, true), W * H * 4)};
  std::shared_ptr<TFakeSurface> Surface = std::make_shared<TFakeSurface>(W, H);
  video::TSurfaceHandle Handle = video::RegisterSurface(Surface);
  ComPtr<IVideoWindow> Window = Query<IVideoWindow>(Renderer.Get());
  ComPtr<IBasicVideo> Basic = Query<IBasicVideo>(Renderer.Get());
  TBaseRenderer* Base = dynamic_cast<TBaseRenderer*>(Renderer.Get());

  TVideoHarness() {
    EXPECT_EQ(Source->ConnectTo(InputPin(Renderer.Get(), 0)), S_OK);
    EXPECT_EQ(Window->put_Owner(static_cast<OAHWND>(Handle)), S_OK);
  }
  ~TVideoHarness() {
    Renderer->Stop();
    Source->Stop();
    kv::testing::Unplug(InputPin(Renderer.Get(), 0));
    video::UnregisterSurface(Handle);
  }
  void RunUnclocked() {
    Renderer->SetSyncSource(nullptr);
    Source->Pause();
    Renderer->Run(0);
    Source->Run(0);
  }
  // Runs the graph on a fake clock standing at `now`.
  ComPtr<TFakeClock> RunClocked(REFERENCE_TIME now = 0) {
    ComPtr<TFakeClock> clock(new TFakeClock);
    clock->SetTime(now);
    Renderer->SetSyncSource(clock.Get());
    Source->Pause();
    Renderer->Pause();
    Renderer->Run(0);
    Source->Run(0);
    return clock;
  }
  uint32_t Pixel(int x, int y) { return Surface->Last() ? Surface->Last()->At(x, y) : 0xDEADBEEF; }
};

TEST(VideoRenderer, Unclocked_presentsAtOnceIntoTheOwnersSurface) {
  TVideoHarness h;
  h.RunUnclocked();
  ASSERT_EQ(h.Source->Deliver(Quadrants(), 50000000, 50400000), S_OK);  // far in the future: no clock, no wait
  ASSERT_EQ(h.Surface->Presents(), 1);
  EXPECT_TRUE(Near(h.Pixel(5, 5), KRed, 2));
  EXPECT_TRUE(Near(h.Pixel(60, 5), KGreen, 2));
  EXPECT_TRUE(Near(h.Pixel(5, 40), KBlue, 2));
  EXPECT_TRUE(Near(h.Pixel(60, 40), KWhite, 2));
  int32_t w = 0, hh = 0;
  EXPECT_EQ(h.Basic->GetVideoSize(&w, &hh), S_OK);
  EXPECT_EQ(w, W);
  EXPECT_EQ(hh, H);
  REFERENCE_TIME avg = 0;
  EXPECT_EQ(h.Basic->get_AvgTimePerFrame(&avg), S_OK);
  EXPECT_EQ(avg, 400000);
}

// The engine's digital zoom (factor z, position x/y in -100..100, crop c) becomes a source
// rectangle; these rows follow its formula and check which part of the picture is shown.
TEST(VideoRenderer, SourceRectangle_zoomPanAndCrop_showTheChosenPart) {
  TVideoHarness h;
  h.RunUnclocked();
  ASSERT_EQ(h.Source->Deliver(Quadrants(), 0, 400000), S_OK);
  struct TRow {
    const char* Name;
    int32_t Left, Top, Width, Height;
    uint32_t TopLeft, BottomRight;
  } rows[] = {
      // zoom 2 at (-100,-100): left = round(32 - 16 + 32 * -100 / 200) = 0
      {"zoom 2, top-left", 0, 0, 32, 24, KRed, KRed},
      // zoom 2 at (100,100): left = round(32 - 16 + 16) = 32, top = 24
      {"zoom 2, bottom-right", 32, 24, 32, 24, KWhite, KWhite},
      // zoom 2 at (100,-100)
      {"zoom 2, top-right", 32, 0, 32, 24, KGreen, KGreen},
      // crop 50 (width): offX = 64*50/200 = 16, w = 32; zoom 1 centred: left = 16
      {"crop 50", 16, 0, 32, 48, KRed, KWhite},
      // no zoom
      {"whole", 0, 0, 64, 48, KRed, KWhite},
  };
  for (const TRow& row : rows) {
    ASSERT_EQ(h.Basic->SetSourcePosition(row.Left, row.Top, row.Width, row.Height), S_OK) << row.Name;
    EXPECT_TRUE(Near(h.Pixel(2, 2), row.TopLeft, 2)) << row.Name << std::hex << " " << h.Pixel(2, 2);
    EXPECT_TRUE(Near(h.Pixel(W - 3, H - 3), row.BottomRight, 2)) << row.Name << std::hex << " " << h.Pixel(W - 3, H - 3);
  }
  // The crop row's picture: quadrant border at source x 32 lands in the middle.
  ASSERT_EQ(h.Basic->SetSourcePosition(16, 0, 32, 48), S_OK);
  EXPECT_TRUE(Near(h.Pixel(W / 2 - 4, 5), KRed, 2));
  EXPECT_TRUE(Near(h.Pixel(W / 2 + 4, 5), KGreen, 2));
}

TEST(VideoRenderer, SourceRectangle_outsideTheVideo_isRefusedAndKept) {
  TVideoHarness h;
  const int32_t bad[][4] = {{40, 0, 32, 24}, {0, 0, 0, 10}, {-1, 0, 10, 10}, {0, 30, 10, 20}, {0, 0, 65, 48}};
  for (const auto& r : bad) EXPECT_EQ(h.Basic->SetSourcePosition(r[0], r[1], r[2], r[3]), E_INVALIDARG);
  int32_t l, t, w, hh;
  ASSERT_EQ(h.Basic->GetSourcePosition(&l, &t, &w, &hh), S_OK);
  EXPECT_EQ(std::vector<int32_t>({l, t, w, hh}), std::vector<int32_t>({0, 0, W, H}));
  ASSERT_EQ(h.Basic->SetSourcePosition(8, 8, 16, 16), S_OK);
  ASSERT_EQ(h.Basic->SetDefaultSourcePosition(), S_OK);
  ASSERT_EQ(h.Basic->GetSourcePosition(&l, &t, &w, &hh), S_OK);
  EXPECT_EQ(w, W);
}

TEST(VideoRenderer, WindowCalls_reachTheSurface) {
  TVideoHarness h;
  EXPECT_EQ(h.Window->SetWindowPosition(0, 0, 320, 239), S_OK);
  EXPECT_EQ(h.Surface->Geometry(), (video::TSurfaceRect{0, 0, 320, 239}));
  EXPECT_EQ(h.Window->put_Visible(OATRUE), S_OK);
  EXPECT_TRUE(h.Surface->Visible());
  EXPECT_EQ(h.Window->NotifyOwnerMessage(0, 20 /* WM_ERASEBKGND */, 0, 0), S_OK);
  EXPECT_EQ(h.Surface->Repaints(), 1);
  EXPECT_EQ(h.Window->put_Visible(OAFALSE), S_OK);
  EXPECT_FALSE(h.Surface->Visible());
  OAHWND owner = 0;
  EXPECT_EQ(h.Window->get_Owner(&owner), S_OK);
  EXPECT_EQ(owner, static_cast<OAHWND>(h.Handle));
  // An owner handle that names no surface: the renderer keeps working without a window.
  EXPECT_EQ(h.Window->put_Owner(12345), S_OK);
  h.RunUnclocked();
  EXPECT_EQ(h.Source->Deliver(Quadrants(), 0, 1), S_OK);
  EXPECT_EQ(h.Surface->Presents(), 0);
}

TEST(VideoRenderer, Clocked_waitsForTheFrameTime_thenPresents) {
  TVideoHarness h;
  ComPtr<TFakeClock> clock = h.RunClocked();
  HRESULT result = E_FAIL;
  std::thread stream([&] { result = h.Source->Deliver(Quadrants(), 100 * Ms, 140 * Ms); });
  clock->WaitForAdvises(1);
  EXPECT_EQ(h.Surface->Presents(), 0);  // not yet: the clock is at 0
  clock->SetTime(100 * Ms);
  stream.join();
  EXPECT_EQ(result, S_OK);
  EXPECT_EQ(h.Surface->Presents(), 1);
  EXPECT_EQ(h.Base->FramesRendered(), 1);
}

TEST(VideoRenderer, Clocked_lateFrameIsDroppedAndCounted_butNeverTheFirst) {
  TVideoHarness h;
  dynamic_cast<TWindowedRenderer*>(h.Renderer.Get())->SetStartGrace(std::chrono::milliseconds(0));
  ComPtr<TFakeClock> clock = h.RunClocked(10000 * Ms);  // ten seconds after stream start
  EXPECT_EQ(h.Source->Deliver(Quadrants(), 0, 40 * Ms), S_OK);        // first after Run: shown though late
  EXPECT_EQ(h.Source->Deliver(Quadrants(), 40 * Ms, 80 * Ms), S_OK);  // late: dropped
  EXPECT_EQ(h.Source->Deliver(Quadrants(), 80 * Ms, 120 * Ms), S_OK);
  EXPECT_EQ(h.Base->FramesRendered(), 1);
  EXPECT_EQ(h.Base->FramesDropped(), 2);
  EXPECT_EQ(h.Surface->Presents(), 1);
}

TEST(VideoRenderer, Clocked_aFrameLateWithinItsOwnTimeIsShown_oneWhoseTimeIsOverIsDropped) {
  TVideoHarness h;
  dynamic_cast<TWindowedRenderer*>(h.Renderer.Get())->SetStartGrace(std::chrono::milliseconds(0));
  ComPtr<TFakeClock> clock = h.RunClocked();
  EXPECT_EQ(h.Source->Deliver(Quadrants(), 0, 40 * Ms), S_OK);
  clock->SetTime(70 * Ms);  // 30 ms into the next frame's 40: late, but still its time
  EXPECT_EQ(h.Source->Deliver(Quadrants(), 40 * Ms, 80 * Ms), S_OK);
  clock->SetTime(125 * Ms);  // past the end of the frame after it
  EXPECT_EQ(h.Source->Deliver(Quadrants(), 80 * Ms, 120 * Ms), S_OK);
  EXPECT_EQ(h.Base->FramesRendered(), 2);
  EXPECT_EQ(h.Base->FramesDropped(), 1);
}

TEST(VideoRenderer, Clocked_afterAFrameOnTime_theStreamRests_untilAFlushOrAPause) {
  TVideoHarness h;
  auto* windowed = dynamic_cast<TWindowedRenderer*>(h.Renderer.Get());
  windowed->SetMaxRest(std::chrono::hours(1));  // only a flush or a pause can end it
  ComPtr<TFakeClock> clock = h.RunClocked();
  // A quarter of the frame.
  EXPECT_EQ(windowed->RestAfterRender(40 * Ms), 10 * Ms);
  std::atomic<bool> returned{false};
  std::thread stream([&] {
    h.Source->Deliver(Quadrants(), 0, 40000 * Ms);  // a 40-s frame: a 10-s rest
    returned = true;
  });
  ASSERT_TRUE(h.Surface->WaitPresents(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(returned);  // resting after the frame it showed
  h.Source->BeginFlush();
  for (int i = 0; i < 5000 && !returned; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(returned);  // at once, not after the 10 s
  stream.join();
  h.Source->EndFlush();
  // A pause ends it too.
  stream = std::thread([&] { h.Source->Deliver(Quadrants(), 40000 * Ms, 80000 * Ms); });
  clock->SetTime(40000 * Ms);
  ASSERT_TRUE(h.Surface->WaitPresents(2));
  h.Renderer->Pause();
  stream.join();
  EXPECT_EQ(h.Base->FramesRendered(), 2);
}

TEST(VideoRenderer, JustAfterRun_lateFramesAreShownNotDropped) {
  TVideoHarness h;
  dynamic_cast<TWindowedRenderer*>(h.Renderer.Get())->SetStartGrace(std::chrono::hours(1));
  ComPtr<TFakeClock> clock = h.RunClocked(10000 * Ms);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(h.Source->Deliver(Quadrants(), i * 40 * Ms, (i + 1) * 40 * Ms), S_OK);
  EXPECT_EQ(h.Base->FramesDropped(), 0);
  EXPECT_EQ(h.Surface->Presents(), 4);
}

TEST(VideoRenderer, Paused_prerollsAndShowsTheFirstFrame_untilStopped) {
  TVideoHarness h;
  ComPtr<TFakeClock> clock(new TFakeClock);
  h.Renderer->SetSyncSource(clock.Get());
  h.Source->Pause();
  EXPECT_EQ(h.Renderer->Pause(), VFW_S_STATE_INTERMEDIATE);  // nothing prerolled yet
  HRESULT result = E_FAIL;
  std::thread stream([&] { result = h.Source->Deliver(Quadrants(), 0, 40 * Ms); });
  FILTER_STATE state;
  EXPECT_EQ(h.Renderer->GetState(0xFFFFFFFFu, &state), S_OK);
  EXPECT_EQ(state, State_Paused);
  // The preroll frame goes on screen (the base class reports ready just before drawing it).
  ASSERT_TRUE(h.Surface->WaitPresents(1));
  // A zoom while paused redraws the held picture at once.
  ASSERT_EQ(h.Basic->SetSourcePosition(32, 24, 32, 24), S_OK);
  EXPECT_EQ(h.Surface->Presents(), 2);
  EXPECT_TRUE(Near(h.Pixel(10, 10), KWhite, 2));
  h.Renderer->Stop();  // releases the held sample
  stream.join();
  h.Source->Stop();
}

// The decoder's pictures reach the screen without being copied into the sample, and the
// renderer keeps the picture itself for redraws: the sample's buffer goes back to the pool.
TEST(VideoRenderer, PictureCarriedInPlace_isDrawnFromItsPlanes_andKeptWithoutItsSample) {
  ComPtr<IBaseFilter> renderer = Create<IBaseFilter>(KClsidVideoRenderer);
  const int32_t bytes = W * H * 3 / 2;
  ComPtr<TTestSource> source{new TTestSource(kv::testing::VideoType(MEDIASUBTYPE_I420, W, H), bytes, 3)};
  auto surface = std::make_shared<TFakeSurface>(W, H);
  video::TSurfaceHandle handle = video::RegisterSurface(surface);
  ASSERT_EQ(source->ConnectTo(InputPin(renderer.Get(), 0)), S_OK);
  ComPtr<IVideoWindow> window = Query<IVideoWindow>(renderer.Get());
  ComPtr<IBasicVideo> basic = Query<IBasicVideo>(renderer.Get());
  ASSERT_EQ(window->put_Owner(static_cast<OAHWND>(handle)), S_OK);
  renderer->SetSyncSource(nullptr);
  source->Pause();
  renderer->Run(0);
  source->Run(0);

  auto picture = std::make_shared<kv::testing::TPaddedPicture>(
      W, H, MakePicture(TPixelLayout::I420, W, H, [](int x, int y) { return kv::testing::QuadrantColor(x, y, W, H); }));
  std::weak_ptr<kv::testing::TPaddedPicture> alive = picture;
  ASSERT_EQ(source->DeliverPicture(picture, bytes, 0, 40 * Ms), S_OK);
  ASSERT_EQ(surface->Presents(), 1);
  auto pixel = [&](int x, int y) { return surface->Last() ? surface->Last()->At(x, y) : 0xDEADBEEF; };
  EXPECT_TRUE(Near(pixel(5, 5), KRed));
  EXPECT_TRUE(Near(pixel(60, 5), KGreen));
  EXPECT_TRUE(Near(pixel(5, 40), KBlue));
  EXPECT_TRUE(Near(pixel(W - 1, H - 1), KWhite));  // the last column: no padding shows
  EXPECT_EQ(picture->Writes.load(), 0);             // never copied into the sample
  picture.reset();

  // The sample is back in the pool; the picture lives on in the renderer for redraws.
  auto* allocator = dynamic_cast<TMemAllocator*>(source->Out()->Allocator());
  ASSERT_NE(allocator, nullptr);
  EXPECT_EQ(allocator->Outstanding(), 0);
  ASSERT_FALSE(alive.expired());
  ASSERT_EQ(basic->SetSourcePosition(32, 24, 32, 24), S_OK);  // zoom into the white quadrant
  EXPECT_EQ(surface->Presents(), 2);
  EXPECT_TRUE(Near(pixel(10, 10), KWhite));

  // Stopping lets go of it.
  renderer->Stop();
  source->Stop();
  EXPECT_TRUE(alive.expired());
  kv::testing::Unplug(InputPin(renderer.Get(), 0));
  video::UnregisterSurface(handle);
}

struct TMixHarness {
  ComPtr<TTestSource> Video{new TTestSource(kv::testing::VideoType(MEDIASUBTYPE_RGB32, W, H, true), W * H * 4)};
  ComPtr<TTestSource> Page{new TTestSource(kv::testing::VideoType(MEDIASUBTYPE_RGB32, W / 2, H / 2, true), W * H)};
  std::shared_ptr<TFakeSurface> Surface = std::make_shared<TFakeSurface>(W, H);
  video::TSurfaceHandle Handle = video::RegisterSurface(Surface);
  ~TMixHarness() { video::UnregisterSurface(Handle); }

  // A page of half the video's size: key colour, with a red block at page (4..11, 4..11).
  std::vector<uint8_t> PagePicture(uint32_t key) {
    return MakePicture(TPixelLayout::RGB32, W / 2, H / 2,
                       [key](int x, int y) { return (x >= 4 && x < 12 && y >= 4 && y < 12) ? KRed : key; });
  }
  uint32_t Pixel(int x, int y) { return Surface->Last() ? Surface->Last()->At(x, y) : 0xDEADBEEF; }
};

TEST(VideoMixingRenderer7, SecondStream_isMixedOverTheVideo_throughTheColourKey) {
  TMixHarness h;
  ComPtr<IBaseFilter> vmr = Create<IBaseFilter>(KClsidVideoMixingRenderer);
  ComPtr<IVMRFilterConfig> config = Query<IVMRFilterConfig>(vmr.Get());
  ASSERT_TRUE(config);
  EXPECT_EQ(InputPin(vmr.Get(), 1), nullptr);  // one stream until configured
  ASSERT_EQ(config->SetNumberOfStreams(2), S_OK);
  ASSERT_EQ(config->SetRenderingMode(VMRMode_Windowed), S_OK);
  EXPECT_EQ(config->SetRenderingMode(VMRMode_Renderless), E_INVALIDARG);
  ComPtr<IVMRAspectRatioControl> aspect = Query<IVMRAspectRatioControl>(vmr.Get());
  ASSERT_EQ(aspect->SetAspectRatioMode(VMR_ARMODE_NONE), S_OK);
  COLORREF key = 0;
  ASSERT_EQ(Query<IVMRWindowlessControl>(vmr.Get())->GetColorKey(&key), S_OK);
  EXPECT_EQ(key, 0x100010u);

  ASSERT_EQ(h.Video->ConnectTo(InputPin(vmr.Get(), 0)), S_OK);
  ASSERT_EQ(h.Page->ConnectTo(InputPin(vmr.Get(), 1)), S_OK);
  EXPECT_EQ(config->SetNumberOfStreams(1), VFW_E_ALREADY_CONNECTED);
  Query<IVideoWindow>(vmr.Get())->put_Owner(static_cast<OAHWND>(h.Handle));
  vmr->SetSyncSource(nullptr);
  h.Video->Pause();
  h.Page->Pause();
  vmr->Run(0);
  h.Video->Run(0);
  h.Page->Run(0);
  ASSERT_EQ(h.Page->Deliver(h.PagePicture(video::ColorRefToPixel(key)), 0, 1), S_OK);
  ASSERT_EQ(h.Video->Deliver(SolidPicture(KGreen), 0, 1), S_OK);
  // The page is stretched over the whole video: page pixel (4..11) is video (8..23).
  EXPECT_TRUE(Near(h.Pixel(12, 12), KRed, 2)) << std::hex << h.Pixel(12, 12);
  EXPECT_TRUE(Near(h.Pixel(40, 30), KGreen, 2)) << std::hex << h.Pixel(40, 30);
  EXPECT_TRUE(Near(h.Pixel(4, 4), KGreen, 2));
  // An empty page sample takes the page away.
  ASSERT_EQ(h.Page->Deliver({}, 0, 1), S_OK);
  EXPECT_TRUE(Near(h.Pixel(12, 12), KGreen, 2));
  vmr->Stop();
  h.Video->Stop();
  h.Page->Stop();
  kv::testing::Unplug(InputPin(vmr.Get(), 0));
  kv::testing::Unplug(InputPin(vmr.Get(), 1));
}

TEST(VideoMixingRenderer7, LetterBoxMode_keepsThePicturesShapeInAWideWindow) {
  ComPtr<IBaseFilter> vmr = Create<IBaseFilter>(KClsidVideoMixingRenderer);
  auto surface = std::make_shared<TFakeSurface>(2 * W, H);
  video::TSurfaceHandle handle = video::RegisterSurface(surface);
  ComPtr<TTestSource> source(new TTestSource(kv::testing::VideoType(MEDIASUBTYPE_RGB32, W, H, true), W * H * 4));
  ASSERT_EQ(source->ConnectTo(InputPin(vmr.Get(), 0)), S_OK);
  Query<IVideoWindow>(vmr.Get())->put_Owner(static_cast<OAHWND>(handle));
  ASSERT_EQ(Query<IVMRAspectRatioControl>(vmr.Get())->SetAspectRatioMode(VMR_ARMODE_LETTER_BOX), S_OK);
  EXPECT_EQ(Query<IVMRAspectRatioControl>(vmr.Get())->SetAspectRatioMode(7), E_INVALIDARG);
  vmr->SetSyncSource(nullptr);
  source->Pause();
  vmr->Run(0);
  source->Run(0);
  ASSERT_EQ(source->Deliver(SolidPicture(KGreen), 0, 1), S_OK);
  auto frame = surface->Last();
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->At(10, 20), 0u);                // bar
  EXPECT_TRUE(Near(frame->At(W, 20), KGreen, 2));  // picture centred
  EXPECT_EQ(frame->At(2 * W - 10, 20), 0u);        // bar
  vmr->Stop();
  source->Stop();
  kv::testing::Unplug(InputPin(vmr.Get(), 0));
  video::UnregisterSurface(handle);
}

// A surface with memory of its own gets the frame converted straight into it, at its size
// (bars included); one that declines gets a frame of the renderer's own, as before.
TEST(VideoMixingRenderer7, SurfaceLendingItsImage_getsTheFrameAtItsSize_elseAPresentedFrame) {
  ComPtr<IBaseFilter> vmr = Create<IBaseFilter>(KClsidVideoMixingRenderer);
  auto surface = std::make_shared<kv::testing::TLendingSurface>(2 * W, H);
  video::TSurfaceHandle handle = video::RegisterSurface(surface);
  ComPtr<TTestSource> source(new TTestSource(kv::testing::VideoType(MEDIASUBTYPE_RGB32, W, H, true), W * H * 4));
  ASSERT_EQ(source->ConnectTo(InputPin(vmr.Get(), 0)), S_OK);
  Query<IVideoWindow>(vmr.Get())->put_Owner(static_cast<OAHWND>(handle));
  ASSERT_EQ(Query<IVMRAspectRatioControl>(vmr.Get())->SetAspectRatioMode(VMR_ARMODE_LETTER_BOX), S_OK);
  vmr->SetSyncSource(nullptr);
  source->Pause();
  vmr->Run(0);
  source->Run(0);
  ASSERT_EQ(source->Deliver(SolidPicture(KGreen), 0, 1), S_OK);
  EXPECT_EQ(surface->Shown, 1);
  EXPECT_EQ(surface->Presents(), 0);
  EXPECT_EQ(surface->Image.At(10, 20), 0u);                // bar, painted black
  EXPECT_TRUE(Near(surface->Image.At(W, 20), KGreen, 2));  // the picture, centred
  EXPECT_EQ(surface->Image.At(2 * W - 1, H - 1), 0u);      // bar to the last pixel
  surface->Lending = false;
  ASSERT_EQ(source->Deliver(SolidPicture(KRed), 1, 2), S_OK);
  EXPECT_EQ(surface->Shown, 1);
  ASSERT_EQ(surface->Presents(), 1);
  EXPECT_TRUE(Near(surface->Last()->At(W, 20), KRed, 2));
  vmr->Stop();
  source->Stop();
  kv::testing::Unplug(InputPin(vmr.Get(), 0));
  video::UnregisterSurface(handle);
}

TEST(OverlayMixer, MixesTheSecondPicture_andHandsRgbFramesToTheVideoRenderer) {
  for (const CLSID& clsid : {KClsidOverlayMixer, KClsidOverlayMixer2}) {
    TMixHarness h;
    ComPtr<IBaseFilter> renderer = Create<IBaseFilter>(KClsidVideoRenderer);
    ComPtr<IBaseFilter> mixer = Create<IBaseFilter>(clsid);
    ComPtr<IMixerPinConfig> pinConfig = Query<IMixerPinConfig>(InputPin(mixer.Get(), 0));
    ASSERT_TRUE(pinConfig);
    EXPECT_EQ(pinConfig->SetAspectRatioMode(AM_ARMODE_STRETCHED), S_OK);
    AM_ASPECT_RATIO_MODE mode;
    EXPECT_EQ(pinConfig->GetAspectRatioMode(&mode), S_OK);
    EXPECT_EQ(mode, AM_ARMODE_STRETCHED);
    COLORKEY key;
    uint32_t color = 0;
    ASSERT_EQ(pinConfig->GetColorKey(&key, &color), S_OK);
    EXPECT_EQ(color, 0x100010u);
    EXPECT_EQ(key.KeyType, CK_RGB);

    EXPECT_EQ(OutputPin(mixer.Get(), 0)->Connect(InputPin(renderer.Get(), 0), nullptr), VFW_E_NO_ACCEPTABLE_TYPES)
        << "no output type before the video is connected";
    ASSERT_EQ(h.Video->ConnectTo(InputPin(mixer.Get(), 0)), S_OK);
    ASSERT_EQ(h.Page->ConnectTo(InputPin(mixer.Get(), 1)), S_OK);
    ASSERT_EQ(OutputPin(mixer.Get(), 0)->Connect(InputPin(renderer.Get(), 0), nullptr), S_OK);
    Query<IVideoWindow>(renderer.Get())->put_Owner(static_cast<OAHWND>(h.Handle));
    renderer->SetSyncSource(nullptr);
    mixer->SetSyncSource(nullptr);
    h.Video->Pause();
    h.Page->Pause();
    mixer->Pause();
    renderer->Run(0);
    mixer->Run(0);
    h.Video->Run(0);
    h.Page->Run(0);
    ASSERT_EQ(h.Page->Deliver(h.PagePicture(video::ColorRefToPixel(color)), 0, 1), S_OK);
    ASSERT_EQ(h.Video->Deliver(SolidPicture(KBlue), 0, 1), S_OK);
    EXPECT_TRUE(Near(h.Pixel(12, 12), KRed, 2)) << std::hex << h.Pixel(12, 12);
    EXPECT_TRUE(Near(h.Pixel(40, 30), KBlue, 2)) << std::hex << h.Pixel(40, 30);
    // A different key makes the old key colour opaque.
    COLORKEY other;
    other.LowColorValue = other.HighColorValue = 0x00FF00;
    ASSERT_EQ(pinConfig->SetColorKey(&other), S_OK);
    ASSERT_EQ(h.Video->Deliver(SolidPicture(KBlue), 2, 3), S_OK);
    EXPECT_TRUE(Near(h.Pixel(40, 30), 0x100010, 2)) << std::hex << h.Pixel(40, 30);
    renderer->Stop();
    mixer->Stop();
    h.Video->Stop();
    h.Page->Stop();
    for (int pin : {0, 1}) kv::testing::Unplug(InputPin(mixer.Get(), pin));
    kv::testing::Unplug(InputPin(renderer.Get(), 0));
  }
}

TEST(NullRenderer, TakesAnyStream_andCountsWhatItRendered) {
  ComPtr<IBaseFilter> null = Create<IBaseFilter>(KClsidNullRenderer);
  ComPtr<TTestSource> source(new TTestSource(kv::testing::VideoType(MEDIASUBTYPE_MPEG1Video, W, H), 1024));
  ASSERT_EQ(source->ConnectTo(InputPin(null.Get(), 0)), S_OK);
  null->SetSyncSource(nullptr);
  source->Pause();
  null->Run(0);
  source->Run(0);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(source->Deliver(std::vector<uint8_t>(100), i * 40 * Ms, (i + 1) * 40 * Ms), S_OK);
  EXPECT_EQ(dynamic_cast<TBaseRenderer*>(null.Get())->FramesRendered(), 5);
  EXPECT_EQ(Query<IVideoWindow>(null.Get()), nullptr);
  null->Stop();
  source->Stop();
  kv::testing::Unplug(InputPin(null.Get(), 0));
}

}  // namespace
}  // namespace kv::render
