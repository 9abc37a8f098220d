#include "subtitle_test_support.h"

#include <fstream>
#include <random>
#include <sstream>

#include "subtitles/subtitle_readers.h"

namespace kv::test {

std::vector<TEntry> Entries(const TSubTitles& list) {
  std::vector<TEntry> out;
  for (const TSubTitleItem& item : list.Items) out.push_back({item.Start, item.Stop, item.Text()});
  return out;
}

TSubTitles ReadText(int format, std::string_view text, bool stripCodes, double framerate,
                    std::size_t blockSize) {
  TSubTitles list;
  list.StripCodes = stripCodes;
  list.Framerate = framerate;
  TSubtitleTextFile in;
  in.OpenMemory(text, blockSize);
  ReadSubtitleLayout(format, in, list);
  return list;
}

TTempDir::TTempDir() {
  std::random_device random;
  dir_ = std::filesystem::temp_directory_path() / ("kavello-subtitles-" + std::to_string(random()));
  std::filesystem::create_directories(dir_);
}

TTempDir::~TTempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string TTempDir::Write(const std::string& name, std::string_view bytes) const {
  const std::string path = Path(name);
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

const std::vector<TSample>& Samples() {
  static const std::vector<TSample> samples = {
      {"movie.srt", sfSubRip,
       "1\r\n00:00:01,500 --> 00:00:03,250\r\n<i>Hello</i>\r\nWorld\r\n\r\n"
       "2\r\n00:00:04,000 --> 00:00:05,000\r\nBye\r\n\r\n"},
      {"movie.sub", sfMicroDVD, "{1}{1}25.000\n{25}{50}Hello|World\n{100}{}Open end\n{150}{175}{y:i}Last\n"},
      {"movie.aqt", sfAQTitle, "-->> 25\nHello\nWorld\n-->> 50\n\n-->> 75\nNext\n-->> 100\n"},
      {"movie.sub", sfSubViewer,
       "[INFORMATION]\n[TITLE]x\n[END INFORMATION]\n00:00:01.50,00:00:03.00\nHello[br]World\n"
       "00:00:04.00,00:00:05.00\n  A [br] B\n"},
      {"movie.txt", sfTimedLines, "0:00:01:Hello\n0:00:05:World\n0:00:07:\n0:00:09:Last\n"},
      {"movie.ssa", sfSubStation,
       "[Script Info]\nTitle: x\n\n[Events]\n"
       "Format: Marked, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n"
       "Dialogue: Marked=0,0:00:01.00,0:00:03.50,Default,,0000,0000,0000,,Hello, world\\NSecond\n"
       "Dialogue: Marked=0,0:00:04.00,0:00:05.00,Default,,0000,0000,0000,,{\\i1}It{\\i0}\n"},
      {"movie.txt", sfTabbed,
       "00:00:01:00\t00:00:02:50\tHello<P>World\nmore<p>lines\n\n00:00:03:00\t00:00:04:00\t\n"},
  };
  return samples;
}

}  // namespace kv::test
