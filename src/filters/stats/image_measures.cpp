#include "filters/stats/image_measures.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__)
#include <immintrin.h>
#endif

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
//
// flatSad: a block whose levels f differ from some constant c by a sum of absolute
// differences S = sum |f - c| has no non-zero AC coefficient when S < flatSad. Why: an AC
// basis function sums to zero over the block, so F(u, v) = 1/4 C(u) C(v) sum (f - c) cos cos,
// and |F(u, v)| <= 1/4 C(u) C(v) S (C(0) = 1/sqrt 2, else 1). The coefficient rounds to zero
// when that is below Q(u, v) / 2, for every AC term when S < min 2 Q(u, v) / (C(u) C(v)),
// which is 24 for the table above (at u = v = 1). Exact: no rounding is involved.
struct TThresholds {
  V8f byU[8];
  int flatSad = 0;
  TThresholds() {
    double a[8];
    a[0] = 1.0;
    for (int k = 1; k < 8; ++k) a[k] = std::sqrt(2.0) * std::cos(k * M_PI / 16.0);
    for (int u = 0; u < 8; ++u)
      for (int v = 0; v < 8; ++v)
        byU[u][v] = (u == 0 && v == 0) ? INFINITY : static_cast<float>(kLumaTable[v][u] * 8.0 * a[u] * a[v] / 2.0);
    double bound = INFINITY;
    for (int u = 0; u < 8; ++u)
      for (int v = 0; v < 8; ++v)
        if (u || v) bound = std::min(bound, 2.0 * kLumaTable[v][u] / ((u ? 1.0 : M_SQRT1_2) * (v ? 1.0 : M_SQRT1_2)));
    // S is whole: S < bound exactly when S < ceil(bound).
    flatSad = static_cast<int>(std::ceil(bound));
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

// Eight luma levels of one block row, eight bytes from p.
__attribute__((always_inline)) inline void RowToFloats(const uint8_t* p, V8f& out) {
  // Eight bytes to eight 32-bit lanes by shifts (one variable shift with AVX2).
  uint32_t half[2];
  std::memcpy(half, p, 8);
  const V8u w = {half[0], half[0], half[0], half[0], half[1], half[1], half[1], half[1]};
  const V8u shifts = {0, 8, 16, 24, 0, 8, 16, 24};
  out = __builtin_convertvector((V8i)((w >> shifts) & 0xffu), V8f);
}

// The count of the block at p, transformed.
__attribute__((always_inline)) inline int CountTransformed(const uint8_t* p, ptrdiff_t stride, const TThresholds& t) {
  V8f rows[8];
  for (int r = 0; r < 8; ++r) RowToFloats(p + stride * r, rows[r]);
  return CountBlock(rows, t);
}

// Running luma levels: sum, smallest and largest.
struct TLevels {
  uint64_t sum = 0;
  int lo = 255, hi = 0;
};

// The levels of the whole blocks, taken from the registers the blocks are loaded into.
struct TBlockLevels {
#if defined(__SSE2__)
  __m128i lo = _mm_set1_epi8(-1), hi = _mm_setzero_si128(), sum = _mm_setzero_si128();
  void AddTo(TLevels& l) const {
    alignas(16) uint8_t los[16], his[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(los), lo);
    _mm_store_si128(reinterpret_cast<__m128i*>(his), hi);
    for (int k = 0; k < 16; ++k) {
      l.lo = std::min<int>(l.lo, los[k]);
      l.hi = std::max<int>(l.hi, his[k]);
    }
    l.sum += static_cast<uint64_t>(_mm_cvtsi128_si64(sum)) + static_cast<uint64_t>(_mm_cvtsi128_si64(_mm_srli_si128(sum, 8)));
  }
#else
  TLevels levels;
  void AddTo(TLevels& l) const {
    l.sum += levels.sum;
    l.lo = std::min(l.lo, levels.lo);
    l.hi = std::max(l.hi, levels.hi);
  }
#endif
};

// One block of 8-bit levels at p, rows `stride` bytes apart: adds its levels to `levels`
// and returns its count.
__attribute__((always_inline)) inline int MeasureBlock(const uint8_t* p, ptrdiff_t stride, const TThresholds& t,
                                                       TBlockLevels& levels) {
  // The sum of |f - m| over the block, m its mean rounded to the nearest level.
#if defined(__SSE2__)
  __m128i two[4];  // two rows each
  for (int r = 0; r < 4; ++r)
    two[r] = _mm_unpacklo_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + stride * (2 * r))),
                                _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p + stride * (2 * r + 1))));
  levels.lo = _mm_min_epu8(levels.lo, _mm_min_epu8(_mm_min_epu8(two[0], two[1]), _mm_min_epu8(two[2], two[3])));
  levels.hi = _mm_max_epu8(levels.hi, _mm_max_epu8(_mm_max_epu8(two[0], two[1]), _mm_max_epu8(two[2], two[3])));
  const __m128i zero = _mm_setzero_si128();
  __m128i sums = _mm_add_epi64(_mm_add_epi64(_mm_sad_epu8(two[0], zero), _mm_sad_epu8(two[1], zero)),
                               _mm_add_epi64(_mm_sad_epu8(two[2], zero), _mm_sad_epu8(two[3], zero)));
  levels.sum = _mm_add_epi64(levels.sum, sums);
  const int total = _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
  const __m128i mean = _mm_set1_epi8(static_cast<char>((total + 32) >> 6));
  sums = _mm_add_epi64(_mm_add_epi64(_mm_sad_epu8(two[0], mean), _mm_sad_epu8(two[1], mean)),
                       _mm_add_epi64(_mm_sad_epu8(two[2], mean), _mm_sad_epu8(two[3], mean)));
  const int sad = _mm_cvtsi128_si32(sums) + _mm_cvtsi128_si32(_mm_srli_si128(sums, 8));
#else
  int total = 0;
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) {
      const int v = p[stride * r + c];
      total += v;
      levels.levels.lo = std::min(levels.levels.lo, v);
      levels.levels.hi = std::max(levels.levels.hi, v);
    }
  levels.levels.sum += static_cast<uint64_t>(total);
  const int mean = (total + 32) >> 6;
  int sad = 0;
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 8; ++c) sad += std::abs(p[stride * r + c] - mean);
#endif
  // Most blocks of real pictures are (nearly) flat: no need to transform them.
  return sad < t.flatSad ? 0 : CountTransformed(p, stride, t);
}

// Block (bx, by) of the picture.
__attribute__((always_inline)) inline int MeasureBlockOf(const TLumaPicture& pic, int bx, int by,
                                                         const TThresholds& t, TBlockLevels& levels) {
  if (pic.layout == TLumaLayout::Planar) return MeasureBlock(Row(pic, by * 8) + bx * 8, pic.rowBytes, t, levels);
  uint8_t block[64];
  for (int r = 0; r < 8; ++r) {
    const uint8_t* row = Row(pic, by * 8 + r);
    for (int c = 0; c < 8; ++c)
      block[r * 8 + c] = static_cast<uint8_t>(pic.layout == TLumaLayout::YUY2 ? row[(bx * 8 + c) * 2]
                                                                              : LumaOfBGRA(row + (bx * 8 + c) * 4));
  }
  return MeasureBlock(block, 8, t, levels);
}

// The levels of row y from column x0 to the row's end (what no whole block covers).
__attribute__((always_inline)) inline void AddRowEnd(const TLumaPicture& pic, int y, int x0, TLevels& l) {
  const uint8_t* row = Row(pic, y);
  for (int x = x0; x < pic.width; ++x) {
    const int v = pic.layout == TLumaLayout::Planar ? row[x]
                  : pic.layout == TLumaLayout::YUY2 ? row[x * 2]
                                                    : LumaOfBGRA(row + x * 4);
    l.sum += static_cast<uint64_t>(v);
    l.lo = std::min(l.lo, v);
    l.hi = std::max(l.hi, v);
  }
}

// The counts of the blocks: their sum, smallest and largest.
struct TCounts {
  uint64_t total = 0;
  int lo = 64, hi = 0;
  void Add(int n) {
    total += static_cast<uint64_t>(n);
    lo = std::min(lo, n);
    hi = std::max(hi, n);
  }
};

// Every whole block, one at a time, for any layout.
__attribute__((always_inline)) inline void MeasureEachBlock(const TLumaPicture& pic, int bw, int bh,
                                                            const TThresholds& t, TLevels& levels, TCounts& counts) {
  TBlockLevels blockLevels;
  for (int by = 0; by < bh; ++by)
    for (int bx = 0; bx < bw; ++bx) counts.Add(MeasureBlockOf(pic, bx, by, t, blockLevels));
  blockLevels.AddTo(levels);
}

// Built plainly and for AVX2 (the float DCT then works on eight lanes at once); the caller
// chooses at run time. (Not target_clones: its load-time resolver runs before a sanitizer's
// runtime is ready.)
void MeasureBlocks(const TLumaPicture& pic, int bw, int bh, const TThresholds& t, TLevels& levels, TCounts& counts) {
  MeasureEachBlock(pic, bw, bh, t, levels, counts);
}
#if defined(__x86_64__)
__attribute__((target("avx2"))) void MeasureBlocksAvx2(const TLumaPicture& pic, int bw, int bh, const TThresholds& t,
                                                        TLevels& levels, TCounts& counts) {
  MeasureEachBlock(pic, bw, bh, t, levels, counts);
}
#endif

#if defined(__x86_64__)
// Planar pictures on AVX2: two neighbouring blocks at a time, each row of the pair one
// 16-byte load, two rows to a register; the flat-block test and the levels of both
// blocks in the same instructions.
__attribute__((target("avx2"))) void MeasurePlanarBlocksAvx2(const TLumaPicture& pic, int bw, int bh,
                                                              const TThresholds& t, TLevels& levels,
                                                              TCounts& counts) {
  const ptrdiff_t stride = pic.rowBytes;
  const __m256i zero = _mm256_setzero_si256(), half = _mm256_set1_epi64x(32);
  // Byte 0 of each 64-bit lane to the lane's eight bytes (within each 128-bit half).
  const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 8, 8, 8, 8, 8, 8, 8, 8,  //
                                          0, 0, 0, 0, 0, 0, 0, 0, 8, 8, 8, 8, 8, 8, 8, 8);
  __m256i lo = _mm256_set1_epi8(-1), hi = zero, sum = zero;
  TBlockLevels single;  // the last block of a strip of odd width
  for (int by = 0; by < bh; ++by) {
    const uint8_t* strip = Row(pic, by * 8);
    int bx = 0;
    for (; bx + 2 <= bw; bx += 2) {
      const uint8_t* p = strip + bx * 8;
      // two[r]: row 2r (low half) and row 2r + 1 (high half), each block A's eight
      // levels then block B's.
      __m256i two[4];
      for (int r = 0; r < 4; ++r)
        two[r] = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + stride * (2 * r)))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + stride * (2 * r + 1))), 1);
      lo = _mm256_min_epu8(lo, _mm256_min_epu8(_mm256_min_epu8(two[0], two[1]), _mm256_min_epu8(two[2], two[3])));
      hi = _mm256_max_epu8(hi, _mm256_max_epu8(_mm256_max_epu8(two[0], two[1]), _mm256_max_epu8(two[2], two[3])));
      // 64-bit lanes: A's even rows, B's even rows, A's odd rows, B's odd rows.
      const __m256i sums =
          _mm256_add_epi64(_mm256_add_epi64(_mm256_sad_epu8(two[0], zero), _mm256_sad_epu8(two[1], zero)),
                           _mm256_add_epi64(_mm256_sad_epu8(two[2], zero), _mm256_sad_epu8(two[3], zero)));
      sum = _mm256_add_epi64(sum, sums);
      // Lanes 0 and 1 (and again 2 and 3): A's and B's totals, then their rounded means.
      const __m256i totals = _mm256_add_epi64(sums, _mm256_permute2x128_si256(sums, sums, 1));
      const __m256i mean = _mm256_shuffle_epi8(_mm256_srli_epi64(_mm256_add_epi64(totals, half), 6), spread);
      __m256i sads =
          _mm256_add_epi64(_mm256_add_epi64(_mm256_sad_epu8(two[0], mean), _mm256_sad_epu8(two[1], mean)),
                           _mm256_add_epi64(_mm256_sad_epu8(two[2], mean), _mm256_sad_epu8(two[3], mean)));
      sads = _mm256_add_epi64(sads, _mm256_permute2x128_si256(sads, sads, 1));
      const __m128i both = _mm256_castsi256_si128(sads);
      const int sadA = _mm_cvtsi128_si32(both), sadB = _mm_cvtsi128_si32(_mm_srli_si128(both, 8));
      counts.Add(sadA < t.flatSad ? 0 : CountTransformed(p, stride, t));
      counts.Add(sadB < t.flatSad ? 0 : CountTransformed(p + 8, stride, t));
    }
    if (bx < bw) counts.Add(MeasureBlock(strip + bx * 8, stride, t, single));
  }
  alignas(32) uint8_t los[32], his[32];
  _mm256_store_si256(reinterpret_cast<__m256i*>(los), lo);
  _mm256_store_si256(reinterpret_cast<__m256i*>(his), hi);
  for (int k = 0; k < 32; ++k) {
    levels.lo = std::min<int>(levels.lo, los[k]);
    levels.hi = std::max<int>(levels.hi, his[k]);
  }
  alignas(32) uint64_t sums[4];
  _mm256_store_si256(reinterpret_cast<__m256i*>(sums), sum);
  levels.sum += sums[0] + sums[1] + sums[2] + sums[3];
  single.AddTo(levels);
}
#endif

}  // namespace

int CountNonZeroAC(const uint8_t block[64]) {
  TBlockLevels unused;
  return MeasureBlock(block, 8, Thresholds(), unused);
}

// One pass over the picture: each whole block gives its levels and its count; the columns
// right of the last whole block and the rows below the last one are read for levels only.
TImageMeasures MeasurePicture(const TLumaPicture& pic) {
  TImageMeasures m;
  if (!pic.data || pic.width <= 0 || pic.height <= 0) return m;
  const int bw = pic.width / 8, bh = pic.height / 8;
  const TThresholds& thresholds = Thresholds();
  TLevels levels;
  TCounts counts;
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2 && pic.layout == TLumaLayout::Planar) MeasurePlanarBlocksAvx2(pic, bw, bh, thresholds, levels, counts);
  else if (avx2) MeasureBlocksAvx2(pic, bw, bh, thresholds, levels, counts);
  else MeasureBlocks(pic, bw, bh, thresholds, levels, counts);
#else
  MeasureBlocks(pic, bw, bh, thresholds, levels, counts);
#endif
  if (bw * 8 < pic.width)
    for (int y = 0; y < bh * 8; ++y) AddRowEnd(pic, y, bw * 8, levels);
  for (int y = bh * 8; y < pic.height; ++y) AddRowEnd(pic, y, 0, levels);
  const uint64_t pixels = uint64_t(pic.width) * uint64_t(pic.height);
  m.HistogramAverage = static_cast<int32_t>(levels.sum * 1000 / pixels);
  m.HistogramMax = levels.hi * 1000;
  m.HistogramMin = levels.lo * 1000;
  if (bw > 0 && bh > 0) {
    m.DCTAverage = static_cast<int32_t>(counts.total * 1000 / (uint64_t(bw) * uint64_t(bh)));
    m.DCTMax = counts.hi * 1000;
    m.DCTMin = counts.lo * 1000;
  }
  return m;
}

}  // namespace kv::stats
