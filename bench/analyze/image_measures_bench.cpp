// Luma and DCT measures of one 1920x1080 picture (the work the statistics filter does per
// decoded frame when the analyzer measures pictures).
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "filters/stats/image_measures.h"

namespace {

void BM_MeasurePicture1080p(benchmark::State& state) {
  const int w = 1920, h = 1080;
  std::vector<uint8_t> luma(size_t(w) * h);
  std::mt19937 random(3);
  for (size_t i = 0; i < luma.size(); ++i) luma[i] = static_cast<uint8_t>((i % w) / 8 + random() % 32);
  const kv::stats::TLumaPicture picture{luma.data(), w, h, w, kv::stats::TLumaLayout::Planar};
  for (auto _ : state) benchmark::DoNotOptimize(kv::stats::MeasurePicture(picture));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MeasurePicture1080p)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
