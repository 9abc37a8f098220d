// Picture conversion, format reading and blending: the renderers' arithmetic.
#include <gtest/gtest.h>

#include "filters/render/picture_blend.h"
#include "filters/render/renderer_interfaces.h"
#include "filters/render/video_converter.h"
#include "filters/render/video_format.h"
#include "platform/graph/format_blocks.h"
#include "platform/graph/media_guids.h"
#include "test_pictures.h"

extern "C" {
#include <libavutil/pixdesc.h>
}

namespace kv::render {
namespace {

using kv::testing::KBlue;
using kv::testing::KGreen;
using kv::testing::KRed;
using kv::testing::KWhite;
using kv::testing::MakePicture;
using kv::testing::Near;
using kv::testing::QuadrantColor;

TEST(PixelLayoutTable, EveryRowNamesAnFFmpegFormatWithMatchingPlanes) {
  for (const TPixelLayoutInfo& row : PixelLayoutTable()) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(static_cast<AVPixelFormat>(row.AvFormat));
    ASSERT_NE(d, nullptr) << static_cast<int>(row.Layout);
    EXPECT_EQ(av_pix_fmt_count_planes(static_cast<AVPixelFormat>(row.AvFormat)), row.Planes) << d->name;
    EXPECT_EQ((d->flags & AV_PIX_FMT_FLAG_RGB) != 0, row.Rgb) << d->name;
    if (row.Planes == 1) {
      EXPECT_EQ(av_get_padded_bits_per_pixel(d), row.BytesPerPixel * 8) << d->name;
    }
    EXPECT_EQ(&LayoutInfo(row.Layout), &row);
  }
}

struct TLayoutCase {
  TPixelLayout Layout;
  bool BottomUp;
  int Tolerance;
};

class ConvertQuadrants : public ::testing::TestWithParam<TLayoutCase> {};

// Each quadrant cropped and scaled alone must come out in its own colour: the plane
// offsets, chroma alignment and row order are right for the layout.
TEST_P(ConvertQuadrants, CropToEachQuadrant_givesThatQuadrantsColour) {
  const TLayoutCase& c = GetParam();
  const int w = 64, h = 48;
  std::vector<uint8_t> picture =
      MakePicture(c.Layout, w, h, [&](int x, int y) { return QuadrantColor(x, y, w, h); }, c.BottomUp);
  TPictureLayout layout{c.Layout, w, h, 0, c.BottomUp};
  ASSERT_EQ(picture.size(), PictureBytes(layout));
  struct {
    TCropRect Crop;
    uint32_t Colour;
  } quadrants[] = {{{0, 0, 32, 24}, KRed}, {{32, 0, 32, 24}, KGreen}, {{0, 24, 32, 24}, KBlue}, {{32, 24, 32, 24}, KWhite}};
  TVideoConverter converter;
  for (const auto& q : quadrants) {
    video::TRgbImage out;
    out.Resize(20, 10);
    ASSERT_TRUE(converter.Convert(picture.data(), picture.size(), layout, q.Crop, out));
    // Inner pixels only: edges blend with the neighbour quadrant under bilinear scaling.
    for (int y = 2; y < 8; ++y)
      for (int x = 2; x < 18; ++x)
        ASSERT_TRUE(Near(out.At(x, y), q.Colour, c.Tolerance))
            << "layout " << static_cast<int>(c.Layout) << " crop " << q.Crop.Left << "," << q.Crop.Top << " got "
            << std::hex << out.At(x, y);
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, ConvertQuadrants,
                         ::testing::Values(TLayoutCase{TPixelLayout::I420, false, 24},
                                           TLayoutCase{TPixelLayout::YV12, false, 24},
                                           TLayoutCase{TPixelLayout::NV12, false, 24},
                                           TLayoutCase{TPixelLayout::YUY2, false, 24},
                                           TLayoutCase{TPixelLayout::UYVY, false, 24},
                                           TLayoutCase{TPixelLayout::RGB32, true, 2},
                                           TLayoutCase{TPixelLayout::RGB32, false, 2},
                                           TLayoutCase{TPixelLayout::RGB24, true, 2},
                                           TLayoutCase{TPixelLayout::RGB565, true, 8},
                                           TLayoutCase{TPixelLayout::RGB555, true, 8}));

TEST(VideoConverter, RefusesShortBufferAndBadTargets) {
  TPictureLayout layout{TPixelLayout::I420, 64, 48, 0, false};
  std::vector<uint8_t> picture(PictureBytes(layout));
  TVideoConverter converter;
  video::TRgbImage out;
  out.Resize(16, 16);
  EXPECT_FALSE(converter.Convert(picture.data(), picture.size() - 1, layout, {}, out));
  EXPECT_FALSE(converter.Convert(nullptr, picture.size(), layout, {}, out));
  EXPECT_FALSE(converter.Convert(picture.data(), picture.size(), layout, {}, out, {10, 10, 10, 10}));  // outside
  video::TRgbImage empty;
  EXPECT_FALSE(converter.Convert(picture.data(), picture.size(), layout, {}, empty));
  EXPECT_EQ(PictureBytes({TPixelLayout::I420, 0, 48, 0, false}), 0u);
  EXPECT_EQ(PictureBytes({TPixelLayout::RGB32, 64, 48, 100, false}), 0u);  // stride shorter than a row
}

TEST(VideoConverter, IntoRectangle_leavesTheRestOfTheTarget) {
  TPictureLayout layout{TPixelLayout::RGB32, 8, 8, 0, false};
  std::vector<uint8_t> picture = MakePicture(TPixelLayout::RGB32, 8, 8, [](int, int) { return KGreen; });
  video::TRgbImage out;
  out.Resize(20, 10);
  out.Fill(KBlue);
  TVideoConverter converter;
  ASSERT_TRUE(converter.Convert(picture.data(), picture.size(), layout, {}, out, {5, 0, 10, 10}));
  EXPECT_EQ(out.At(2, 5), KBlue);
  EXPECT_TRUE(Near(out.At(10, 5), KGreen, 2));
  EXPECT_EQ(out.At(17, 5), KBlue);
}

TEST(AlignCrop, ClampsAndAlignsForTheLayout) {
  struct TRow {
    TPixelLayout Layout;
    TCropRect In, Out;
  };
  const TRow rows[] = {
      {TPixelLayout::RGB32, {3, 5, 7, 9}, {3, 5, 7, 9}},                // RGB takes any pixel
      {TPixelLayout::I420, {3, 5, 7, 9}, {2, 4, 6, 8}},                 // 4:2:0 even on both axes
      {TPixelLayout::YUY2, {3, 5, 7, 9}, {2, 5, 6, 9}},                 // 4:2:2 even across only
      {TPixelLayout::RGB32, {0, 0, 0, 0}, {0, 0, 64, 48}},              // empty: the whole picture
      {TPixelLayout::RGB32, {-10, -10, 500, 500}, {0, 0, 64, 48}},      // clamped into the picture
      {TPixelLayout::NV12, {62, 46, 10, 10}, {62, 46, 2, 2}},           // at the corner: at least a pair
  };
  for (const TRow& row : rows) {
    TCropRect got = AlignCrop({row.Layout, 64, 48, 0, false}, row.In);
    EXPECT_EQ(got, row.Out) << static_cast<int>(row.Layout) << " " << row.In.Left << "," << row.In.Top;
  }
}

TEST(ReadVideoFormat, ReadsSupportedTypes_refusesOthers) {
  struct TRow {
    const char* Name;
    MediaType Type;
    bool Accepted;
    TPixelLayout Layout;
    bool BottomUp;
  };
  MediaType mpeg = testing::VideoType(MEDIASUBTYPE_MPEG1Video, 64, 48);
  MediaType audio = testing::VideoType(MEDIASUBTYPE_YV12, 64, 48);
  audio.majortype = MEDIATYPE_Audio;
  MediaType shortBlock = testing::VideoType(MEDIASUBTYPE_YV12, 64, 48);
  shortBlock.format.resize(40);
  MediaType zero = testing::VideoType(MEDIASUBTYPE_YUY2, 0, 48);
  MediaType negativeWidth = testing::VideoType(MEDIASUBTYPE_YUY2, -64, 48);
  const TRow rows[] = {
      {"YV12", testing::VideoType(MEDIASUBTYPE_YV12, 64, 48), true, TPixelLayout::YV12, false},
      {"IYUV", testing::VideoType(MEDIASUBTYPE_IYUV, 64, 48), true, TPixelLayout::I420, false},
      {"NV12", testing::VideoType(MEDIASUBTYPE_NV12, 64, 48), true, TPixelLayout::NV12, false},
      {"RGB32 bottom-up", testing::VideoType(MEDIASUBTYPE_RGB32, 64, 48), true, TPixelLayout::RGB32, true},
      {"RGB32 top-down", testing::VideoType(MEDIASUBTYPE_RGB32, 64, 48, true), true, TPixelLayout::RGB32, false},
      {"ARGB32", testing::VideoType(KSubtypeARGB32, 64, 48, true), true, TPixelLayout::ARGB32, false},
      {"MPEG-1 video", mpeg, false, {}, false},
      {"audio major type", audio, false, {}, false},
      {"short format block", shortBlock, false, {}, false},
      {"zero width", zero, false, {}, false},
      {"negative width", negativeWidth, false, {}, false},
  };
  for (const TRow& row : rows) {
    std::optional<TVideoFormat> format = ReadVideoFormat(row.Type);
    ASSERT_EQ(format.has_value(), row.Accepted) << row.Name;
    if (!format) continue;
    EXPECT_EQ(format->Picture.Layout, row.Layout) << row.Name;
    EXPECT_EQ(format->Picture.BottomUp, row.BottomUp) << row.Name;
    EXPECT_EQ(format->VisibleWidth, 64) << row.Name;
    EXPECT_EQ(format->VisibleHeight, 48) << row.Name;
    EXPECT_EQ(format->AvgTimePerFrame, 400000) << row.Name;
  }
}

TEST(ReadVideoFormat, SourceRectangle_namesTheVisiblePartOfPaddedRows) {
  VIDEOINFOHEADER v;
  v.rcSource = {0, 0, 60, 44};
  v.bmiHeader.biWidth = 64;
  v.bmiHeader.biHeight = 48;
  std::optional<TVideoFormat> format = ReadVideoFormat(MakeVideoInfoType(MEDIASUBTYPE_I420, v));
  ASSERT_TRUE(format);
  EXPECT_EQ(format->Picture.Width, 64);
  EXPECT_EQ(format->VisibleWidth, 60);
  EXPECT_EQ(format->VisibleHeight, 44);
  v.rcSource = {0, 0, 100, 44};  // outside the bitmap: ignored
  format = ReadVideoFormat(MakeVideoInfoType(MEDIASUBTYPE_I420, v));
  ASSERT_TRUE(format);
  EXPECT_EQ(format->VisibleWidth, 64);
}

TEST(SubtypeLayoutTable, EverySubtypeMapsBackToItsRow) {
  for (const TSubtypeLayout& row : SubtypeLayoutTable()) {
    std::optional<TPixelLayout> layout = LayoutOfSubtype(row.Subtype);
    ASSERT_TRUE(layout);
    EXPECT_EQ(*layout, row.Layout);
  }
  EXPECT_FALSE(LayoutOfSubtype(MEDIASUBTYPE_MPEG2_VIDEO));
}

video::TRgbImage Solid(int w, int h, uint32_t rgb, uint8_t alpha = 255) {
  video::TRgbImage image;
  image.Resize(w, h);
  image.Fill(rgb);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.Row(y)[x] = (image.Row(y)[x] & 0x00FFFFFF) | (uint32_t(alpha) << 24);
  return image;
}

TEST(PictureBlend, KeyColourShowsTheVideoThrough_otherPixelsCover) {
  const uint32_t key = video::ColorRefToPixel(KDefaultColorKey);
  video::TRgbImage video = Solid(4, 2, KGreen);
  video::TRgbImage page = Solid(4, 2, key);
  page.Row(0)[1] = 0xFF000000 | KRed;
  page.Row(1)[3] = 0xFF000000 | KWhite;
  BlendKeyed(video, page, key);
  EXPECT_EQ(video.At(0, 0), KGreen);
  EXPECT_EQ(video.At(1, 0), KRed);
  EXPECT_EQ(video.At(3, 1), KWhite);
  EXPECT_EQ(video.At(2, 1), KGreen);
  video::TRgbImage small = Solid(2, 2, KRed);
  BlendKeyed(video, small, key);  // size mismatch: nothing happens
  EXPECT_EQ(video.At(0, 0), KGreen);
}

TEST(PictureBlend, AlphaAndConstantOpacity) {
  video::TRgbImage video = Solid(2, 1, 0x000000);
  video::TRgbImage page = Solid(2, 1, 0xFFFFFF, 0);
  page.Row(0)[1] = 0x80FFFFFF;  // half opaque white
  BlendAlpha(video, page);
  EXPECT_EQ(video.At(0, 0), 0x000000u);
  EXPECT_TRUE(Near(video.At(1, 0), 0x808080, 1));

  video::TRgbImage target = Solid(2, 1, 0x000000);
  video::TRgbImage keyed = Solid(2, 1, 0xFFFFFF);
  keyed.Row(0)[0] = 0xFF000000 | 0x102030;
  BlendConstant(target, keyed, 64, true, 0x102030);
  EXPECT_EQ(target.At(0, 0), 0x000000u);            // key pixel skipped
  EXPECT_TRUE(Near(target.At(1, 0), 0x404040, 1));  // a quarter of white
}

TEST(ColorRef, ConvertsBetweenColourValueAndPixel) {
  EXPECT_EQ(video::ColorRefToPixel(0x100010), 0x100010u);  // symmetric key
  EXPECT_EQ(video::ColorRefToPixel(0x0000FF), 0xFF0000u);  // red in the low byte
  EXPECT_EQ(video::PixelToColorRef(0xFF123456), 0x563412u);
}

}  // namespace
}  // namespace kv::render
