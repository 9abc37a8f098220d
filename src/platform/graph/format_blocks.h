// Format blocks: the byte layouts behind MediaType::format, little-endian, at the offsets
// the engine reads (for example the frame width of a VIDEOINFOHEADER at byte 52).
//
// Each layout has a plain struct, a builder that writes the exact bytes and a reader that
// refuses a block shorter than the layout (bad media must not make us read past a buffer).
// Variable tails (MPEG sequence headers, WAVEFORMATEX extra bytes, Vorbis headers) follow
// the fixed part as in the platform's layouts. Pure functions, any thread.
//
// Offsets (bytes):
//   VIDEOINFOHEADER   rcSource 0, rcTarget 16, dwBitRate 32, dwBitErrorRate 36,
//                     AvgTimePerFrame 40 (int64), bmiHeader 48 (biWidth 52, biHeight 56); 88 bytes
//   VIDEOINFOHEADER2  ... AvgTimePerFrame 40, dwInterlaceFlags 48, dwCopyProtectFlags 52,
//                     dwPictAspectRatioX 56, dwPictAspectRatioY 60, dwControlFlags 64,
//                     dwReserved2 68, bmiHeader 72 (biWidth 76, biHeight 80); 112 bytes
//   MPEG1VIDEOINFO    VIDEOINFOHEADER, dwStartTimeCode 88, cbSequenceHeader 92, bSequenceHeader 96
//   MPEG2VIDEOINFO    VIDEOINFOHEADER2, dwStartTimeCode 112, cbSequenceHeader 116, dwProfile 120,
//                     dwLevel 124, dwFlags 128, dwSequenceHeader 132
//   WAVEFORMATEX      wFormatTag 0, nChannels 2, nSamplesPerSec 4, nAvgBytesPerSec 8,
//                     nBlockAlign 12, wBitsPerSample 14, cbSize 16, extra 18
//   Vorbis blocks     channels 0 (the engine reads 16 bits), nSamplesPerSec 4,
//                     nMinBitsPerSec 8, nAvgBitsPerSec 12, nMaxBitsPerSec 16, fQuality 20;
//                     the second block adds three header sizes at 24 and the headers at 36
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/graph/media_type.h"

namespace kv {

struct RECT {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const RECT&, const RECT&) = default;
};

struct BITMAPINFOHEADER {
  uint32_t biSize = 40;
  int32_t biWidth = 0;
  int32_t biHeight = 0;
  uint16_t biPlanes = 1;
  uint16_t biBitCount = 0;
  uint32_t biCompression = 0;  // FOURCC, or 0 (BI_RGB)
  uint32_t biSizeImage = 0;
  int32_t biXPelsPerMeter = 0;
  int32_t biYPelsPerMeter = 0;
  uint32_t biClrUsed = 0;
  uint32_t biClrImportant = 0;
  friend bool operator==(const BITMAPINFOHEADER&, const BITMAPINFOHEADER&) = default;
};

struct VIDEOINFOHEADER {
  RECT rcSource, rcTarget;
  uint32_t dwBitRate = 0;
  uint32_t dwBitErrorRate = 0;
  int64_t AvgTimePerFrame = 0;  // 100-ns units
  BITMAPINFOHEADER bmiHeader;
  friend bool operator==(const VIDEOINFOHEADER&, const VIDEOINFOHEADER&) = default;
};

struct VIDEOINFOHEADER2 {
  RECT rcSource, rcTarget;
  uint32_t dwBitRate = 0;
  uint32_t dwBitErrorRate = 0;
  int64_t AvgTimePerFrame = 0;
  uint32_t dwInterlaceFlags = 0;
  uint32_t dwCopyProtectFlags = 0;
  uint32_t dwPictAspectRatioX = 0;
  uint32_t dwPictAspectRatioY = 0;
  uint32_t dwControlFlags = 0;
  uint32_t dwReserved2 = 0;
  BITMAPINFOHEADER bmiHeader;
  friend bool operator==(const VIDEOINFOHEADER2&, const VIDEOINFOHEADER2&) = default;
};

struct MPEG1VIDEOINFO {
  VIDEOINFOHEADER hdr;
  uint32_t dwStartTimeCode = 0;
  std::vector<uint8_t> sequenceHeader;
  friend bool operator==(const MPEG1VIDEOINFO&, const MPEG1VIDEOINFO&) = default;
};

struct MPEG2VIDEOINFO {
  VIDEOINFOHEADER2 hdr;
  uint32_t dwStartTimeCode = 0;
  uint32_t dwProfile = 0;
  uint32_t dwLevel = 0;
  uint32_t dwFlags = 0;
  std::vector<uint8_t> sequenceHeader;
  friend bool operator==(const MPEG2VIDEOINFO&, const MPEG2VIDEOINFO&) = default;
};

struct WAVEFORMATEX {
  uint16_t wFormatTag = 0;
  uint16_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nAvgBytesPerSec = 0;
  uint16_t nBlockAlign = 0;
  uint16_t wBitsPerSample = 0;
  std::vector<uint8_t> extra;  // cbSize bytes after the fixed 18
  friend bool operator==(const WAVEFORMATEX&, const WAVEFORMATEX&) = default;
};

struct VORBISFORMAT {
  uint32_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nMinBitsPerSec = 0;
  uint32_t nAvgBitsPerSec = 0;
  uint32_t nMaxBitsPerSec = 0;
  float fQuality = 0;
  friend bool operator==(const VORBISFORMAT&, const VORBISFORMAT&) = default;
};

struct VORBISFORMAT2 {
  VORBISFORMAT info;
  std::array<std::vector<uint8_t>, 3> headers;  // identification, comment, setup
  friend bool operator==(const VORBISFORMAT2&, const VORBISFORMAT2&) = default;
};

inline constexpr size_t kVideoInfoSize = 88;
inline constexpr size_t kVideoInfo2Size = 112;
inline constexpr size_t kMpeg1VideoInfoFixedSize = 96;
inline constexpr size_t kMpeg2VideoInfoFixedSize = 132;
inline constexpr size_t kWaveFormatExFixedSize = 18;
inline constexpr size_t kVorbisFormatSize = 24;
inline constexpr size_t kVorbisFormat2FixedSize = 36;

std::vector<uint8_t> BuildFormatBlock(const VIDEOINFOHEADER& v);
std::vector<uint8_t> BuildFormatBlock(const VIDEOINFOHEADER2& v);
std::vector<uint8_t> BuildFormatBlock(const MPEG1VIDEOINFO& v);
std::vector<uint8_t> BuildFormatBlock(const MPEG2VIDEOINFO& v);
std::vector<uint8_t> BuildFormatBlock(const WAVEFORMATEX& w);
std::vector<uint8_t> BuildFormatBlock(const VORBISFORMAT& v);
std::vector<uint8_t> BuildFormatBlock(const VORBISFORMAT2& v);

// Readers: nullopt when the block is shorter than the layout (or its declared tail).
std::optional<VIDEOINFOHEADER> ReadVideoInfoHeader(const std::vector<uint8_t>& block);
std::optional<VIDEOINFOHEADER2> ReadVideoInfoHeader2(const std::vector<uint8_t>& block);
std::optional<MPEG1VIDEOINFO> ReadMpeg1VideoInfo(const std::vector<uint8_t>& block);
std::optional<MPEG2VIDEOINFO> ReadMpeg2VideoInfo(const std::vector<uint8_t>& block);
std::optional<WAVEFORMATEX> ReadWaveFormatEx(const std::vector<uint8_t>& block);
std::optional<VORBISFORMAT> ReadVorbisFormat(const std::vector<uint8_t>& block);
std::optional<VORBISFORMAT2> ReadVorbisFormat2(const std::vector<uint8_t>& block);

// Raw little-endian field reads for code that works by offset; nullopt past the end.
std::optional<uint16_t> ReadLE16(const std::vector<uint8_t>& block, size_t offset);
std::optional<uint32_t> ReadLE32(const std::vector<uint8_t>& block, size_t offset);
std::optional<int64_t> ReadLE64(const std::vector<uint8_t>& block, size_t offset);

// Complete media types with the matching format type and block.
MediaType MakeVideoInfoType(const GUID& subtype, const VIDEOINFOHEADER& v);
MediaType MakeVideoInfo2Type(const GUID& subtype, const VIDEOINFOHEADER2& v);
MediaType MakeMpeg1VideoType(const GUID& subtype, const MPEG1VIDEOINFO& v);
MediaType MakeMpeg2VideoType(const GUID& subtype, const MPEG2VIDEOINFO& v);
MediaType MakeWaveFormatType(const GUID& subtype, const WAVEFORMATEX& w);
MediaType MakeVorbisType(const GUID& subtype, const VORBISFORMAT& v);
MediaType MakeVorbis2Type(const GUID& subtype, const VORBISFORMAT2& v);

}  // namespace kv
