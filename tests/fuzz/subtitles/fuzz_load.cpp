// Fuzzes detection and LoadFromFile through a real file, the way the player reaches them,
// and writes whatever was read back out in the three layouts.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "subtitles/Subtitl.h"

namespace {

// One scratch directory per fuzzing process.
const std::string& ScratchDir() {
  static const std::string dir = [] {
    char name[] = "/tmp/kavello-fuzz-XXXXXX";
    if (mkdtemp(name) == nullptr) std::abort();
    return std::string(name);
  }();
  return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte picks the extension, so ".aqt" and ".ssa" take their forced readers.
  static const char* const kNames[] = {"/in.srt", "/in.aqt", "/in.ssa", "/in.ass", "/in.txt"};
  const std::string path = ScratchDir() + kNames[size == 0 ? 0 : data[0] % 5];
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 1) std::fwrite(data + 1, 1, size - 1, f);
  std::fclose(f);

  const int detected = kv::TSubTitles::DetectFormat(path);
  kv::TSubTitles list;
  const bool loaded = list.LoadFromFile(path, size % 2 == 0);
  if (loaded && list.Format != detected) std::abort();
  if (loaded) {
    const std::string out = ScratchDir() + "/out";
    for (int code : {kv::sfSubRip, kv::sfTabbed, kv::sfMillisecondDump}) {
      if (!list.SaveToFile(code, out)) std::abort();
    }
    list.SetFramerate(list.Framerate + 1.0);
  }
  std::remove(path.c_str());
  return 0;
}
