#include "filters/stats/image_measures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace kv::stats {

namespace {

// Eight floats: one row of a block, one lane per column.
typedef float V8f __attribute__((vector_size(32)));
typedef int32_t V8i __attribute__((vector_size(32)));
typedef uint32_t V8u __attribute__((vector_size(32)));

// JPEG luminance quantisation table (ITU T.81 Annex K, Table K.1), row = vertical frequency.
constexpr int kLumaTable[8][8] = {
    {16, 11, 10, 16, 24, 40, 51, 61},     {12, 12, 14, 19, 26, 58, 60, 55},
    {14, 13, 16, 24, 40, 57, 69, 56},     {14, 17, 22, 29, 51, 87, 80, 62},
    {18, 22, 37, 56, 68, 109, 103, 77},   {24, 35, 55, 64, 81, 104, 113, 92},
    {49, 64, 78, 87, 103, 121, 120, 101}, {72, 92, 95, 98, 112, 100, 103, 99}};

// The unscaled AAN output F'(u, v) equals the DCT coefficient times 8 a(u) a(v), with
// a(0) = 1 and a(k) = sqrt(2) cos(k pi / 16). A coefficient rounds to non-zero when
// |F / Q| >= 1/2, that is |F'| >= Q 8 a(u) a(v) / 2. thresholds[u] holds, lane v, that
// bound for horizontal frequency u; the DC threshold is infinite (DC is not counted).
struct TThresholds {
  V8f byU[8];
  TThresholds() {
    double a[8];
    a[0] = 1.0;
    for (int k = 1; k < 8; ++k) a[k] = std::sqrt(2.0) * std::cos(k * M_PI / 16.0);
    for (int u = 0; u < 8; ++u)
      for (int v = 0; v < 8; ++v)
        byU[u][v] = (u == 0 && v == 0) ? INFINITY : static_cast<float>(kLumaTable[v][u] * 8.0 * a[u] * a[v] / 2.0);
  }
};

const TThresholds& Thresholds() {
  static const TThresholds t;
  return t;
}

// One 8-point AAN pass over eight lanes at once: d[0..7] in, frequencies out in place.
__attribute__((always_inline)) inline void Aan8(V8f d[8]) {
  const V8f tmp0 = d[0] + d[7], tmp7 = d[0] - d[7];
  const V8f tmp1 = d[1] + d[6], tmp6 = d[1] - d[6];
  const V8f tmp2 = d[2] + d[5], tmp5 = d[2] - d[5];
  const V8f tmp3 = d[3] + d[4], tmp4 = d[3] - d[4];
  // Even part.
  V8f tmp10 = tmp0 + tmp3, tmp13 = tmp0 - tmp3;
  V8f tmp11 = tmp1 + tmp2, tmp12 = tmp1 - tmp2;
  d[0] = tmp10 + tmp11;
  d[4] = tmp10 - tmp11;
  const V8f z1 = (tmp12 + tmp13) * 0.707106781f;
  d[2] = tmp13 + z1;
  d[6] = tmp13 - z1;
  // Odd part.
  tmp10 = tmp4 + tmp5;
  tmp11 = tmp5 + tmp6;
  tmp12 = tmp6 + tmp7;
  const V8f z5 = (tmp10 - tmp12) * 0.382683433f;
  const V8f z2 = tmp10 * 0.541196100f + z5;
  const V8f z4 = tmp12 * 1.306562965f + z5;
  const V8f z3 = tmp11 * 0.707106781f;
  const V8f z11 = tmp7 + z3, z13 = tmp7 - z3;
  d[5] = z13 + z2;
  d[3] = z13 - z2;
  d[1] = z11 + z4;
  d[7] = z11 - z4;
}

typedef int32_t V8Index __attribute__((vector_size(32)));

// 8x8 transpose in registers: unpack pairs, then quads, then halves.
__attribute__((always_inline)) inline void Transpose(V8f r[8]) {
  const V8Index lo = {0, 8, 1, 9, 4, 12, 5, 13}, hi = {2, 10, 3, 11, 6, 14, 7, 15};
  const V8Index pairLo = {0, 1, 8, 9, 4, 5, 12, 13}, pairHi = {2, 3, 10, 11, 6, 7, 14, 15};
  const V8Index halfLo = {0, 1, 2, 3, 8, 9, 10, 11}, halfHi = {4, 5, 6, 7, 12, 13, 14, 15};
  V8f t[8], u[8];
  for (int k = 0; k < 8; k += 2) {
    t[k] = __builtin_shuffle(r[k], r[k + 1], lo);
    t[k + 1] = __builtin_shuffle(r[k], r[k + 1], hi);
  }
  for (int k = 0; k < 8; k += 4) {
    u[k] = __builtin_shuffle(t[k], t[k + 2], pairLo);
    u[k + 1] = __builtin_shuffle(t[k], t[k + 2], pairHi);
    u[k + 2] = __builtin_shuffle(t[k + 1], t[k + 3], pairLo);
    u[k + 3] = __builtin_shuffle(t[k + 1], t[k + 3], pairHi);
  }
  for (int k = 0; k < 4; ++k) {
    r[k] = __builtin_shuffle(u[k], u[k + 4], halfLo);
    r[k + 4] = __builtin_shuffle(u[k], u[k + 4], halfHi);
  }
}

// rows[y] lane x: the block's levels. Counts non-zero quantised AC coefficients.
__attribute__((always_inline)) inline int CountBlock(V8f rows[8], const TThresholds& t) {
  Aan8(rows);       // vertical pass: rows[v] lane x
  Transpose(rows);  // rows[x] lane v
  Aan8(rows);       // horizontal pass: rows[u] lane v
  V8i hits = {};
  for (int u = 0; u < 8; ++u) hits -= (rows[u] >= t.byU[u]) | (rows[u] <= -t.byU[u]);
  int n = 0;
  for (int k = 0; k < 8; ++k) n += hits[k];
  return n;
}

inline int LumaOfBGRA(const uint8_t* p) { return ((66 * p[2] + 129 * p[1] + 25 * p[0] + 128) >> 8) + 16; }

inline const uint8_t* Row(const TLumaPicture& pic, int y) { return pic.data + pic.rowBytes * y; }

// Loads block (bx, by) as eight rows of floats.
__attribute__((always_inline)) inline void LoadBlock(const TLumaPicture& pic, int bx, int by, V8f rows[8]) {
  for (int r = 0; r < 8; ++r) {
    const uint8_t* row = Row(pic, by * 8 + r);
    if (pic.layout == TLumaLayout::Planar) {
      // Eight bytes to eight 32-bit lanes by shifts (one variable shift with AVX2).
      uint32_t half[2];
      std::memcpy(half, row + bx * 8, 8);
      const V8u w = {half[0], half[0], half[0], half[0], half[1], half[1], half[1], half[1]};
      const V8u shifts = {0, 8, 16, 24, 0, 8, 16, 24};
      rows[r] = __builtin_convertvector((V8i)((w >> shifts) & 0xffu), V8f);
    } else if (pic.layout == TLumaLayout::YUY2) {
      for (int c = 0; c < 8; ++c) rows[r][c] = row[(bx * 8 + c) * 2];
    } else {
      for (int c = 0; c < 8; ++c) rows[r][c] = static_cast<float>(LumaOfBGRA(row + (bx * 8 + c) * 4));
    }
  }
}

__attribute__((always_inline)) inline void MeasureLevels(const TLumaPicture& pic, TImageMeasures& m) {
  uint64_t sum = 0;
  int lo = 255, hi = 0;
  for (int y = 0; y < pic.height; ++y) {
    const uint8_t* row = Row(pic, y);
    uint32_t rowSum = 0;
    int rowLo = 255, rowHi = 0;
    if (pic.layout == TLumaLayout::Planar) {
      for (int x = 0; x < pic.width; ++x) {
        const int v = row[x];
        rowSum += v;
        rowLo = std::min(rowLo, v);
        rowHi = std::max(rowHi, v);
      }
    } else {
      for (int x = 0; x < pic.width; ++x) {
        const int v = pic.layout == TLumaLayout::YUY2 ? row[x * 2] : LumaOfBGRA(row + x * 4);
        rowSum += v;
        rowLo = std::min(rowLo, v);
        rowHi = std::max(rowHi, v);
      }
    }
    sum += rowSum;
    lo = std::min(lo, rowLo);
    hi = std::max(hi, rowHi);
  }
  const uint64_t pixels = uint64_t(pic.width) * uint64_t(pic.height);
  m.HistogramAverage = static_cast<int32_t>(sum * 1000 / pixels);
  m.HistogramMax = hi * 1000;
  m.HistogramMin = lo * 1000;
}

}  // namespace

int CountNonZeroAC(const uint8_t block[64]) {
  TLumaPicture pic{block, 8, 8, 8, TLumaLayout::Planar};
  V8f rows[8];
  LoadBlock(pic, 0, 0, rows);
  return CountBlock(rows, Thresholds());
}

// Built for AVX2 as well, chosen at load time where the processor has it. Not in a
// ThreadSanitizer build: the sanitizer instruments the load-time chooser, which the loader
// runs before the sanitizer is set up, and the program would crash before main.
#if defined(__SANITIZE_THREAD__)
#define KV_MEASURE_CLONES
#else
#define KV_MEASURE_CLONES __attribute__((target_clones("avx2", "default")))
#endif
KV_MEASURE_CLONES TImageMeasures MeasurePicture(const TLumaPicture& pic) {
  TImageMeasures m;
  if (!pic.data || pic.width <= 0 || pic.height <= 0) return m;
  MeasureLevels(pic, m);
  const int bw = pic.width / 8, bh = pic.height / 8;
  if (bw == 0 || bh == 0) return m;
  uint64_t total = 0;
  int lo = 64, hi = 0;
  V8f rows[8];
  const TThresholds& thresholds = Thresholds();
  for (int by = 0; by < bh; ++by) {
    for (int bx = 0; bx < bw; ++bx) {
      LoadBlock(pic, bx, by, rows);
      const int n = CountBlock(rows, thresholds);
      total += static_cast<uint64_t>(n);
      lo = std::min(lo, n);
      hi = std::max(hi, n);
    }
  }
  m.DCTAverage = static_cast<int32_t>(total * 1000 / (uint64_t(bw) * uint64_t(bh)));
  m.DCTMax = hi * 1000;
  m.DCTMin = lo * 1000;
  return m;
}

}  // namespace kv::stats
