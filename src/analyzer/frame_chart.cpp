#include "analyzer/frame_chart.h"

#include <algorithm>

namespace kv {

int32_t ChartColumnCount(int32_t first, int32_t count, int32_t width, int32_t zoom) {
  if (zoom <= 0 || width < 0 || first < 0 || first >= count) return 0;
  return std::min(count - first, width / zoom + 1);
}

int64_t ChartScale(TChartView view, TChartRange range, const TFrameTotals& totals) {
  int64_t scale = 0;
  switch (view) {
    case TChartView::Bitrate:
      scale = totals.LargestBytes;
      break;
    case TChartView::Histogram:
      scale = range == TChartRange::Full ? 255000 : totals.HistogramMax;
      break;
    case TChartView::DCT:
      scale = range == TChartRange::Full ? 64000 : totals.DCTMax;
      break;
  }
  return scale == 0 ? 1 : scale;
}

int32_t ChartY(int64_t v, int64_t scale, int32_t height) {
  if (scale == 0) scale = 1;
  return static_cast<int32_t>(height - static_cast<__int128>(height) * v / scale);
}

int ColumnBands(const TFrameEntry& e, TChartView view, int64_t scale, int32_t height, std::array<TBand, 4>& out) {
  if (view == TChartView::Bitrate) {
    const int32_t y = ChartY(e.Bytes, scale, height);
    out[0] = {0, y, TBandColour::Black};
    out[1] = {y, height, e.IsSyncPoint ? TBandColour::Red : TBandColour::Blue};
    return 2;
  }
  const bool histogram = view == TChartView::Histogram;
  const int32_t yMax = ChartY(histogram ? e.HistogramMax : e.DCTMax, scale, height);
  const int32_t yAverage = ChartY(histogram ? e.HistogramAverage : e.DCTAverage, scale, height);
  const int32_t yMin = ChartY(histogram ? e.HistogramMin : e.DCTMin, scale, height);
  out[0] = {0, yMax, TBandColour::Black};
  out[1] = {yMax, yAverage, TBandColour::Red};
  out[2] = {yAverage, yMin, TBandColour::Blue};
  out[3] = {yMin, height, TBandColour::Black};
  return 4;
}

}  // namespace kv
