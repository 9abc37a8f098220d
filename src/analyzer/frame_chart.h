// The analyzer chart's geometry: which frames a paint shows, and the coloured bands of one
// column in each view. The window paints these rectangles and nothing else.
//
// Column c (from 0) shows frame first + c and spans x from c * zoom to (c + 1) * zoom;
// columns are drawn while the frame exists and c <= width div zoom. A value v maps to
// y = H - H * v div scale. Pure logic, any thread.
#pragma once

#include <array>
#include <cstdint>

#include "analyzer/frame_table.h"

namespace kv {

enum class TChartView { Bitrate, Histogram, DCT };
enum class TChartRange { Auto, Full };
enum class TBandColour { Black, Red, Blue };

struct TBand {
  int32_t y0 = 0, y1 = 0;  // from y0 down to y1 (y0 <= y1 is not guaranteed for odd data)
  TBandColour colour = TBandColour::Black;
};

// Columns a paint from frame `first` draws on a chart `width` pixels wide.
int32_t ChartColumnCount(int32_t first, int32_t count, int32_t width, int32_t zoom);
// The scale of a view: the largest size (bit-rate view), the largest maximum with the auto
// range, 255000 (histogram) or 64000 (DCT) with the full range; 1 instead of 0.
int64_t ChartScale(TChartView view, TChartRange range, const TFrameTotals& totals);
// y of value v on a chart `height` pixels high.
int32_t ChartY(int64_t v, int64_t scale, int32_t height);
// The bands of one column, top to bottom; returns how many of `out` are used (2 or 4).
int ColumnBands(const TFrameEntry& e, TChartView view, int64_t scale, int32_t height, std::array<TBand, 4>& out);

}  // namespace kv
