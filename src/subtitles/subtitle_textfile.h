// TSubtitleTextFile: the line source every subtitle reader and the layout detection read.
//
// A line ends at LF; a CR directly before the LF (or at the very end of the file) is dropped,
// every other byte, NUL included, stays in the line. The file is read in blocks, so memory
// is bounded by the longest line and reading is linear in the file size.
//
// Byte order marks: a UTF-8 mark at the start is skipped; a file that starts with a UTF-16 or
// UTF-32 mark (either byte order) is converted to UTF-8 as it is read, broken sequences
// becoming U+FFFD. Any other file is passed through byte for byte (a single-byte code page).
//
// Owned by one reader at a time; not thread-safe.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace kv {

enum class TTextEncoding { Bytes, Utf8Bom, Utf16LE, Utf16BE, Utf32LE, Utf32BE };

class TSubtitleTextFile {
 public:
  TSubtitleTextFile() = default;
  TSubtitleTextFile(const TSubtitleTextFile&) = delete;
  TSubtitleTextFile& operator=(const TSubtitleTextFile&) = delete;

  // Opens a regular file for reading; false when it cannot be opened or is a folder, pipe or
  // device (nothing else changes then).
  bool Open(const std::string& path);
  // Reads from `bytes` instead of a file, handing them over `blockSize` bytes at a time (tests
  // use small blocks to cross every boundary). The bytes must outlive this object.
  void OpenMemory(std::string_view bytes, std::size_t blockSize = kBlockSize);

  // True while at least one more line can be read (the "file has more lines" of the readers).
  bool HasMoreLines();
  // Reads the next line into `line`; at the end of the file `line` is empty and the result
  // is false.
  bool ReadLine(std::string& line);
  // ReadLine for callers that only need the text; empty at the end of the file.
  std::string ReadLine();

  TTextEncoding Encoding() const { return encoding_; }

  static constexpr std::size_t kBlockSize = 64 * 1024;

 private:
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };

  void Reset();
  // Reads the next raw block; false at the end of the input.
  bool ReadRaw(std::string& block);
  // Appends the next decoded block to buffer_; false when the input has ended.
  bool Fill();
  void DetectEncoding();
  void DecodeUnits(std::string_view raw, bool atEnd);

  std::unique_ptr<std::FILE, FileCloser> file_;
  std::string_view memory_;
  std::size_t memoryPos_ = 0;
  std::size_t blockSize_ = kBlockSize;

  TTextEncoding encoding_ = TTextEncoding::Bytes;
  bool encodingKnown_ = false;
  bool inputEnded_ = false;
  std::string pending_;  // raw bytes of an incomplete UTF-16/32 unit or surrogate pair
  std::string buffer_;   // decoded text not yet handed out
  std::size_t pos_ = 0;  // first byte of buffer_ not yet handed out
};

}  // namespace kv
