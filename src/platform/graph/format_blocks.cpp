#include "platform/graph/format_blocks.h"

#include <cstring>

#include "platform/graph/media_guids.h"

namespace kv {
namespace {

class Writer {
 public:
  void U16(uint16_t v) { Put(v, 2); }
  void U32(uint32_t v) { Put(v, 4); }
  void I32(int32_t v) { Put(static_cast<uint32_t>(v), 4); }
  void I64(int64_t v) { Put(static_cast<uint64_t>(v), 8); }
  void F32(float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    U32(v);
  }
  void Bytes(const std::vector<uint8_t>& b) { out.insert(out.end(), b.begin(), b.end()); }
  void Rect(const RECT& r) {
    I32(r.left);
    I32(r.top);
    I32(r.right);
    I32(r.bottom);
  }
  void Bmi(const BITMAPINFOHEADER& b) {
    U32(b.biSize);
    I32(b.biWidth);
    I32(b.biHeight);
    U16(b.biPlanes);
    U16(b.biBitCount);
    U32(b.biCompression);
    U32(b.biSizeImage);
    I32(b.biXPelsPerMeter);
    I32(b.biYPelsPerMeter);
    U32(b.biClrUsed);
    U32(b.biClrImportant);
  }
  std::vector<uint8_t> out;

 private:
  void Put(uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  }
};

// Reads at a moving offset; the caller checks the size first, so reads never fail.
class Reader {
 public:
  Reader(const std::vector<uint8_t>& b, size_t at = 0) : b_(b), at_(at) {}
  uint64_t Get(int n) {
    uint64_t v = 0;
    for (int i = 0; i < n; ++i) v |= uint64_t(b_[at_ + i]) << (8 * i);
    at_ += n;
    return v;
  }
  uint16_t U16() { return static_cast<uint16_t>(Get(2)); }
  uint32_t U32() { return static_cast<uint32_t>(Get(4)); }
  int32_t I32() { return static_cast<int32_t>(U32()); }
  int64_t I64() { return static_cast<int64_t>(Get(8)); }
  float F32() {
    uint32_t v = U32();
    float f;
    std::memcpy(&f, &v, 4);
    return f;
  }
  std::vector<uint8_t> Bytes(size_t n) {
    std::vector<uint8_t> v(b_.begin() + at_, b_.begin() + at_ + n);
    at_ += n;
    return v;
  }
  RECT Rect() {
    RECT r;
    r.left = I32();
    r.top = I32();
    r.right = I32();
    r.bottom = I32();
    return r;
  }
  BITMAPINFOHEADER Bmi() {
    BITMAPINFOHEADER b;
    b.biSize = U32();
    b.biWidth = I32();
    b.biHeight = I32();
    b.biPlanes = U16();
    b.biBitCount = U16();
    b.biCompression = U32();
    b.biSizeImage = U32();
    b.biXPelsPerMeter = I32();
    b.biYPelsPerMeter = I32();
    b.biClrUsed = U32();
    b.biClrImportant = U32();
    return b;
  }
  size_t at() const { return at_; }

 private:
  const std::vector<uint8_t>& b_;
  size_t at_;
};

void WriteVih(Writer& w, const VIDEOINFOHEADER& v) {
  w.Rect(v.rcSource);
  w.Rect(v.rcTarget);
  w.U32(v.dwBitRate);
  w.U32(v.dwBitErrorRate);
  w.I64(v.AvgTimePerFrame);
  w.Bmi(v.bmiHeader);
}
VIDEOINFOHEADER ReadVih(Reader& r) {
  VIDEOINFOHEADER v;
  v.rcSource = r.Rect();
  v.rcTarget = r.Rect();
  v.dwBitRate = r.U32();
  v.dwBitErrorRate = r.U32();
  v.AvgTimePerFrame = r.I64();
  v.bmiHeader = r.Bmi();
  return v;
}
void WriteVih2(Writer& w, const VIDEOINFOHEADER2& v) {
  w.Rect(v.rcSource);
  w.Rect(v.rcTarget);
  w.U32(v.dwBitRate);
  w.U32(v.dwBitErrorRate);
  w.I64(v.AvgTimePerFrame);
  w.U32(v.dwInterlaceFlags);
  w.U32(v.dwCopyProtectFlags);
  w.U32(v.dwPictAspectRatioX);
  w.U32(v.dwPictAspectRatioY);
  w.U32(v.dwControlFlags);
  w.U32(v.dwReserved2);
  w.Bmi(v.bmiHeader);
}
VIDEOINFOHEADER2 ReadVih2(Reader& r) {
  VIDEOINFOHEADER2 v;
  v.rcSource = r.Rect();
  v.rcTarget = r.Rect();
  v.dwBitRate = r.U32();
  v.dwBitErrorRate = r.U32();
  v.AvgTimePerFrame = r.I64();
  v.dwInterlaceFlags = r.U32();
  v.dwCopyProtectFlags = r.U32();
  v.dwPictAspectRatioX = r.U32();
  v.dwPictAspectRatioY = r.U32();
  v.dwControlFlags = r.U32();
  v.dwReserved2 = r.U32();
  v.bmiHeader = r.Bmi();
  return v;
}
void WriteVorbis(Writer& w, const VORBISFORMAT& v) {
  w.U32(v.nChannels);
  w.U32(v.nSamplesPerSec);
  w.U32(v.nMinBitsPerSec);
  w.U32(v.nAvgBitsPerSec);
  w.U32(v.nMaxBitsPerSec);
  w.F32(v.fQuality);
}
VORBISFORMAT ReadVorbis(Reader& r) {
  VORBISFORMAT v;
  v.nChannels = r.U32();
  v.nSamplesPerSec = r.U32();
  v.nMinBitsPerSec = r.U32();
  v.nAvgBitsPerSec = r.U32();
  v.nMaxBitsPerSec = r.U32();
  v.fQuality = r.F32();
  return v;
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

std::vector<uint8_t> BuildFormatBlock(const VIDEOINFOHEADER& v) {
  Writer w;
  WriteVih(w, v);
  return std::move(w.out);
}
std::vector<uint8_t> BuildFormatBlock(const VIDEOINFOHEADER2& v) {
  Writer w;
  WriteVih2(w, v);
  return std::move(w.out);
}
std::vector<uint8_t> BuildFormatBlock(const MPEG1VIDEOINFO& v) {
  Writer w;
  WriteVih(w, v.hdr);
  w.U32(v.dwStartTimeCode);
  w.U32(static_cast<uint32_t>(v.sequenceHeader.size()));
  w.Bytes(v.sequenceHeader);
  // bSequenceHeader[1] is part of the fixed layout even when empty.
  if (v.sequenceHeader.empty()) w.out.resize(kMpeg1VideoInfoFixedSize, 0);
  return std::move(w.out);
}
std::vector<uint8_t> BuildFormatBlock(const MPEG2VIDEOINFO& v) {
  Writer w;
  WriteVih2(w, v.hdr);
  w.U32(v.dwStartTimeCode);
  w.U32(static_cast<uint32_t>(v.sequenceHeader.size()));
  w.U32(v.dwProfile);
  w.U32(v.dwLevel);
  w.U32(v.dwFlags);
  w.Bytes(v.sequenceHeader);
  // dwSequenceHeader[1]: at least one 32-bit slot, and the tail padded to whole slots.
  size_t tail = std::max<size_t>(4, (v.sequenceHeader.size() + 3) / 4 * 4);
  w.out.resize(kMpeg2VideoInfoFixedSize + tail, 0);
  return std::move(w.out);
}
std::vector<uint8_t> BuildFormatBlock(const WAVEFORMATEX& f) {
  Writer w;
  w.U16(f.wFormatTag);
  w.U16(f.nChannels);
  w.U32(f.nSamplesPerSec);
  w.U32(f.nAvgBytesPerSec);
  w.U16(f.nBlockAlign);
  w.U16(f.wBitsPerSample);
  w.U16(static_cast<uint16_t>(f.extra.size()));
  w.Bytes(f.extra);
  return std::move(w.out);
}
std::vector<uint8_t> BuildFormatBlock(const VORBISFORMAT& v) {
  Writer w;
  WriteVorbis(w, v);
  return std::move(w.out);
}
std::vector<uint8_t> BuildFormatBlock(const VORBISFORMAT2& v) {
  Writer w;
  WriteVorbis(w, v.info);
  for (auto& h : v.headers) w.U32(static_cast<uint32_t>(h.size()));
  for (auto& h : v.headers) w.Bytes(h);
  return std::move(w.out);
}

std::optional<VIDEOINFOHEADER> ReadVideoInfoHeader(const std::vector<uint8_t>& b) {
  if (b.size() < kVideoInfoSize) return std::nullopt;
  Reader r(b);
  return ReadVih(r);
}
std::optional<VIDEOINFOHEADER2> ReadVideoInfoHeader2(const std::vector<uint8_t>& b) {
  if (b.size() < kVideoInfo2Size) return std::nullopt;
  Reader r(b);
  return ReadVih2(r);
}
std::optional<MPEG1VIDEOINFO> ReadMpeg1VideoInfo(const std::vector<uint8_t>& b) {
  if (b.size() < kMpeg1VideoInfoFixedSize) return std::nullopt;
  Reader r(b);
  MPEG1VIDEOINFO v;
  v.hdr = ReadVih(r);
  v.dwStartTimeCode = r.U32();
  uint32_t n = r.U32();
  if (n > b.size() - r.at()) return std::nullopt;
  v.sequenceHeader = r.Bytes(n);
  return v;
}
std::optional<MPEG2VIDEOINFO> ReadMpeg2VideoInfo(const std::vector<uint8_t>& b) {
  if (b.size() < kMpeg2VideoInfoFixedSize) return std::nullopt;
  Reader r(b);
  MPEG2VIDEOINFO v;
  v.hdr = ReadVih2(r);
  v.dwStartTimeCode = r.U32();
  uint32_t n = r.U32();
  v.dwProfile = r.U32();
  v.dwLevel = r.U32();
  v.dwFlags = r.U32();
  if (n > b.size() - r.at()) return std::nullopt;
  v.sequenceHeader = r.Bytes(n);
  return v;
}
std::optional<WAVEFORMATEX> ReadWaveFormatEx(const std::vector<uint8_t>& b) {
  // A plain 16-byte WAVEFORMAT (no cbSize) is still a valid PCM description.
  if (b.size() < 16) return std::nullopt;
  Reader r(b);
  WAVEFORMATEX f;
  f.wFormatTag = r.U16();
  f.nChannels = r.U16();
  f.nSamplesPerSec = r.U32();
  f.nAvgBytesPerSec = r.U32();
  f.nBlockAlign = r.U16();
  f.wBitsPerSample = r.U16();
  if (b.size() >= kWaveFormatExFixedSize) {
    uint16_t n = r.U16();
    if (n > b.size() - r.at()) return std::nullopt;
    f.extra = r.Bytes(n);
  }
  return f;
}
std::optional<VORBISFORMAT> ReadVorbisFormat(const std::vector<uint8_t>& b) {
  if (b.size() < kVorbisFormatSize) return std::nullopt;
  Reader r(b);
  return ReadVorbis(r);
}
std::optional<VORBISFORMAT2> ReadVorbisFormat2(const std::vector<uint8_t>& b) {
  if (b.size() < kVorbisFormat2FixedSize) return std::nullopt;
  Reader r(b);
  VORBISFORMAT2 v;
  v.info = ReadVorbis(r);
  uint32_t sizes[3] = {r.U32(), r.U32(), r.U32()};
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
