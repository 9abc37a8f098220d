#include "analyzer/analysis_text.h"

#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace kv {

namespace {

std::string Decimal(int64_t v) { return std::to_string(v); }

// (v div 100) / 10 as text with one decimal at most, without the locale: 128500 -> 128.5.
std::string Tenths(int64_t tenths) {
  const bool negative = tenths < 0;
  const uint64_t a = negative ? uint64_t(0) - uint64_t(tenths) : uint64_t(tenths);
  std::string s = (negative ? "-" : "") + std::to_string(a / 10);
  if (a % 10) s += "." + std::to_string(a % 10);
  return s;
}

std::string Triple(int64_t min, int64_t averageTenths, int64_t max) {
  return Decimal(min / 1000) + "/" + Tenths(averageTenths) + "/" + Decimal(max / 1000);
}

// v / 1000 as general floating-point text with up to 15 significant digits, "." always.
void AppendThousandths(std::string& out, int32_t v) {
  char buffer[32];
  auto r = std::to_chars(buffer, buffer + sizeof buffer, v / 1000.0, std::chars_format::general, 15);
  out.append(buffer, r.ptr);
}

}  // namespace

const std::array<const char*, kFrameInfoRows> kFrameInfoRowNames = {
    "",          "Index",     "Start time",    "Stop time",  "Timestamp in", "Timestamp out",  "Size",
    "Bitrate",   "Discontinuity", "Sync point", "Preroll",   "Histogram",    "DCT Coeficients"};

const char* const kTableHeader =
    "StartTime,StopTime,TimestampIn,TimestampOut,Bytes,IsDiscontinuity,IsSyncPoint,IsPreroll,"
    "Histogram Average,Histogram Max,Histogram Min,DCT Average,DCT Max,DCT Min";

std::string FormatRefTime(int64_t t) {
  if (t < 0) return "-" + FormatRefTime(t == INT64_MIN ? INT64_MAX : -t);
  const int64_t ms = t / 10000;
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%lld:%02lld:%02lld.%03lld", static_cast<long long>(ms / 3600000),
                static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60),
                static_cast<long long>(ms % 1000));
  return buffer;
}

std::array<std::string, kFrameInfoRows> FrameInfoColumn(int32_t i, const TFrameEntry& e) {
  std::array<std::string, kFrameInfoRows> c;
  c[1] = Decimal(i);
  c[2] = FormatRefTime(e.StartTime);
  c[3] = FormatRefTime(e.StopTime);
  c[4] = FormatRefTime(e.TimestampIn);
  c[5] = FormatRefTime(e.TimestampOut);
  c[6] = Decimal(e.Bytes);
  c[8] = YesNo(e.IsDiscontinuity);
  c[9] = YesNo(e.IsSyncPoint);
  c[10] = YesNo(e.IsPreroll);
  c[11] = Triple(e.HistogramMin, e.HistogramAverage / 100, e.HistogramMax);
  c[12] = Triple(e.DCTMin, e.DCTAverage / 100, e.DCTMax);
  return c;
}

int64_t TableBitrate(const TFrameTotals& t) {
  if (t.LastStop <= t.FirstStart) return -1;
  // 128-bit intermediate: bytes x 80 000 000 passes 64 bits past about 115 GB.
  const __int128 bits = static_cast<__int128>(t.TotalBytes) * 80000000;
  return static_cast<int64_t>(bits / (static_cast<__int128>(t.LastStop) - t.FirstStart));
}

std::array<std::string, kFrameInfoRows> TotalsColumn(const TFrameTotals& t) {
  std::array<std::string, kFrameInfoRows> c;
  c[1] = Decimal(t.Count);
  c[6] = Decimal(t.TotalBytes);
  c[2] = FormatRefTime(t.FirstStart);
  c[3] = FormatRefTime(t.LastStop);
  if (t.Count == 0) return c;
  // Until a picture was measured the extremes hold their start values: nothing to show.
  if (t.InfoCount > 0) {
    c[11] = Triple(t.HistogramMin, t.HistogramSum / 100 / t.Count, t.HistogramMax);
    c[12] = Triple(t.DCTMin, t.DCTSum / 100 / t.Count, t.DCTMax);
  }
  const int64_t bitrate = TableBitrate(t);
  if (bitrate >= 0) c[7] = Decimal(bitrate);
  return c;
}

std::string TableLine(const TFrameEntry& e) {
  std::string line;
  line.reserve(128);
  for (int64_t v : {e.StartTime, e.StopTime, e.TimestampIn, e.TimestampOut, e.Bytes}) {
    line += Decimal(v);
    line += ',';
  }
  for (bool v : {e.IsDiscontinuity, e.IsSyncPoint, e.IsPreroll}) {
    line += YesNo(v);
    line += ',';
  }
  const int32_t measures[] = {e.HistogramAverage, e.HistogramMax, e.HistogramMin, e.DCTAverage, e.DCTMax, e.DCTMin};
  for (size_t k = 0; k < 6; ++k) {
    if (k) line += ',';
    AppendThousandths(line, measures[k]);
  }
  return line;
}

bool WriteTable(const TFrameTable& table, const std::string& path, std::string* error) {
  const int32_t count = table.Count();
  if (count == 0) {
    if (error) *error = "No frames to save";
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    if (error) *error = "Cannot create " + path + ": " + std::strerror(errno);
    return false;
  }
  std::vector<char> buffer(1 << 16);
  std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
  bool ok = std::fputs(kTableHeader, f) >= 0 && std::fputs("\r\n", f) >= 0;
  for (int32_t i = 0; ok && i < count; ++i) {
    std::string line = TableLine(table.Entry(i));
    line += "\r\n";
    ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
  }
  const int savedErrno = errno;
  if (std::fclose(f) != 0) ok = false;
  if (!ok && error) *error = "Cannot write " + path + ": " + std::strerror(savedErrno ? savedErrno : errno);
  return ok;
}

bool IsMPEGFormatName(const std::string& name) { return name == "MPEG-1" || name == "MPEG-2"; }

std::string TableFileFor(const std::string& mediaFile, const std::string& fallbackDir) {
  std::filesystem::path p(mediaFile);
  p.replace_extension(".cvs");
  std::string dir = p.parent_path().string();
  if (dir.empty()) dir = ".";
  if (access(dir.c_str(), W_OK) == 0 || fallbackDir.empty()) return p.string();
  return (std::filesystem::path(fallbackDir) / p.filename()).string();
}

}  // namespace kv
