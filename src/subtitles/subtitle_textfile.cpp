#include "subtitles/subtitle_textfile.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "platform/files/regular_file.h"

namespace kv {

namespace {

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::uint32_t ReadUnit(const unsigned char* p, std::size_t width, bool bigEndian) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < width; ++i) {
    const std::size_t index = bigEndian ? i : width - 1 - i;
    value = (value << 8) | p[index];
  }
  return value;
}

bool StartsWithBytes(const std::string& data, std::string_view mark) {
  return data.size() >= mark.size() && std::string_view(data).substr(0, mark.size()) == mark;
}

}  // namespace

void TSubtitleTextFile::Reset() {
  file_.reset();
  memory_ = {};
  memoryPos_ = 0;
  blockSize_ = kBlockSize;
  encoding_ = TTextEncoding::Bytes;
  encodingKnown_ = false;
  inputEnded_ = false;
  pending_.clear();
  buffer_.clear();
  pos_ = 0;
}

bool TSubtitleTextFile::Open(const std::string& path) {
  // Only regular files: a folder reads as nothing, and a pipe or device could block (even
  // in the open) or never end.
  const int fd = files::OpenRegularFile(path);
  if (fd < 0) return false;
  std::FILE* f = ::fdopen(fd, "rb");
  if (f == nullptr) {
    ::close(fd);
    return false;
  }
  Reset();
  file_.reset(f);
  return true;
}

void TSubtitleTextFile::OpenMemory(std::string_view bytes, std::size_t blockSize) {
  Reset();
  memory_ = bytes;
  blockSize_ = blockSize == 0 ? 1 : blockSize;
}

bool TSubtitleTextFile::ReadRaw(std::string& block) {
  block.clear();
  if (file_) {
    block.resize(blockSize_);
    const std::size_t got = std::fread(block.data(), 1, blockSize_, file_.get());
    block.resize(got);
    return got > 0;
  }
  if (memoryPos_ >= memory_.size()) return false;
  block.assign(memory_.substr(memoryPos_, blockSize_));
  memoryPos_ += block.size();
  return true;
}

void TSubtitleTextFile::DetectEncoding() {
  // The longest mark has four bytes: gather that many (or all there is) before deciding.
  std::string block;
  while (pending_.size() < 4 && ReadRaw(block)) pending_ += block;
  using namespace std::string_view_literals;
  struct Mark {
    std::string_view bytes;
    TTextEncoding encoding;
  };
  // UTF-32LE before UTF-16LE: its mark begins with the UTF-16LE mark.
  static constexpr Mark kMarks[] = {
      {"\xEF\xBB\xBF"sv, TTextEncoding::Utf8Bom},
      {"\xFF\xFE\x00\x00"sv, TTextEncoding::Utf32LE},
      {"\x00\x00\xFE\xFF"sv, TTextEncoding::Utf32BE},
      {"\xFF\xFE"sv, TTextEncoding::Utf16LE},
      {"\xFE\xFF"sv, TTextEncoding::Utf16BE},
  };
  encoding_ = TTextEncoding::Bytes;
  for (const Mark& mark : kMarks) {
    if (StartsWithBytes(pending_, mark.bytes)) {
      encoding_ = mark.encoding;
      pending_.erase(0, mark.bytes.size());
      break;
    }
  }
  encodingKnown_ = true;
}

void TSubtitleTextFile::DecodeUnits(std::string_view raw, bool atEnd) {
  pending_.append(raw);
  const bool wide32 = encoding_ == TTextEncoding::Utf32LE || encoding_ == TTextEncoding::Utf32BE;
  const bool bigEndian = encoding_ == TTextEncoding::Utf16BE || encoding_ == TTextEncoding::Utf32BE;
  const std::size_t width = wide32 ? 4 : 2;
  const auto* data = reinterpret_cast<const unsigned char*>(pending_.data());
  std::size_t i = 0;
  while (i + width <= pending_.size()) {
    std::uint32_t unit = ReadUnit(data + i, width, bigEndian);
    if (!wide32 && unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 2 * width > pending_.size()) {
        if (!atEnd) break;  // the low half may come with the next block
        AppendUtf8(buffer_, 0xFFFD);
        i += width;
        continue;
      }
      const std::uint32_t low = ReadUnit(data + i + width, width, bigEndian);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(buffer_, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        i += 2 * width;
      } else {
        AppendUtf8(buffer_, 0xFFFD);  // lone high half; the next unit is read on its own
        i += width;
      }
      continue;
    }
    AppendUtf8(buffer_, unit);  // lone low halves and values past U+10FFFF become U+FFFD
    i += width;
  }
  pending_.erase(0, i);
  if (atEnd && !pending_.empty()) {
    AppendUtf8(buffer_, 0xFFFD);  // a truncated last unit
    pending_.clear();
  }
}

bool TSubtitleTextFile::Fill() {
  if (inputEnded_) return false;
  std::string block;
  if (!encodingKnown_) {
    DetectEncoding();
    block.swap(pending_);  // what DetectEncoding gathered is the first block
  } else if (!ReadRaw(block)) {
    block.clear();
    inputEnded_ = true;
  }
  // The first block may be empty although more follows (the mark took all of it); only a
  // failed raw read ends the input.
  const std::size_t before = buffer_.size();
  if (encoding_ == TTextEncoding::Bytes || encoding_ == TTextEncoding::Utf8Bom) {
    buffer_ += block;
  } else {
    DecodeUnits(block, inputEnded_);
  }
  return buffer_.size() > before || !inputEnded_;
}

bool TSubtitleTextFile::HasMoreLines() {
  while (pos_ >= buffer_.size()) {
    if (!Fill()) return false;
  }
  return true;
}

bool TSubtitleTextFile::ReadLine(std::string& line) {
  line.clear();
  if (!HasMoreLines()) return false;
  std::size_t scanFrom = pos_;
  for (;;) {
    const std::size_t lf = buffer_.find('\n', scanFrom);
    if (lf != std::string::npos) {
      line.assign(buffer_, pos_, lf - pos_);
      pos_ = lf + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    // No line end yet: drop what was handed out, then read on without rescanning.
    buffer_.erase(0, pos_);
    pos_ = 0;
    scanFrom = buffer_.size();
    if (!Fill()) break;
  }
  line.assign(buffer_, pos_);  // the last line has no line end
  pos_ = buffer_.size();
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

std::string TSubtitleTextFile::ReadLine() {
  std::string line;
  ReadLine(line);
  return line;
}

}  // namespace kv
