// Helpers shared by the subtitle tests: reading a layout from text in memory, comparing
// entries, temporary files, and a few sample files (also written out as the fuzz seeds).
#pragma once

#include <cstdint>
#include <filesystem>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "subtitles/Subtitl.h"

namespace kv::test {

struct TEntry {
  std::uint32_t start;
  std::uint32_t stop;
  std::string text;
  bool operator==(const TEntry&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const TEntry& e) {
  return os << "{" << e.start << ", " << e.stop << ", \"" << e.text << "\"}";
}

std::vector<TEntry> Entries(const TSubTitles& list);

// Runs the reader of `format` over `text`, handed over in blocks of `blockSize` bytes.
TSubTitles ReadText(int format, std::string_view text, bool stripCodes = false,
                    double framerate = 25.0, std::size_t blockSize = 64 * 1024);

// A fresh directory under the system temp folder, removed by the destructor.
class TTempDir {
 public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  // Writes `bytes` to `name` inside the directory and returns the full path.
  std::string Write(const std::string& name, std::string_view bytes) const;
  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

 private:
  std::filesystem::path dir_;
};

std::string ReadWholeFile(const std::string& path);

struct TSample {
  const char* fileName;  // extension as users name such files
  int format;
  std::string_view text;
};
// One typical file per layout.
const std::vector<TSample>& Samples();

}  // namespace kv::test
