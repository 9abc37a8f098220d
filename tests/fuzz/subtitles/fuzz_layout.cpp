// Fuzzes one layout reader (KAVELLO_FUZZ_LAYOUT, a format code) on arbitrary file contents.
// Besides the sanitizers it checks that the entries do not depend on how the input is split
// into blocks and that no text passes 255 bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "subtitles/subtitle_readers.h"
#include "subtitles/subtitle_text.h"

#ifndef KAVELLO_FUZZ_LAYOUT
#error "KAVELLO_FUZZ_LAYOUT must name the format code to fuzz"
#endif

namespace {

kv::TSubTitles Read(std::string_view text, std::size_t blockSize, bool stripCodes) {
  kv::TSubTitles list;
  list.StripCodes = stripCodes;
  kv::TSubtitleTextFile in;
  in.OpenMemory(text, blockSize);
  kv::ReadSubtitleLayout(KAVELLO_FUZZ_LAYOUT, in, list);
  return list;
}

bool SameEntries(const kv::TSubTitles& a, const kv::TSubTitles& b) {
  if (a.Items.size() != b.Items.size() || a.Framerate != b.Framerate) return false;
  for (std::size_t i = 0; i < a.Items.size(); ++i) {
    const kv::TSubTitleItem& x = a.Items[i];
    const kv::TSubTitleItem& y = b.Items[i];
    if (x.Start != y.Start || x.Stop != y.Stop || x.Text() != y.Text()) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const kv::TSubTitles whole = Read(text, kv::TSubtitleTextFile::kBlockSize, false);
  const kv::TSubTitles pieces = Read(text, 3, false);
  if (!SameEntries(whole, pieces)) std::abort();
  const kv::TSubTitles stripped = Read(text, kv::TSubtitleTextFile::kBlockSize, true);
  for (const kv::TSubTitles* list : {&whole, &stripped}) {
    for (const kv::TSubTitleItem& item : list->Items) {
      if (item.Text().size() > kv::kSubtitleTextLimit) std::abort();
    }
    int index = 0;
    std::string found;
    list->FindAt(static_cast<std::uint32_t>(size) * 1000, index, found);
  }
  return 0;
}
