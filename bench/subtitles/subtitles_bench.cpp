// Loading generated 20,000-entry SubRip and MicroDVD files, a MicroDVD line holding many
// entries (to show reading stays linear), and 100,000 FindAt calls over 20,000 entries.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "subtitles/Subtitl.h"
#include "subtitles/subtitle_time.h"

namespace {

constexpr int kEntries = 20000;

std::string TempFile(const std::string& name, const std::string& contents) {
  const auto path = std::filesystem::temp_directory_path() / ("kavello-bench-" + name);
  std::ofstream(path, std::ios::binary) << contents;
  return path.string();
}

std::string SubRipText(int entries) {
  std::string text;
  for (int i = 0; i < entries; ++i) {
    const auto start = static_cast<std::uint32_t>(i) * 3000;
    text += std::to_string(i + 1) + "\r\n" + kv::FormatTime(start, kv::TTimeForm::Milliseconds) + " --> " +
            kv::FormatTime(start + 2500, kv::TTimeForm::Milliseconds) + "\r\n<i>Line one of entry " +
            std::to_string(i) + "</i>\r\nand its second line\r\n\r\n";
  }
  return text;
}

std::string MicroDVDText(int entries, const char* separator) {
  std::string text = "{1}{1}25.000" + std::string(separator);
  for (int i = 0; i < entries; ++i) {
    text += "{" + std::to_string(i * 75) + "}{" + std::to_string(i * 75 + 60) + "}{y:i}Line one of entry " +
            std::to_string(i) + "|and its second line" + separator;
  }
  // The entries of a line are read only while another line follows it.
  return text + "\r\n{0}{1}end\r\n";
}

void Load(benchmark::State& state, const std::string& path) {
  kv::TSubTitles list;
  for (auto _ : state) {
    const bool ok = list.LoadFromFile(path, true);
    benchmark::DoNotOptimize(ok);
  }
  state.counters["entries"] = static_cast<double>(list.Items.size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(std::filesystem::file_size(path)));
}

void BM_LoadSubRip20k(benchmark::State& state) {
  static const std::string path = TempFile("20k.srt", SubRipText(kEntries));
  Load(state, path);
}
BENCHMARK(BM_LoadSubRip20k)->Unit(benchmark::kMillisecond);

void BM_LoadMicroDVD20k(benchmark::State& state) {
  static const std::string path = TempFile("20k.sub", MicroDVDText(kEntries, "\r\n"));
  Load(state, path);
}
BENCHMARK(BM_LoadMicroDVD20k)->Unit(benchmark::kMillisecond);

// Every entry on one line: each is split off the rest of the line, which must not cost a
// copy or a scan of that rest.
void BM_LoadMicroDVDOneLine(benchmark::State& state) {
  const std::string path = TempFile("oneline.sub", MicroDVDText(static_cast<int>(state.range(0)), ""));
  Load(state, path);
  state.SetComplexityN(state.range(0));
  std::filesystem::remove(path);
}
BENCHMARK(BM_LoadMicroDVDOneLine)->RangeMultiplier(2)->Range(5000, 40000)->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// 100,000 lookups per iteration at pseudo-random times across the whole list.
void BM_FindAt100k(benchmark::State& state) {
  static const std::string path = TempFile("20k-find.srt", SubRipText(kEntries));
  kv::TSubTitles list;
  list.LoadFromFile(path, true);
  list.SetOffset(-500);
  const std::uint32_t span = list.Items.back().Stop + 1000;
  for (auto _ : state) {
    std::uint32_t seed = 12345;
    int found = 0;
    for (int i = 0; i < 100000; ++i) {
      seed = seed * 1664525u + 1013904223u;
      int index = 0;
      std::string text;
      found += list.FindAt(seed % span, index, text) ? 1 : 0;
    }
    benchmark::DoNotOptimize(found);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * 100000);
}
BENCHMARK(BM_FindAt100k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
