#include "display_test_support.h"

#include <atomic>
#include <fstream>
#include <random>

#include <unistd.h>

namespace kv::test {

void RunClock(TFakeClock& clock, TFakeSubtitleTimer& timer, std::int64_t until) {
  for (;;) {
    if (timer.Enabled() && timer.Due() <= until) {
      if (timer.Due() > clock.Now) clock.Now = timer.Due();
      timer.FireDue();
      continue;
    }
    clock.Now = until;
    return;
  }
}

TTempDir::TTempDir() {
  static std::atomic<int> counter{0};
  dir_ = std::filesystem::temp_directory_path() /
         ("kv_subdisplay_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
  std::filesystem::create_directories(dir_);
}

TTempDir::~TTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

std::string TTempDir::Write(const std::string& name, const std::string& bytes) const {
  const std::string path = Path(name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

TLogCapture::TLogCapture() {
  Log.Enabled = true;
  Log.SetFileName(dir_.Path("kavello.log"));
  Log.SetTimeSource([](int& h, int& m, int& s, int& ms) { h = m = s = ms = 0; });
}

std::vector<std::string> TLogCapture::Lines() const {
  std::vector<std::string> lines;
  std::ifstream in(dir_.Path("kavello.log"), std::ios::binary);
  std::string line;
  const std::string stamp = "0:00:00.000: ";
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(stamp, 0) == 0) line.erase(0, stamp.size());
    lines.push_back(line);
  }
  return lines;
}

bool TLogCapture::Contains(const std::string& text) const {
  for (const std::string& l : Lines()) {
    if (l == text) return true;
  }
  return false;
}

void TLogCapture::Clear() { Log.Clear(); }

TSubTitles MakeList(const std::vector<TItem>& items) {
  TSubTitles list;
  list.Format = sfSubRip;
  for (const TItem& i : items) {
    TSubTitleItem item;
    item.Start = i.Start;
    item.Stop = i.Stop;
    item.SetText(i.Text);
    list.Items.push_back(item);
  }
  return list;
}

}  // namespace kv::test
