// Graph data model, playback control, statistics and frame capture of the engine.
#include <cstdio>
#include <fstream>
#include <functional>

#include <jpeglib.h>

#include "engine_fixture.h"
#include "platform/graph/media_guids.h"

namespace kv::test {
namespace {

using GraphModelTest = EngineTest;

TEST_F(GraphModelTest, deviceListsOfferWhatCanBeBuilt) {
  engine = MakeEngine();
  ASSERT_FALSE(engine->VideoRendererNames.empty());
  EXPECT_EQ(engine->VideoRendererNames[0], "Video Renderer");
  for (const auto& name : engine->VideoRendererNames) {
    EXPECT_NE(name, "Video Mixing Renderer 9");  // not installed here
    EXPECT_NE(name, "External to DV");
  }
  EXPECT_EQ(engine->AudioRendererNames,
            (std::vector<std::string>{"Default DirectSound Device", "Default WaveOut Device"}));
  EXPECT_EQ(engine->AudioDevices.size(), 2u);
  EXPECT_EQ(engine->AudioDeviceCount, 2);
  EXPECT_EQ(engine->AudioRendererName, "Default DirectSound Device");
  EXPECT_EQ(engine->State, psNone);
  EXPECT_TRUE(LogHas("BuildDeviceList"));
  engine.reset();
  EXPECT_TRUE(LogHas("CloseDeviceList\r\n"));
  EXPECT_TRUE(LogHas("CloseDeviceList End"));
}

TEST_F(GraphModelTest, audioRendererNameFallsBackToFirstDevice) {
  SetAudioDevices({"Speakers", "Headphones"});
  engine = MakeEngine();
  EXPECT_EQ(engine->AudioRendererName, "Speakers");
}

TEST_F(GraphModelTest, findCategoryFilter_logsFoundAndMissingNames) {
  engine = MakeEngine();
  EXPECT_EQ(engine->FindCategoryFilter(CLSID_LegacyAmFilterCategory, "No Such Filter"), nullptr);
  EXPECT_TRUE(LogHas(": Cannot find No Such Filter\r\n"));
  ComPtr<IBaseFilter> f = engine->FindCategoryFilter(CLSID_LegacyAmFilterCategory, "Plug One");
  ASSERT_TRUE(f);
  EXPECT_TRUE(LogHas(": Plug One found\r\n"));
  // The same name again is added under a numbered name and still counts as found.
  EXPECT_TRUE(engine->FindCategoryFilter(CLSID_LegacyAmFilterCategory, "Plug One"));
  EXPECT_EQ(Filters().size(), 2u);
}

TEST_F(GraphModelTest, tearDown_leavesAnEmptyGraphAndClearSlots) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  ASSERT_GT(Filters().size(), 5u);
  engine->TearDownGraph();
  EXPECT_TRUE(Filters().empty());
  EXPECT_EQ(engine->SourceFilter, nullptr);
  EXPECT_EQ(engine->VideoDecoder, nullptr);
  EXPECT_EQ(engine->AudioRenderer, nullptr);
  EXPECT_EQ(LiveInstances(kSourceA), 0);
}

TEST_F(GraphModelTest, filterInfoForTheMediaPropertiesDialog) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  EXPECT_TRUE(engine->FilterHasPropertyPages("High Decoder"));
  EXPECT_FALSE(engine->FilterHasPropertyPages("Splitter"));
  EXPECT_FALSE(engine->FilterHasPropertyPages("Nothing"));
  std::vector<std::string> in{"kept"}, out{"kept"};
  EXPECT_FALSE(engine->ListFilterPins("Nothing", &in, &out));
  EXPECT_EQ(in, std::vector<std::string>{"kept"});
  ASSERT_TRUE(engine->ListFilterPins("Splitter", &in, &out));
  EXPECT_EQ(in, std::vector<std::string>{"Input -> Source"});
  EXPECT_EQ(out, (std::vector<std::string>{"Video 0 -> Statistics Filter", "Audio 0 -> Statistics Filter 0001"}));
}

using ControlTest = EngineTest;

TEST_F(ControlTest, pauseWhileStopped_andStopTwice_doNotTouchTheGraph) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  EXPECT_FALSE(engine->Pause());  // nothing open
  EXPECT_FALSE(engine->Stop());
  engine->OpenVideo("/media/a.avi");
  engine->State = psStopped;
  EXPECT_TRUE(engine->Pause());
  EXPECT_EQ(engine->State, psStopped);
  EXPECT_TRUE(engine->Stop());
  EXPECT_EQ(engine->State, psStopped);
}

TEST_F(ControlTest, withoutSeekableFilters_positionsAreZero) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  EXPECT_EQ(engine->GetDuration(), 0);
  EXPECT_EQ(engine->GetPositionPercent(), 0);
  engine->OpenVideo("/media/a.avi");
  EXPECT_EQ(engine->GetDuration(), 0);
  EXPECT_EQ(engine->GetPosition(), 0);
  EXPECT_EQ(engine->GetPositionPercent(), 0);
  EXPECT_EQ(engine->GetRate(), 1.0);
}

TEST_F(ControlTest, mute_needsAnAudioRenderer) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  auto saved = Spec(kSplitter).outputs;
  Spec(kSplitter).outputs = {saved[0]};
  engine->OpenVideo("/media/a.avi");
  EXPECT_FALSE(engine->SetMute(true));
  Spec(kSplitter).outputs = saved;
  engine->OpenVideo("/media/a.avi");
  EXPECT_TRUE(engine->SetMute(true));
  ComPtr<IBasicAudio> audio;
  ASSERT_TRUE(SUCCEEDED(engine->AudioRenderer.As(&audio)));
  int32_t volume = 0;
  audio->get_Volume(&volume);
  EXPECT_EQ(volume, -10000);
  EXPECT_TRUE(engine->SetMute(false));
  audio->get_Volume(&volume);
  EXPECT_EQ(volume, 0);
}

TEST_F(ControlTest, zoomPositionAndCrop_setTheSourceRectangle) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");  // the stand-in renderer's picture is 200 x 100
  struct Step {
    std::function<void()> act;
    double factor;
    int x, y, crop;
    TRect4 rect;
  } steps[] = {
      {[&] { engine->SetZoom(12); }, 10, 0, 0, 0, {90, 45, 20, 10}},
      {[&] { engine->SetZoom(2); }, 2, 0, 0, 0, {50, 25, 100, 50}},
      {[&] { engine->SetZoomPosition(150, -150); }, 2, 100, -100, 0, {100, 0, 100, 50}},
      {[&] { engine->SetZoomCrop(20); }, 2, 100, -100, 20, {100, 0, 80, 50}},
      {[&] { engine->SetZoomCrop(-95); }, 2, 100, -100, -90, {100, 45, 100, 5}},
      {[&] { engine->SetZoomCrop(0); }, 2, 100, -100, 0, {100, 0, 100, 50}},
      {[&] { engine->SetZoom(0.5); }, 1, 0, 0, 0, {0, 0, 200, 100}},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    steps[i].act();
    EXPECT_DOUBLE_EQ(engine->ZoomFactor, steps[i].factor) << i;
    EXPECT_EQ(engine->ZoomX, steps[i].x) << i;
    EXPECT_EQ(engine->ZoomY, steps[i].y) << i;
    EXPECT_EQ(engine->ZoomCrop, steps[i].crop) << i;
    TRect4 r = LastSourceRect();
    EXPECT_EQ(r.left, steps[i].rect.left) << i;
    EXPECT_EQ(r.top, steps[i].rect.top) << i;
    EXPECT_EQ(r.width, steps[i].rect.width) << i;
    EXPECT_EQ(r.height, steps[i].rect.height) << i;
  }
  // Zoom 1 again changes nothing unless forced with 0, which re-applies the rectangle.
  const int calls = SourceRectCalls();
  engine->SetZoom(1);
  EXPECT_EQ(SourceRectCalls(), calls) << "an unchanged factor was applied again";
  engine->SetZoom(0);
  EXPECT_EQ(SourceRectCalls(), calls + 1) << "SetZoom(0) did not re-apply the zoom";
  EXPECT_EQ(LastSourceRect().width, 200);
}

// An event queue holding fixed events; counts what is freed.
class TFixedEvents : public TUnknown, public IMediaEventEx {
 public:
  explicit TFixedEvents(std::vector<int32_t> codes) : codes_(std::move(codes)) {}
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IMediaEventEx::kIid) return GetInterface(static_cast<IMediaEventEx*>(this), out);
    return TUnknown::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT GetEvent(int32_t* code, intptr_t* p1, intptr_t* p2, int32_t) override {
    if (next_ >= codes_.size()) return E_ABORT;
    *code = codes_[next_++];
    *p1 = 1;
    *p2 = 2;
    return S_OK;
  }
  HRESULT WaitForCompletion(int32_t, int32_t*) override { return E_NOTIMPL; }
  HRESULT CancelDefaultHandling(int32_t) override { return S_OK; }
  HRESULT RestoreDefaultHandling(int32_t) override { return S_OK; }
  HRESULT FreeEventParams(int32_t code, intptr_t p1, intptr_t p2) override {
    freed.push_back(code);
    return S_OK;
  }
  HRESULT SetNotifyCallback(NotifyCallback) override { return S_OK; }
  HRESULT SetNotifyFlags(int32_t) override { return S_OK; }
  HRESULT GetNotifyFlags(int32_t*) override { return S_OK; }
  std::vector<int32_t> freed;

 private:
  std::vector<int32_t> codes_;
  size_t next_ = 0;
};

TEST_F(ControlTest, graphEvents_areAllFreed_andCompletionPauses) {
  WriteStandardDescriptors();
  engine = MakeEngine();
  engine->OpenVideo("/media/a.avi");
  EXPECT_FALSE(engine->HandleGraphEvents());
  auto events = MakeComObject<TFixedEvents>(std::vector<int32_t>{EC_PAUSED, EC_COMPLETE, EC_CLOCK_CHANGED});
  engine->MediaEvent = events;
  EXPECT_TRUE(engine->HandleGraphEvents());
  EXPECT_EQ(engine->State, psPaused);
  EXPECT_EQ(events->freed, (std::vector<int32_t>{EC_PAUSED, EC_COMPLETE, EC_CLOCK_CHANGED}));
  EXPECT_FALSE(engine->HandleGraphEvents());
  engine->MediaEvent = MakeComObject<TFixedEvents>(std::vector<int32_t>{EC_PAUSED});
  EXPECT_FALSE(engine->HandleGraphEvents());
}

// An IStatistics that reports fixed counters.
class TFixedStatistics : public TUnknown, public IStatistics {
 public:
  explicit TFixedStatistics(TStatCounters c, HRESULT result = S_OK) : c_(c), result_(result) {}
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IStatistics::kIid) return GetInterface(static_cast<IStatistics*>(this), out);
    return TUnknown::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT ResetStat() override {
    ++resets;
    return S_OK;
  }
  HRESULT GetTotalStat(TStatCounters* c) override {
    *c = c_;
    return result_;
  }
  HRESULT GetCurrentStat(TStatCounters* c) override {
    *c = c_;
    c->Duration /= 2;
    return result_;
  }
  HRESULT GetFrameCount(int32_t*) override { return E_NOTIMPL; }
  HRESULT SetSampleCallback(TStatCallback) override { return S_OK; }
  HRESULT SetImageCallback(TStatCallback) override { return S_OK; }
  HRESULT GetSampleCallback(TStatCallback*) override { return E_NOTIMPL; }
  HRESULT GetImageCallback(TStatCallback*) override { return E_NOTIMPL; }
  int resets = 0;

 private:
  TStatCounters c_;
  HRESULT result_;
};

using StatisticsTest = EngineTest;

TEST_F(StatisticsTest, bitratesFromCounters) {
  engine = MakeEngine();
  EXPECT_EQ(engine->GetVideoBitrate(), -1);
  EXPECT_EQ(engine->GetAudioCurrentBitrate(), -1);
  engine->ResetStatistics();  // nothing to reset: no effect
  struct Row {
    int64_t duration, bytes;
    HRESULT result;
    int32_t total, current;
  } rows[] = {
      {10000000, 1000000, S_OK, 8000000, 16000000},
      {0, 1000000, S_OK, -1, -1},
      {10000000, 1000000, E_FAIL, -1, -1},
      {30000000, 1, S_OK, 3, 5},  // 2.67 and 5.33 round to nearest
      {80000000, 5, S_OK, 5, 10},
      {160000000, 1, S_OK, 0, 1},  // 0.5 -> 0 and 1.0
      {53333334, 2, S_OK, 3, 6},
  };
  for (const auto& r : rows) {
    TStatCounters c;
    c.Duration = r.duration;
    c.Bytes = r.bytes;
    c.Samples = 7;
    auto stat = MakeComObject<TFixedStatistics>(c, r.result);
    engine->VideoStat = stat;
    engine->AudioStat = stat;
    EXPECT_EQ(engine->GetVideoBitrate(), r.total) << r.duration;
    EXPECT_EQ(engine->GetAudioBitrate(), r.total) << r.duration;
    EXPECT_EQ(engine->GetVideoCurrentBitrate(), r.current) << r.duration;
    EXPECT_EQ(engine->GetAudioCurrentBitrate(), r.current) << r.duration;
  }
  EXPECT_TRUE(LogHas("Stat time=10000000 size=1000000 samples=7"));
  auto stat = MakeComObject<TFixedStatistics>(TStatCounters{});
  engine->VideoStat = stat;
  engine->AudioStat = stat;
  engine->ResetStatistics();
  EXPECT_EQ(stat->resets, 2);
}

// A grabber that hands out a fixed picture, or a fixed failure.
class TFixedGrabber : public TBaseFilter, public IFrameGrabber {
 public:
  TFixedGrabber(int32_t w, int32_t h, HRESULT result) : TBaseFilter(CLSID_FrameGrabber), w_(w), h_(h), result_(result) {}
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IFrameGrabber::kIid) return GetInterface(static_cast<IFrameGrabber*>(this), out);
    return TBaseFilter::NonDelegatingQueryInterface(iid, out);
  }
  int GetPinCount() override { return 0; }
  TBasePin* GetPin(int) override { return nullptr; }
  HRESULT GetFrame(int32_t format, int32_t, uint8_t** buffer, int32_t* size, int32_t* w, int32_t* h) override {
    if (result_ != S_OK) return result_;
    lastFormat = format;
    int bpp = format == 3 ? 3 : 2;
    *size = w_ * h_ * bpp;
    *buffer = new uint8_t[*size];
    for (int32_t i = 0; i < *size; ++i) (*buffer)[i] = uint8_t(i * 7);
    if (fill) fill(*buffer, w_, h_);
    *w = w_;
    *h = h_;
    ++outstanding;
    return S_OK;
  }
  HRESULT GetFrameInfo(int32_t*, int32_t*) override { return E_NOTIMPL; }
  HRESULT FreeFrame(uint8_t* buffer, int32_t) override {
    delete[] buffer;
    --outstanding;
    return S_OK;
  }
  int outstanding = 0;
  int32_t lastFormat = 0;
  // Paints the frame instead of the byte ramp (24-bit frames: bottom-up rows of B, G, R).
  std::function<void(uint8_t*, int32_t w, int32_t h)> fill;

 private:
  int32_t w_, h_;
  HRESULT result_;
};

std::vector<uint8_t> ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

using CaptureTest = EngineTest;

TEST_F(CaptureTest, bitmapOf720x576_hasTheExpectedHeaderAndSize) {
  engine = MakeEngine();
  EXPECT_FALSE(engine->GrabFrame((dir / "none.bmp").string()));  // no grabber
  auto grabber = MakeComObject<TFixedGrabber>(720, 576, S_OK);
  engine->FrameGrabber = grabber;
  engine->ColorDepth = 3;
  auto path = dir / "070312-21453007.bmp";
  ASSERT_TRUE(engine->GrabFrame(path.string()));
  auto b = ReadAll(path);
  ASSERT_EQ(b.size(), 54u + 1244160u);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(Le32(b, 2), 1244214u);
  EXPECT_EQ(Le32(b, 10), 54u);
  EXPECT_EQ(Le32(b, 14), 40u);
  EXPECT_EQ(Le32(b, 18), 720u);
  EXPECT_EQ(Le32(b, 22), 576u);
  EXPECT_EQ(b[28], 24);
  EXPECT_EQ(b[54 + 1000], uint8_t(1000 * 7));
  EXPECT_EQ(grabber->outstanding, 0);
  EXPECT_TRUE(LogHas("Grabbing frame " + path.string()));
  EXPECT_TRUE(LogHas("Grabbing frame completed"));

  engine->ColorDepth = 1;
  ASSERT_TRUE(engine->GrabFrame(path.string()));  // overwrites
  b = ReadAll(path);
  EXPECT_EQ(b.size(), 54u + 720u * 576u * 2u);
  EXPECT_EQ(b[28], 16);
  EXPECT_EQ(grabber->lastFormat, 1);
}

TEST_F(CaptureTest, rowsOfOddWidth_arePaddedToWholeWords) {
  engine = MakeEngine();
  engine->FrameGrabber = MakeComObject<TFixedGrabber>(33, 17, S_OK);
  struct Row {
    int32_t depth;
    size_t size;
  } rows[] = {{3, 54u + 100u * 17u}, {1, 54u + 68u * 17u}};
  for (const auto& r : rows) {
    engine->ColorDepth = r.depth;
    auto path = dir / "odd.bmp";
    ASSERT_TRUE(engine->GrabFrame(path.string()));
    auto b = ReadAll(path);
    ASSERT_EQ(b.size(), r.size) << r.depth;
    EXPECT_EQ(Le32(b, 2), r.size);
    const size_t row = r.depth == 3 ? 99 : 66;
    EXPECT_EQ(b[54 + row], 0);                       // padding after the first row
    EXPECT_EQ(b[54 + (row + 3) / 4 * 4], uint8_t(row * 7));  // second row starts on a word
  }
}

TEST_F(CaptureTest, jpegAsksForTwentyFourBits_andWritesAJpegFile) {
  engine = MakeEngine();
  auto grabber = MakeComObject<TFixedGrabber>(33, 17, S_OK);
  engine->FrameGrabber = grabber;
  engine->ColorDepth = 256;
  engine->Quality = 50;
  // The picture: red above, blue below; the grabber's rows run bottom-up in B, G, R order.
  grabber->fill = [](uint8_t* p, int32_t w, int32_t h) {
    for (int32_t row = 0; row < h; ++row) {
      const bool top = row >= h / 2;  // buffer row 0 is the bottom of the picture
      for (int32_t x = 0; x < w; ++x) {
        uint8_t* px = p + (row * w + x) * 3;
        px[0] = top ? 0 : 255;  // blue
        px[1] = 0;
        px[2] = top ? 255 : 0;  // red
      }
    }
  };
  auto path = dir / "shot.jpg";
  ASSERT_TRUE(engine->GrabFrame(path.string()));
  EXPECT_EQ(grabber->lastFormat, 3);
  EXPECT_EQ(grabber->outstanding, 0);
  // Decoded, it is the same picture: red on top, blue at the bottom, the right size.
  std::vector<uint8_t> file = ReadAll(path);
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
  ASSERT_EQ(jpeg_read_header(&info, TRUE), JPEG_HEADER_OK);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  ASSERT_EQ(info.output_width, 33u);
  ASSERT_EQ(info.output_height, 17u);
  std::vector<uint8_t> rgb(33 * 17 * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = rgb.data() + info.output_scanline * 33 * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  auto pixel = [&](int x, int y) { return &rgb[(y * 33 + x) * 3]; };
  const uint8_t* top = pixel(16, 2);
  const uint8_t* bottom = pixel(16, 14);
  EXPECT_GT(top[0], 200) << "the top is not red (upside down or red and blue swapped)";
  EXPECT_LT(top[2], 60);
  EXPECT_GT(bottom[2], 200) << "the bottom is not blue";
  EXPECT_LT(bottom[0], 60);
}

TEST_F(CaptureTest, grabberFailures_areLoggedByKind) {
  engine = MakeEngine();
  engine->FrameGrabber = MakeComObject<TFixedGrabber>(8, 8, E_NOTIMPL);
  EXPECT_FALSE(engine->GrabFrame((dir / "a.bmp").string()));
  EXPECT_TRUE(LogHas(": Not implemented\r\n"));
  engine->FrameGrabber = MakeComObject<TFixedGrabber>(8, 8, E_FAIL);
  EXPECT_FALSE(engine->GrabFrame((dir / "a.bmp").string()));
  EXPECT_TRUE(LogHas(": Returned 80004005\r\n"));
  EXPECT_TRUE(LogHas(": Grabbing frame completed\r\n"));  // the failed GetFrame still ends the trace
  // An unwritable path fails without the completion line.
  std::filesystem::remove(dir / "kavello.log");
  engine->FrameGrabber = MakeComObject<TFixedGrabber>(8, 8, S_OK);
  EXPECT_FALSE(engine->GrabFrame((dir / "no" / "such" / "dir.bmp").string()));
  EXPECT_FALSE(LogHas("Grabbing frame completed"));
}

}  // namespace
}  // namespace kv::test
