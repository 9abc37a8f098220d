// The statistics filter's picture measures: synthetic pictures with known answers, the
// fast DCT against the textbook one, and the filter itself reporting them for real
// samples, with its one-second window after a seek.
#include <cmath>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "filters/render/null_renderer.h"
#include "filters/stats/image_measures.h"
#include "filters/stats/statistics_filter.h"
#include "filters/video/picture_formats.h"
#include "platform/graph/media_guids.h"
#include "test_source.h"

namespace kv {
namespace {

using stats::MeasurePicture;
using stats::TLumaLayout;
using stats::TLumaPicture;

constexpr int kQ[8][8] = {{16, 11, 10, 16, 24, 40, 51, 61},     {12, 12, 14, 19, 26, 58, 60, 55},
                          {14, 13, 16, 24, 40, 57, 69, 56},     {14, 17, 22, 29, 51, 87, 80, 62},
                          {18, 22, 37, 56, 68, 109, 103, 77},   {24, 35, 55, 64, 81, 104, 113, 92},
                          {49, 64, 78, 87, 103, 121, 120, 101}, {72, 92, 95, 98, 112, 100, 103, 99}};

// The JPEG forward DCT as written in T.81 A.3.3, in double precision; the count of AC
// coefficients that quantise to non-zero. *borderline: a coefficient within 0.001 of a
// rounding edge (where float and double may disagree).
int ReferenceCount(const uint8_t* block, bool* borderline) {
  int n = 0;
  for (int v = 0; v < 8; ++v) {
    for (int u = 0; u < 8; ++u) {
      double sum = 0;
      for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
          sum += (block[y * 8 + x] - 128.0) * std::cos((2 * x + 1) * u * M_PI / 16) * std::cos((2 * y + 1) * v * M_PI / 16);
      const double cu = u ? 1 : M_SQRT1_2, cv = v ? 1 : M_SQRT1_2;
      const double q = 0.25 * cu * cv * sum / kQ[v][u];
      if (u == 0 && v == 0) continue;
      if (std::fabs(std::fabs(q) - 0.5) < 0.001) *borderline = true;
      if (std::fabs(q) >= 0.5) ++n;
    }
  }
  return n;
}

TEST(ImageMeasures, FastDctCountsAsTheTextbookDct) {
  std::mt19937 random(7);
  int compared = 0;
  for (int k = 0; k < 400; ++k) {
    uint8_t block[64];
    const int spread = 1 + k % 60;  // from nearly flat to noisy
    for (auto& b : block) b = static_cast<uint8_t>(std::clamp<int>(128 + int(random() % (2 * spread + 1)) - spread, 0, 255));
    bool borderline = false;
    const int expected = ReferenceCount(block, &borderline);
    if (borderline) continue;
    EXPECT_EQ(stats::CountNonZeroAC(block), expected) << "block " << k;
    ++compared;
  }
  EXPECT_GT(compared, 300);
}

// A picture as decoders give them: flat areas, nearly flat ones (a few levels off by one or
// two, around where the flat-block shortcut stops applying), edges and texture. Every
// block's count must be the textbook DCT's, and the picture's DCT triple follows from them.
TEST(ImageMeasures, PictureOfFlatAndBusyBlocksCountsAsTheTextbookDct) {
  const int w = 8 * 25, h = 8 * 16;  // an odd count of blocks across: pairs and a last one
  std::vector<uint8_t> luma(size_t(w) * h);
  std::mt19937 random(11);
  for (int by = 0; by < h / 8; ++by)
    for (int bx = 0; bx < w / 8; ++bx) {
      const int kind = (bx + by * 5) % 7, base = 30 + (bx * 37 + by * 11) % 190;
      // One level off by 18..35 in a corner: the least change that can make a term
      // non-zero (about 25, at the first diagonal frequency).
      const int spike = (18 + (bx * 3 + by) % 18) * ((bx + by) % 2 ? 1 : -1), corner = (bx % 2) * 7 + (by % 2) * 56;
      const int touched = 1 + (bx + by) % 24;  // nearly flat: this many levels moved by 1 or 2
      for (int i = 0; i < 64; ++i) {
        const int x = bx * 8 + i % 8, y = by * 8 + i / 8;
        int v = base;
        if (kind == 1 && i < touched) v += (i % 2 ? 2 : -1);
        if (kind == 2 && i % 8 >= 4) v += 60;                 // a vertical edge
        if (kind == 3) v += int(random() % 40) - 20;          // texture
        if (kind == 4 && int(random() % 64) < touched) v += 1;  // sparse one-level noise
        if (kind == 5 && i == corner) v += spike;
        luma[size_t(y) * w + x] = static_cast<uint8_t>(std::clamp(v, 0, 255));
      }
    }
  int lo = 64, hi = 0, sum = 0, borderlines = 0;
  for (int by = 0; by < h / 8; ++by)
    for (int bx = 0; bx < w / 8; ++bx) {
      uint8_t block[64];
      for (int i = 0; i < 64; ++i) block[i] = luma[size_t(by * 8 + i / 8) * w + bx * 8 + i % 8];
      bool borderline = false;
      const int n = ReferenceCount(block, &borderline);
      const int fast = stats::CountNonZeroAC(block);
      if (borderline) ++borderlines;  // float and double may round differently here
      else EXPECT_EQ(fast, n) << "block " << bx << "," << by;
      lo = std::min(lo, fast), hi = std::max(hi, fast), sum += fast;
    }
  const auto m = MeasurePicture({luma.data(), w, h, w, TLumaLayout::Planar});
  int64_t levels = 0;
  for (uint8_t v : luma) levels += v;
  EXPECT_EQ(m.HistogramAverage, levels * 1000 / int64_t(luma.size()));
  EXPECT_EQ(m.HistogramMin, *std::min_element(luma.begin(), luma.end()) * 1000);
  EXPECT_EQ(m.HistogramMax, *std::max_element(luma.begin(), luma.end()) * 1000);
  EXPECT_EQ(m.DCTMin, lo * 1000);
  EXPECT_EQ(m.DCTMax, hi * 1000);
  EXPECT_EQ(m.DCTAverage, int64_t(sum) * 1000 / ((w / 8) * (h / 8)));
  EXPECT_EQ(lo, 0);
  EXPECT_GT(hi, 10);
  EXPECT_LT(borderlines, 8);
}

struct TPicture {
  int w, h;
  std::vector<uint8_t> y;
  TLumaPicture Planar() const { return {y.data(), w, h, w, TLumaLayout::Planar}; }
};

TPicture Make(int w, int h, int (*level)(int x, int y)) {
  TPicture p{w, h, std::vector<uint8_t>(size_t(w) * h)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) p.y[size_t(y) * w + x] = static_cast<uint8_t>(level(x, y));
  return p;
}

TEST(ImageMeasures, FlatGreyCheckerboardGradientAndNoise) {
  const auto grey = MeasurePicture(Make(64, 48, [](int, int) { return 128; }).Planar());
  EXPECT_EQ(grey.HistogramAverage, 128000);
  EXPECT_EQ(grey.HistogramMax, 128000);
  EXPECT_EQ(grey.HistogramMin, 128000);
  EXPECT_EQ(grey.DCTAverage, 0);
  EXPECT_EQ(grey.DCTMax, 0);

  // One-pixel checkerboard: the energy sits in the 16 odd-odd frequencies, all far above
  // their quantiser; every block alike.
  const auto checker = MeasurePicture(Make(64, 48, [](int x, int y) { return (x + y) % 2 ? 255 : 0; }).Planar());
  EXPECT_EQ(checker.HistogramAverage, 127500);
  EXPECT_EQ(checker.HistogramMax, 255000);
  EXPECT_EQ(checker.HistogramMin, 0);
  EXPECT_EQ(checker.DCTMax, 16000);
  EXPECT_EQ(checker.DCTMin, 16000);

  // A horizontal ramp 0..255 over 256 pixels: the average is 127.5, few AC terms per block.
  const auto ramp = MeasurePicture(Make(256, 16, [](int x, int) { return x; }).Planar());
  EXPECT_EQ(ramp.HistogramAverage, 127500);
  EXPECT_EQ(ramp.HistogramMax, 255000);
  EXPECT_EQ(ramp.HistogramMin, 0);
  EXPECT_GE(ramp.DCTMin, 1000);
  EXPECT_LE(ramp.DCTMax, 4000);

  // Uniform noise: the coefficients spread about as widely as the levels (the DCT keeps
  // the energy), so most of them pass even the coarse high-frequency quantisers.
  std::vector<uint8_t> noise(64 * 64);
  std::mt19937 random(1);
  for (auto& b : noise) b = static_cast<uint8_t>(random());
  const auto n = MeasurePicture({noise.data(), 64, 64, 64, TLumaLayout::Planar});
  EXPECT_GE(n.DCTAverage, 35000);
  EXPECT_GE(n.DCTMax, 50000);
  EXPECT_LE(n.DCTMax, 63000);

  // Levels right of and below the last whole block count as well (the DCT leaves them out).
  const auto edges = MeasurePicture(Make(21, 13, [](int x, int y) { return x == 20 ? 250 : y == 12 ? 3 : 100; }).Planar());
  EXPECT_EQ(edges.HistogramMax, 250000);
  EXPECT_EQ(edges.HistogramMin, 3000);
  EXPECT_EQ(edges.HistogramAverage, 100036);  // (13 x 250 + 20 x 3 + 240 x 100) / 273
  EXPECT_EQ(edges.DCTMax, 0);

  // Partial blocks at the edges are left out; a picture smaller than a block has no DCT.
  const auto small = MeasurePicture(Make(7, 7, [](int x, int y) { return (x + y) % 2 ? 255 : 0; }).Planar());
  EXPECT_EQ(small.DCTMax, 0);
  EXPECT_EQ(small.HistogramMax, 255000);
}

TEST(ImageMeasures, PackedAndBottomUpLayoutsReadTheSameLuma) {
  // Rows of a vertical ramp, as YUY2 (luma in every second byte) and as a bottom-up
  // BGRA bitmap of grey (BT.601 video range maps grey g to 16 + 219 g / 255 roughly).
  const int w = 16, h = 16;
  std::vector<uint8_t> yuy2(size_t(w) * h * 2), planar(size_t(w) * h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      planar[size_t(y) * w + x] = static_cast<uint8_t>(y * 16);
      yuy2[(size_t(y) * w + x) * 2] = static_cast<uint8_t>(y * 16);
      yuy2[(size_t(y) * w + x) * 2 + 1] = 77;  // chroma, never read
    }
  const auto a = MeasurePicture({planar.data(), w, h, w, TLumaLayout::Planar});
  const auto b = MeasurePicture({yuy2.data(), w, h, w * 2, TLumaLayout::YUY2});
  EXPECT_EQ(a.HistogramAverage, b.HistogramAverage);
  EXPECT_EQ(a.DCTAverage, b.DCTAverage);
  EXPECT_EQ(a.DCTMax, b.DCTMax);

  std::vector<uint8_t> bgra(size_t(w) * h * 4);
  for (int row = 0; row < h; ++row)  // stored bottom-up: the top picture row is the last
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &bgra[(size_t(h - 1 - row) * w + x) * 4];
      p[0] = p[1] = p[2] = row < h / 2 ? 0 : 255;
    }
  const auto c = MeasurePicture({bgra.data() + size_t(h - 1) * w * 4, w, h, -w * 4, TLumaLayout::BGRA});
  EXPECT_EQ(c.HistogramMin, 16000);
  EXPECT_EQ(c.HistogramMax, 235000);
  EXPECT_EQ(c.HistogramAverage, 125500);
}

// ---- the filter ----

std::vector<TImageRecord> g_images;
int32_t RecordImage(const void* record) {
  g_images.push_back(*static_cast<const TImageRecord*>(record));
  return 0;
}

struct TFilterHarness {
  ComPtr<testing::TTestSource> Source;
  ComPtr<TStatisticsFilter> Stats{new TStatisticsFilter()};
  ComPtr<render::TNullRenderer> Sink{new render::TNullRenderer()};
  explicit TFilterHarness(const MediaType& type, int32_t bytes) : Source(new testing::TTestSource(type, bytes)) {
    EXPECT_EQ(Source->ConnectTo(testing::InputPin(Stats.Get(), 0)), S_OK);
    EXPECT_EQ(testing::OutputPin(Stats.Get(), 0)->Connect(testing::InputPin(Sink.Get(), 0), nullptr), S_OK);
    for (IBaseFilter* f : {static_cast<IBaseFilter*>(Sink.Get()), static_cast<IBaseFilter*>(Stats.Get()),
                           static_cast<IBaseFilter*>(Source.Get())}) {
      EXPECT_TRUE(SUCCEEDED(f->Pause()));
      EXPECT_TRUE(SUCCEEDED(f->Run(0)));
    }
  }
  ~TFilterHarness() {
    for (IBaseFilter* f : {static_cast<IBaseFilter*>(Source.Get()), static_cast<IBaseFilter*>(Stats.Get()),
                           static_cast<IBaseFilter*>(Sink.Get())})
      f->Stop();
    testing::Unplug(testing::OutputPin(Source.Get(), 0));
    testing::Unplug(testing::OutputPin(Stats.Get(), 0));
  }
};

TEST(StatisticsFilter, ReportsPictureMeasuresWithTheSampleIndex_allBeforeTheEndOfStream) {
  const video::TPictureFormatRow* yv12 = video::FindPictureFormat(MEDIASUBTYPE_YV12);
  ASSERT_NE(yv12, nullptr);
  const int w = 32, h = 16;
  const MediaType type = video::MakePictureType(*yv12, w, h, 400000, 0, 0, false);
  TFilterHarness harness(type, type.lSampleSize);
  g_images.clear();
  harness.Stats->SetImageCallback(RecordImage);
  std::vector<uint8_t> picture(type.lSampleSize, 128);  // grey luma, neutral chroma
  ASSERT_EQ(harness.Source->Deliver(picture, 0, 400000), S_OK);
  std::fill(picture.begin(), picture.begin() + w * h, 200);
  picture[5] = 10;
  ASSERT_EQ(harness.Source->Deliver(picture, 400000, 800000), S_OK);
  // A short sample (a damaged decoder) is counted but never read past its end.
  ASSERT_EQ(harness.Source->Deliver(std::vector<uint8_t>(100, 0), 800000, 1200000), S_OK);
  // More pictures than the measuring queue and the source's buffers hold, each of its own
  // level: the worker reports every one, in order, before the end of stream goes on.
  for (int k = 3; k < 15; ++k) {
    std::fill(picture.begin(), picture.begin() + w * h, static_cast<uint8_t>(10 * k));
    ASSERT_EQ(harness.Source->Deliver(picture, k * 400000LL, (k + 1) * 400000LL), S_OK);
  }
  ASSERT_EQ(harness.Source->EndOfStream(), S_OK);
  ASSERT_EQ(g_images.size(), 14u);
  for (int k = 3; k < 15; ++k) {
    EXPECT_EQ(g_images[size_t(k - 1)].FrameIndex, k);
    EXPECT_EQ(g_images[size_t(k - 1)].HistogramAverage, 10000 * k);
  }
  EXPECT_EQ(g_images[0].FrameIndex, 0);
  EXPECT_EQ(g_images[0].HistogramAverage, 128000);
  EXPECT_EQ(g_images[0].DCTMax, 0);
  EXPECT_EQ(g_images[1].FrameIndex, 1);
  EXPECT_EQ(g_images[1].HistogramMin, 10000);
  EXPECT_EQ(g_images[1].HistogramMax, 200000);
  EXPECT_GT(g_images[1].DCTMax, 0);
  harness.Stats->SetImageCallback(nullptr);
}

TEST(StatisticsFilter, CurrentBitrateWindowRestartsAfterAReset) {
  MediaType type;
  type.majortype = MEDIATYPE_Video;
  type.subtype = MEDIASUBTYPE_YV12;
  TFilterHarness harness(type, 4096);
  std::vector<uint8_t> bytes(1000, 1);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(harness.Source->Deliver(bytes, i * 400000LL, (i + 1) * 400000LL), S_OK);
  TStatCounters c;
  ASSERT_EQ(harness.Stats->GetCurrentStat(&c), S_OK);
  EXPECT_EQ(c.Duration, 10000000);  // the last second of samples
  // A seek: the engine resets, and the stream times start again near 0.
  harness.Stats->ResetStat();
  for (int i = 0; i < 10; ++i) ASSERT_EQ(harness.Source->Deliver(bytes, i * 400000LL, (i + 1) * 400000LL), S_OK);
  ASSERT_EQ(harness.Stats->GetCurrentStat(&c), S_OK);
  EXPECT_EQ(c.Samples, 10);
  EXPECT_EQ(c.Bytes, 10000);
  EXPECT_EQ(c.Duration, 4000000);
  ASSERT_EQ(harness.Stats->GetTotalStat(&c), S_OK);
  EXPECT_EQ(c.Bytes, 10000);
}

}  // namespace
}  // namespace kv
