// What a video renderer reads from a connection's media type: the picture layout in each
// sample, the visible size and the frame duration.
#pragma once

#include <optional>
#include <span>

#include "filters/render/video_converter.h"
#include "platform/graph/media_type.h"

namespace kv::render {

struct TSubtypeLayout {
  GUID Subtype;
  TPixelLayout Layout;
};
// The uncompressed video subtypes the renderers take, in the order they offer them.
std::span<const TSubtypeLayout> SubtypeLayoutTable();
std::optional<TPixelLayout> LayoutOfSubtype(const GUID& subtype);

struct TVideoFormat {
  TPictureLayout Picture;        // how a sample holds the picture
  int VisibleLeft = 0;           // where the video lies in the bitmap (rcSource when set)
  int VisibleTop = 0;
  int VisibleWidth = 0;          // the video's size (rcSource when set, else the bitmap's)
  int VisibleHeight = 0;
  int64_t AvgTimePerFrame = 0;   // 100-ns units, 0 when unknown
};

// Reads a VideoInfo or VideoInfo2 video type of a supported subtype; nullopt for anything
// else or an implausible size (zero, negative width, beyond 16384).
std::optional<TVideoFormat> ReadVideoFormat(const MediaType& type);

// Builds a top-down RGB32 VideoInfo type of w x h (the mixers' output).
MediaType MakeRgb32Type(int width, int height, int64_t avgTimePerFrame);

}  // namespace kv::render
