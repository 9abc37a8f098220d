// The analyzer's pure logic: the frame table's rules, its totals and texts, the table
// file, the chart geometry, and the table under concurrent writers and a reader.
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "analyzer/analysis_text.h"
#include "analyzer/frame_chart.h"
#include "analyzer/frame_table.h"
#include "analyzer/stat_callbacks.h"

namespace kv {
namespace {

TSampleRecord Sample(int32_t index, int64_t start, int64_t bytes, bool sync = true) {
  TSampleRecord r;
  r.FrameIndex = index;
  r.StartTime = start;
  r.StopTime = start + 400000;
  r.TimestampIn = start;
  r.TimestampOut = start + 1;
  r.Bytes = bytes;
  r.IsSyncPoint = sync;
  return r;
}

TImageRecord Image(int32_t index, int32_t average, int32_t max, int32_t min, int32_t dct = 0) {
  TImageRecord r;
  r.FrameIndex = index;
  r.HistogramAverage = average;
  r.HistogramMax = max;
  r.HistogramMin = min;
  r.DCTAverage = dct;
  r.DCTMax = dct;
  r.DCTMin = dct;
  return r;
}

bool Add(TFrameTable& t, TSampleRecord r) { return t.AddFrame(&r); }
bool AddInfo(TFrameTable& t, TImageRecord r) { return t.AddFrameInfo(&r); }
int32_t CallSample(TSampleRecord r) { return AnalyzerSampleCallback(&r); }
int32_t CallImage(TImageRecord r) { return AnalyzerImageCallback(&r); }

TEST(FrameTable, AddFrame_dropsRecordsOutOfOrderUntilTheIndexAgreesAgain) {
  TFrameTable t(100);
  t.ResetAnalysis();
  EXPECT_TRUE(Add(t, Sample(0, 0, 100)));
  EXPECT_FALSE(Add(t, Sample(2, 800000, 300)));  // a gap
  EXPECT_FALSE(Add(t, Sample(3, 1200000, 300)));  // and every later one
  EXPECT_TRUE(Add(t, Sample(1, 400000, 200)));   // the counts agree again
  TSampleRecord wrongSize = Sample(2, 800000, 50);
  wrongSize.Size = 48;
  EXPECT_FALSE(t.AddFrame(&wrongSize));
  EXPECT_EQ(t.Count(), 2);
  const TFrameTotals totals = t.Totals();
  EXPECT_EQ(totals.TotalBytes, 300);
  EXPECT_EQ(totals.LargestBytes, 200);
  EXPECT_EQ(totals.FirstStart, 0);
  EXPECT_EQ(totals.LastStop, 800000);
  EXPECT_EQ(t.Entry(1).TimestampOut, 400001);
}

// An untimed piece of a picture, as a splitter of stream packets sends after the first.
TSampleRecord Continuation(int32_t index, int64_t bytes) {
  TSampleRecord r = Sample(index, 0, bytes, false);
  r.StartTime = r.StopTime = 0;
  return r;
}

TEST(FrameTable, MPEGMode_mergesUntimedContinuations_keepsWholeFrames_andStoresAFirstOne) {
  TFrameTable t(100);
  t.ResetAnalysis();
  t.SetMPEGMode(true);
  EXPECT_TRUE(Add(t, Continuation(0, 10)));  // nothing to merge into: frame 0
  EXPECT_TRUE(Add(t, Sample(1, 400000, 500, true)));
  EXPECT_TRUE(Add(t, Continuation(2, 70)));
  EXPECT_TRUE(Add(t, Continuation(3, 30)));
  EXPECT_TRUE(Add(t, Sample(4, 1600000, 40, true)));  // numbered by samples, not frames
  // Timed P and B pictures (whole frames from our splitter) are frames of their own.
  EXPECT_TRUE(Add(t, Sample(5, 2000000, 20, false)));
  EXPECT_TRUE(Add(t, Continuation(6, 5)));
  ASSERT_EQ(t.Count(), 4);
  EXPECT_EQ(t.Entry(0).Bytes, 10);
  EXPECT_EQ(t.Entry(1).Bytes, 600);
  EXPECT_EQ(t.Entry(2).Bytes, 40);
  EXPECT_EQ(t.Entry(3).Bytes, 25);
  EXPECT_FALSE(t.Entry(3).IsSyncPoint);
  // The total is the sum of the table, and the merged frame is the largest.
  EXPECT_EQ(t.Totals().TotalBytes, 675);
  EXPECT_EQ(t.Totals().LargestBytes, 600);
}

TEST(FrameTable, Capacity_stopsRecordingAndSaysSo_andResetReusesTheTable) {
  TFrameTable t(3);
  t.ResetAnalysis();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Add(t, Sample(i, i * 400000, 100)));
  EXPECT_FALSE(t.Full());
  EXPECT_FALSE(Add(t, Sample(3, 1200000, 100)));
  EXPECT_TRUE(t.Full());
  EXPECT_EQ(t.Count(), 3);
  ASSERT_TRUE(AddInfo(t, Image(2, 5000, 6000, 4000, 9000)));
  // A new analysis in the same table: the old measures do not leak into the new frames.
  t.ResetAnalysis();
  EXPECT_FALSE(t.Full());
  EXPECT_EQ(t.Totals().TotalBytes, 0);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(Add(t, Sample(i, 0, 1)));
  EXPECT_EQ(t.Entry(2).HistogramAverage, 0);
  EXPECT_EQ(t.Entry(2).DCTMax, 0);
}

TEST(FrameTable, AddFrameInfo_storesForKnownFramesOnly_andKeepsExtremesAndSums) {
  TFrameTable t(10);
  t.ResetAnalysis();
  Add(t, Sample(0, 0, 100));
  Add(t, Sample(1, 400000, 100));
  EXPECT_FALSE(AddInfo(t, Image(2, 1, 1, 1)));  // no such frame yet
  EXPECT_TRUE(AddInfo(t, Image(0, 128500, 250000, 3000, 2500)));
  EXPECT_TRUE(AddInfo(t, Image(1, 100000, 200000, 16000, 1500)));
  const TFrameTotals s = t.Totals();
  EXPECT_EQ(s.HistogramSum, 228500);
  EXPECT_EQ(s.HistogramMax, 250000);
  EXPECT_EQ(s.HistogramMin, 3000);
  EXPECT_EQ(s.DCTSum, 4000);
  EXPECT_EQ(s.DCTMax, 2500);
  EXPECT_EQ(s.DCTMin, 1500);
}

TEST(AnalysisText, TimeTextAndTheTwoGridColumns) {
  EXPECT_EQ(FormatRefTime(12345678), "0:00:01.234");
  EXPECT_EQ(FormatRefTime(650400000), "0:01:05.040");
  EXPECT_EQ(FormatRefTime(int64_t(36000000000) * 10 + 10000), "10:00:00.001");

  TFrameEntry e;
  e.StartTime = 0;
  e.StopTime = 400000;
  e.Bytes = 5120;
  e.IsSyncPoint = true;
  e.HistogramAverage = 128560;
  e.HistogramMax = 250999;
  e.HistogramMin = 3000;
  const auto current = FrameInfoColumn(7, e);
  EXPECT_EQ(current[1], "7");
  EXPECT_EQ(current[3], "0:00:00.040");
  EXPECT_EQ(current[6], "5120");
  EXPECT_EQ(current[7], "");  // no bit rate for one frame
  EXPECT_EQ(current[8] + current[9] + current[10], "NYN");
  EXPECT_EQ(current[11], "3/128.5/250");
  EXPECT_EQ(current[12], "0/0/0");

  TFrameTotals t;
  t.Count = 3;
  t.TotalBytes = 1000000;
  t.FirstStart = 5000000;
  t.LastStop = 15000000;  // one second
  t.InfoCount = 3;
  t.HistogramSum = 3 * 128000 + 150;  // (sum div 100) div 3 = 1280 -> 128
  t.HistogramMax = 240000;
  t.HistogramMin = 16000;
  t.DCTSum = 3 * 2250;
  t.DCTMax = 5000;
  t.DCTMin = 0;
  const auto totals = TotalsColumn(t);
  EXPECT_EQ(totals[1], "3");
  EXPECT_EQ(totals[2], "0:00:00.500");
  EXPECT_EQ(totals[3], "0:00:01.500");
  EXPECT_EQ(totals[6], "1000000");
  EXPECT_EQ(totals[7], "8000000");
  EXPECT_EQ(totals[11], "16/128/240");
  EXPECT_EQ(totals[12], "0/2.2/5");
  // No time spanned: no bit rate. No frames: no measures.
  t.LastStop = t.FirstStart;
  EXPECT_EQ(TotalsColumn(t)[7], "");
  t.Count = 0;
  EXPECT_EQ(TotalsColumn(t)[11], "");
  // 200 GB over one second stays right (no 64-bit overflow).
  TFrameTotals big;
  big.Count = 1;
  big.TotalBytes = int64_t(200) * 1000 * 1000 * 1000;
  big.LastStop = 10000000;
  EXPECT_EQ(TableBitrate(big), int64_t(1600) * 1000 * 1000 * 1000);
}

TEST(AnalysisText, TableLineOfTheExample_whateverTheLocale) {
  // A locale with a decimal comma, where the machine has one.
  const char* previous = std::setlocale(LC_ALL, nullptr);
  const std::string saved = previous ? previous : "C";
  for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE"})
    if (std::setlocale(LC_ALL, name)) break;
  TFrameEntry e;
  e.StopTime = 400000;
  e.TimestampOut = 400000;
  e.Bytes = 5120;
  e.IsSyncPoint = true;
  e.HistogramAverage = 128500;
  e.HistogramMax = 250000;
  e.HistogramMin = 3000;
  EXPECT_EQ(TableLine(e), "0,400000,0,400000,5120,N,Y,N,128.5,250,3,0,0,0");
  e.DCTAverage = 1234567;  // 15 significant digits at most, no grouping
  e.DCTMax = -1;
  EXPECT_EQ(TableLine(e), "0,400000,0,400000,5120,N,Y,N,128.5,250,3,1234.567,-0.001,0");
  std::setlocale(LC_ALL, saved.c_str());
}

TEST(AnalysisText, WriteTable_headerAndCrLfLines_nothingForAnEmptyTable) {
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / ("kv-analyzer-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "t.cvs").string();
  TFrameTable t(10);
  t.ResetAnalysis();
  std::string error;
  EXPECT_FALSE(WriteTable(t, path, &error));
  EXPECT_EQ(error, "No frames to save");
  EXPECT_FALSE(std::filesystem::exists(path));
  Add(t, Sample(0, 0, 5120));
  Add(t, Sample(1, 400000, 99, false));
  ASSERT_TRUE(WriteTable(t, path, &error)) << error;
  std::ifstream in(path, std::ios::binary);
  std::stringstream all;
  all << in.rdbuf();
  EXPECT_EQ(all.str(), std::string(kTableHeader) + "\r\n" + "0,400000,0,1,5120,N,Y,N,0,0,0,0,0,0\r\n" +
                           "400000,800000,400000,400001,99,N,N,N,0,0,0,0,0,0\r\n");
  EXPECT_EQ(std::string(kTableHeader),
            "StartTime,StopTime,TimestampIn,TimestampOut,Bytes,IsDiscontinuity,IsSyncPoint,IsPreroll,Histogram "
            "Average,Histogram Max,Histogram Min,DCT Average,DCT Max,DCT Min");
  EXPECT_FALSE(WriteTable(t, (dir / "no/such/dir/t.cvs").string(), &error));
  EXPECT_NE(error.find("Cannot create"), std::string::npos);
  // The table's place: beside the media file, else in the fallback folder.
  EXPECT_EQ(TableFileFor((dir / "clip.mkv").string(), "/fallback"), (dir / "clip.cvs").string());
  EXPECT_EQ(TableFileFor((dir / "gone/clip.mkv").string(), "/fallback"), "/fallback/clip.cvs");
  std::filesystem::remove_all(dir);
}

TEST(FrameChart, ColumnsForEachZoom_scalesAndBands) {
  EXPECT_EQ(ChartColumnCount(0, 1000, 483, 20), 25);  // c from 0 to 483 div 20 = 24
  EXPECT_EQ(ChartColumnCount(0, 1000, 483, 10), 49);
  EXPECT_EQ(ChartColumnCount(0, 1000, 483, 5), 97);
  EXPECT_EQ(ChartColumnCount(0, 1000, 483, 1), 484);
  EXPECT_EQ(ChartColumnCount(990, 1000, 483, 5), 10);  // while the frame exists
  EXPECT_EQ(ChartColumnCount(1000, 1000, 483, 5), 0);

  TFrameTotals t;
  t.LargestBytes = 0;
  t.HistogramMax = 200000;
  EXPECT_EQ(ChartScale(TChartView::Bitrate, TChartRange::Auto, t), 1);
  EXPECT_EQ(ChartScale(TChartView::Histogram, TChartRange::Auto, t), 200000);
  EXPECT_EQ(ChartScale(TChartView::Histogram, TChartRange::Full, t), 255000);
  EXPECT_EQ(ChartScale(TChartView::DCT, TChartRange::Full, t), 64000);

  TFrameEntry e;
  e.Bytes = 250;
  e.IsSyncPoint = true;
  std::array<TBand, 4> b;
  ASSERT_EQ(ColumnBands(e, TChartView::Bitrate, 1000, 200, b), 2);
  EXPECT_EQ(b[0].y1, 150);  // 200 - 200 * 250 div 1000
  EXPECT_EQ(b[1].colour, TBandColour::Red);
  e.IsSyncPoint = false;
  ColumnBands(e, TChartView::Bitrate, 1000, 200, b);
  EXPECT_EQ(b[1].colour, TBandColour::Blue);
  e.HistogramMax = 255000;
  e.HistogramAverage = 127500;
  e.HistogramMin = 0;
  ASSERT_EQ(ColumnBands(e, TChartView::Histogram, 255000, 100, b), 4);
  EXPECT_EQ(b[0].y1, 0);
  EXPECT_EQ(b[1].y1, 50);
  EXPECT_EQ(b[2].y1, 100);
  EXPECT_EQ(b[3].y0, 100);
}

// Streaming threads write through the callbacks while the reading thread takes totals and
// entries; run under ThreadSanitizer (KAVELLO_TSAN) this catches unsynchronised access.
TEST(FrameTable, CallbacksOnTwoStreamingThreadsWhileTheReaderReads) {
  constexpr int kFrames = 20000;
  TFrameTable t(kFrames);
  std::atomic<bool> gate{false};
  t.ResetAnalysis();
  t.SetMPEGMode(true);
  BindAnalysis(&gate, &t);
  EXPECT_EQ(CallSample(Sample(0, 0, 1)), 0);  // gate closed: dropped
  EXPECT_EQ(t.Count(), 0);
  gate = true;
  std::atomic<bool> samplesDone{false}, imagesDone{false};
  std::thread samples([&] {
    for (int i = 0; i < kFrames; ++i)
      CallSample(i % 3 != 2 ? Sample(i, int64_t(i) * 400000, 1 + i % 7) : Continuation(i, 1 + i % 7));
    samplesDone = true;
  });
  std::thread images([&] {
    for (int32_t i = 0;;) {
      if (i < t.Count()) {
        CallImage(Image(i, 1000 * (i % 200), 255000, 0, 7000));
        ++i;
      }
      else if (samplesDone) break;
      else std::this_thread::yield();
    }
    imagesDone = true;
  });
  int64_t largestSeen = 0;
  for (bool last = false; !last;) {
    last = imagesDone;
    if (t.TakeDirty()) {
      const TFrameTotals s = t.Totals();
      for (int32_t i = std::max<int32_t>(0, s.Count - 20); i < s.Count; ++i) {
        const TFrameEntry e = t.Entry(i);
        EXPECT_EQ(e.StartTime % 400000, 0);
        largestSeen = std::max(largestSeen, e.Bytes);
      }
    }
    std::this_thread::yield();
  }
  samples.join();
  images.join();
  EXPECT_GT(largestSeen, 0);
  BindAnalysis(nullptr, nullptr);
  // Every third sample continues its frame: 2/3 of the samples are frames.
  const TFrameTotals s = t.Totals();
  EXPECT_EQ(s.Count, kFrames - kFrames / 3);
  int64_t expected = 0;
  for (int i = 0; i < kFrames; ++i) expected += 1 + i % 7;
  EXPECT_EQ(s.TotalBytes, expected);
  int64_t sum = 0;
  for (int32_t i = 0; i < s.Count; ++i) sum += t.Entry(i).Bytes;
  EXPECT_EQ(sum, expected);
}

}  // namespace
}  // namespace kv
