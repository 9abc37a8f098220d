// Luma and DCT measures of one 1920x1080 picture (the work the statistics filter does per
// decoded frame when the analyzer measures pictures), on two kinds of picture: a noisy one
// where every block is transformed (the worst case), and one made like a test pattern or a
// cartoon (flat areas, edges, a little texture), where most blocks are flat.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "filters/stats/image_measures.h"

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

std::vector<uint8_t> NoisyPicture() {
  std::vector<uint8_t> luma(size_t(kWidth) * kHeight);
  std::mt19937 random(3);
  for (size_t i = 0; i < luma.size(); ++i) luma[i] = static_cast<uint8_t>((i % kWidth) / 8 + random() % 32);
  return luma;
}

// Bars of constant level, a textured band across the middle, hard grid lines and a soft
// gradient over the bottom quarter.
std::vector<uint8_t> PatternPicture() {
  std::vector<uint8_t> luma(size_t(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      int v = 40 + 25 * ((x * 7) / kWidth);                        // seven bars
      if (y > kHeight * 2 / 5 && y < kHeight / 2) v = (x / 3 + y / 3) % 256;  // a textured band
      if ((x % 240) < 2 || (y % 180) < 2) v = 235;                 // grid lines
      if (y > kHeight * 3 / 4) v += (y - kHeight * 3 / 4) / 4;  // a soft gradient
      luma[size_t(y) * kWidth + x] = static_cast<uint8_t>(std::min(v, 255));
    }
  return luma;
}

void Measure(benchmark::State& state, const std::vector<uint8_t>& luma) {
  const kv::stats::TLumaPicture picture{luma.data(), kWidth, kHeight, kWidth, kv::stats::TLumaLayout::Planar};
  for (auto _ : state) benchmark::DoNotOptimize(kv::stats::MeasurePicture(picture));
  state.SetItemsProcessed(state.iterations());
}

void BM_MeasurePicture1080p_noise(benchmark::State& state) { Measure(state, NoisyPicture()); }
void BM_MeasurePicture1080p_pattern(benchmark::State& state) { Measure(state, PatternPicture()); }
BENCHMARK(BM_MeasurePicture1080p_noise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MeasurePicture1080p_pattern)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
