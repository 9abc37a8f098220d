#include "platform/graph/format_blocks.h"

#include <cstring>
#include <type_traits>

#include "platform/graph/media_guids.h"

namespace kv {
namespace {

// Each fixed layout is listed once, field by field in block order (Fields below); the
// writer and the reader walk the same list, so the two directions cannot disagree.
class Writer {
 public:
  template <class... T>
  void operator()(const T&... fields) {
    (Put(fields), ...);
  }
  void Bytes(const std::vector<uint8_t>& b) { out.insert(out.end(), b.begin(), b.end()); }
  std::vector<uint8_t> out;

 private:
  void Put(uint16_t v) { Le(v, 2); }
  void Put(uint32_t v) { Le(v, 4); }
  void Put(int32_t v) { Le(static_cast<uint32_t>(v), 4); }
  void Put(int64_t v) { Le(static_cast<uint64_t>(v), 8); }
  void Put(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    Le(v, 4);
  }
  template <class T>
  void Put(const T& compound) {
    Fields(*this, compound);
  }
  void Le(uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
};

// Reads at a moving offset; the caller checks the size first, so reads never fail.
class Reader {
 public:
  Reader(const std::vector<uint8_t>& b, size_t at = 0) : b_(b), at_(at) {}
  template <class... T>
  void operator()(T&... fields) {
    (Get(fields), ...);
  }
  template <class T>
  T Read() {
    T v{};
    Get(v);
    return v;
  }
  uint16_t U16() { return Read<uint16_t>(); }
  uint32_t U32() { return Read<uint32_t>(); }
  int64_t I64() { return Read<int64_t>(); }
  std::vector<uint8_t> Bytes(size_t n) {
    std::vector<uint8_t> v(b_.begin() + at_, b_.begin() + at_ + n);
    at_ += n;
    return v;
  }
  size_t at() const { return at_; }

 private:
  void Get(uint16_t& v) { v = static_cast<uint16_t>(Le(2)); }
  void Get(uint32_t& v) { v = static_cast<uint32_t>(Le(4)); }
  void Get(int32_t& v) { v = static_cast<int32_t>(static_cast<uint32_t>(Le(4))); }
  void Get(int64_t& v) { v = static_cast<int64_t>(Le(8)); }
  void Get(float& f) {
    uint32_t v = static_cast<uint32_t>(Le(4));
    std::memcpy(&f, &v, 4);
  }
  template <class T>
  void Get(T& compound) {
    Fields(*this, compound);
  }
  uint64_t Le(int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= uint64_t(b_[at_ + i]) << (8 * i);
    at_ += n;
    return v;
  }
  const std::vector<uint8_t>& b_;
  size_t at_;
};

// The layouts. V is the struct or its const (the writer reads it, the reader fills it).
template <class IO, class V>
  requires std::is_same_v<std::remove_const_t<V>, RECT>
void Fields(IO& io, V& r) {
  io(r.left, r.top, r.right, r.bottom);
}
template <class IO, class V>
  requires std::is_same_v<std::remove_const_t<V>, BITMAPINFOHEADER>
void Fields(IO& io, V& b) {
  io(b.biSize, b.biWidth, b.biHeight, b.biPlanes, b.biBitCount, b.biCompression, b.biSizeImage, b.biXPelsPerMeter,
     b.biYPelsPerMeter, b.biClrUsed, b.biClrImportant);
}
template <class IO, class V>
  requires std::is_same_v<std::remove_const_t<V>, VIDEOINFOHEADER>
void Fields(IO& io, V& v) {
  io(v.rcSource, v.rcTarget, v.dwBitRate, v.dwBitErrorRate, v.AvgTimePerFrame, v.bmiHeader);
}
template <class IO, class V>
  requires std::is_same_v<std::remove_const_t<V>, VIDEOINFOHEADER2>
void Fields(IO& io, V& v) {
  io(v.rcSource, v.rcTarget, v.dwBitRate, v.dwBitErrorRate, v.AvgTimePerFrame, v.dwInterlaceFlags,
     v.dwCopyProtectFlags, v.dwPictAspectRatioX, v.dwPictAspectRatioY, v.dwControlFlags, v.dwReserved2, v.bmiHeader);
}
template <class IO, class V>
  requires std::is_same_v<std::remove_const_t<V>, VORBISFORMAT>
void Fields(IO& io, V& v) {
  io(v.nChannels, v.nSamplesPerSec, v.nMinBitsPerSec, v.nAvgBitsPerSec, v.nMaxBitsPerSec, v.fQuality);
}
// WAVEFORMATEX without cbSize and its extra bytes (a plain WAVEFORMAT has none).
template <class IO, class V>
  requires std::is_same_v<std::remove_const_t<V>, WAVEFORMATEX>
void Fields(IO& io, V& f) {
  io(f.wFormatTag, f.nChannels, f.nSamplesPerSec, f.nAvgBytesPerSec, f.nBlockAlign, f.wBitsPerSample);
}

template <class T>
std::vector<uint8_t> Write(const T& v) {
  Writer w;
  w(v);
  return std::move(w.out);
}

MediaType Make(const GUID& major, const GUID& sub, const GUID& format, std::vector<uint8_t> block) {
  MediaType mt;
  mt.majortype = major;
  mt.subtype = sub;
  mt.formattype = format;
  mt.format = std::move(block);
  return mt;
}

}  // namespace

std::vector<uint8_t> BuildFormatBlock(const VIDEOINFOHEADER& v) { return Write(v); }
std::vector<uint8_t> BuildFormatBlock(const VIDEOINFOHEADER2& v) { return Write(v); }
std::vector<uint8_t> BuildFormatBlock(const MPEG1VIDEOINFO& v) {
  Writer w;
  w(v.hdr, v.dwStartTimeCode, static_cast<uint32_t>(v.sequenceHeader.size()));
  w.Bytes(v.sequenceHeader);
  // bSequenceHeader[1] is part of the fixed layout even when empty.
  if (v.sequenceHeader.empty()) w.out.resize(kMpeg1VideoInfoFixedSize, 0);
  return std::move(w.out);
}
std::vector<uint8_t> BuildFormatBlock(const MPEG2VIDEOINFO& v) {
  Writer w;
  w(v.hdr, v.dwStartTimeCode, static_cast<uint32_t>(v.sequenceHeader.size()), v.dwProfile, v.dwLevel, v.dwFlags);
  w.Bytes(v.sequenceHeader);
  // dwSequenceHeader[1]: at least one 32-bit slot, and the tail padded to whole slots.
  size_t tail = std::max<size_t>(4, (v.sequenceHeader.size() + 3) / 4 * 4);
  w.out.resize(kMpeg2VideoInfoFixedSize + tail, 0);
  return std::move(w.out);
}
std::vector<uint8_t> BuildFormatBlock(const WAVEFORMATEX& f) {
  Writer w;
  w(f, static_cast<uint16_t>(f.extra.size()));
  w.Bytes(f.extra);
  return std::move(w.out);
}
std::vector<uint8_t> BuildFormatBlock(const VORBISFORMAT& v) { return Write(v); }
std::vector<uint8_t> BuildFormatBlock(const VORBISFORMAT2& v) {
  Writer w;
  w(v.info);
  for (auto& h : v.headers) w(static_cast<uint32_t>(h.size()));
  for (auto& h : v.headers) w.Bytes(h);
  return std::move(w.out);
}

std::optional<VIDEOINFOHEADER> ReadVideoInfoHeader(const std::vector<uint8_t>& b) {
  if (b.size() < kVideoInfoSize) return std::nullopt;
  return Reader(b).Read<VIDEOINFOHEADER>();
}
std::optional<VIDEOINFOHEADER2> ReadVideoInfoHeader2(const std::vector<uint8_t>& b) {
  if (b.size() < kVideoInfo2Size) return std::nullopt;
  return Reader(b).Read<VIDEOINFOHEADER2>();
}
std::optional<MPEG1VIDEOINFO> ReadMpeg1VideoInfo(const std::vector<uint8_t>& b) {
  if (b.size() < kMpeg1VideoInfoFixedSize) return std::nullopt;
  Reader r(b);
  MPEG1VIDEOINFO v;
  uint32_t n = 0;
  r(v.hdr, v.dwStartTimeCode, n);
  if (n > b.size() - r.at()) return std::nullopt;
  v.sequenceHeader = r.Bytes(n);
  return v;
}
std::optional<MPEG2VIDEOINFO> ReadMpeg2VideoInfo(const std::vector<uint8_t>& b) {
  if (b.size() < kMpeg2VideoInfoFixedSize) return std::nullopt;
  Reader r(b);
  MPEG2VIDEOINFO v;
  uint32_t n = 0;
  r(v.hdr, v.dwStartTimeCode, n, v.dwProfile, v.dwLevel, v.dwFlags);
  if (n > b.size() - r.at()) return std::nullopt;
  v.sequenceHeader = r.Bytes(n);
  return v;
}
std::optional<WAVEFORMATEX> ReadWaveFormatEx(const std::vector<uint8_t>& b) {
  // A plain 16-byte WAVEFORMAT (no cbSize) is still a valid PCM description.
  if (b.size() < 16) return std::nullopt;
  Reader r(b);
  WAVEFORMATEX f;
  r(f);
  if (b.size() >= kWaveFormatExFixedSize) {
    uint16_t n = r.U16();
    if (n > b.size() - r.at()) return std::nullopt;
    f.extra = r.Bytes(n);
  }
  return f;
}
std::optional<VORBISFORMAT> ReadVorbisFormat(const std::vector<uint8_t>& b) {
  if (b.size() < kVorbisFormatSize) return std::nullopt;
  return Reader(b).Read<VORBISFORMAT>();
}
std::optional<VORBISFORMAT2> ReadVorbisFormat2(const std::vector<uint8_t>& b) {
  if (b.size() < kVorbisFormat2FixedSize) return std::nullopt;
  Reader r(b);
  VORBISFORMAT2 v;
  uint32_t sizes[3] = {};
  r(v.info, sizes[0], sizes[1], sizes[2]);
  for (int i = 0; i < 3; ++i) {
    if (sizes[i] > b.size() - r.at()) return std::nullopt;
    v.headers[i] = r.Bytes(sizes[i]);
  }
  return v;
}

std::optional<uint16_t> ReadLE16(const std::vector<uint8_t>& b, size_t offset) {
  if (offset > b.size() || b.size() - offset < 2) return std::nullopt;
  return Reader(b, offset).U16();
}
std::optional<uint32_t> ReadLE32(const std::vector<uint8_t>& b, size_t offset) {
  if (offset > b.size() || b.size() - offset < 4) return std::nullopt;
  return Reader(b, offset).U32();
}
std::optional<int64_t> ReadLE64(const std::vector<uint8_t>& b, size_t offset) {
  if (offset > b.size() || b.size() - offset < 8) return std::nullopt;
  return Reader(b, offset).I64();
}

MediaType MakeVideoInfoType(const GUID& sub, const VIDEOINFOHEADER& v) {
  MediaType mt = Make(MEDIATYPE_Video, sub, FORMAT_VideoInfo, BuildFormatBlock(v));
  mt.lSampleSize = v.bmiHeader.biSizeImage;
  return mt;
}
MediaType MakeVideoInfo2Type(const GUID& sub, const VIDEOINFOHEADER2& v) {
  MediaType mt = Make(MEDIATYPE_Video, sub, FORMAT_VideoInfo2, BuildFormatBlock(v));
  mt.lSampleSize = v.bmiHeader.biSizeImage;
  return mt;
}
MediaType MakeMpeg1VideoType(const GUID& sub, const MPEG1VIDEOINFO& v) {
  MediaType mt = Make(MEDIATYPE_Video, sub, FORMAT_MPEGVideo, BuildFormatBlock(v));
  mt.bFixedSizeSamples = false;
  mt.bTemporalCompression = true;
  return mt;
}
MediaType MakeMpeg2VideoType(const GUID& sub, const MPEG2VIDEOINFO& v) {
  MediaType mt = Make(MEDIATYPE_Video, sub, FORMAT_MPEG2Video, BuildFormatBlock(v));
  mt.bFixedSizeSamples = false;
  mt.bTemporalCompression = true;
  return mt;
}
MediaType MakeWaveFormatType(const GUID& sub, const WAVEFORMATEX& w) {
  MediaType mt = Make(MEDIATYPE_Audio, sub, FORMAT_WaveFormatEx, BuildFormatBlock(w));
  mt.lSampleSize = w.nBlockAlign;
  return mt;
}
MediaType MakeVorbisType(const GUID& sub, const VORBISFORMAT& v) {
  MediaType mt = Make(MEDIATYPE_Audio, sub, FORMAT_VorbisFormat, BuildFormatBlock(v));
  mt.bFixedSizeSamples = false;
  return mt;
}
MediaType MakeVorbis2Type(const GUID& sub, const VORBISFORMAT2& v) {
  MediaType mt = Make(MEDIATYPE_Audio, sub, FORMAT_VorbisFormat2, BuildFormatBlock(v));
  mt.bFixedSizeSamples = false;
  return mt;
}

}  // namespace kv
