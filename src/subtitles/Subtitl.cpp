#include "subtitles/Subtitl.h"

#include <cmath>

#include "subtitles/subtitle_readers.h"
#include "subtitles/subtitle_text.h"
#include "subtitles/subtitle_textfile.h"

namespace kv {

TSubTitles SubtitleList;

namespace {

// Bytes past the 255-byte limit that the UTF-8-safe cut may look at.
constexpr std::size_t kCutLookahead = 4;

std::string_view CutInput(std::string_view text, std::size_t alreadyHeld) {
  const std::size_t room = kSubtitleTextLimit + kCutLookahead;
  return alreadyHeld >= room ? std::string_view{} : text.substr(0, room - alreadyHeld);
}

}  // namespace

void TSubTitleItem::SetText(std::string_view text) {
  text_.assign(CutInput(text, 0));
  CutSubtitleText(text_);
}

void TSubTitleItem::AppendText(std::string_view piece) {
  text_.append(CutInput(piece, text_.size()));
  CutSubtitleText(text_);
}

bool TSubTitles::ReadFile(int format) {
  TSubtitleTextFile in;
  // The SubStation reader has always emptied the list before opening its file.
  if (format == sfSubStation) Items.clear();
  if (!in.Open(FileName)) return false;
  return ReadSubtitleLayout(format, in, *this);
}

bool TSubTitles::LoadFromFile(const std::string& fileName, bool stripCodes) {
  if (fileName.empty()) return false;
  FileName = fileName;
  StripCodes = stripCodes;
  int format = FormatFromExtension(fileName);
  if (format == sfNone) {
    TSubtitleTextFile in;
    if (!in.Open(fileName)) return false;
    format = FormatFromContents(in);
    if (format == sfNone) return false;
  }
  return ReadFile(format);
}

int TSubTitles::DetectFormat(const std::string& fileName) {
  if (fileName.empty()) return sfNone;
  const int byExtension = FormatFromExtension(fileName);
  if (byExtension != sfNone) return byExtension;
  TSubtitleTextFile in;
  if (!in.Open(fileName)) return sfNone;
  return FormatFromContents(in);
}

bool TSubTitles::FindAt(std::uint32_t time, int& index, std::string& text) const {
  const std::int64_t t = time;
  for (std::size_t i = 0; i < Items.size(); ++i) {
    const std::int64_t start = std::int64_t{Items[i].Start} + Offset;
    const std::int64_t stop = std::int64_t{Items[i].Stop} + Offset;
    if (start <= t && t <= stop) {
      index = static_cast<int>(i);
      text = Items[i].Text();
      return true;
    }
    if (start > t) {
      index = static_cast<int>(i);
      text.clear();
      return true;
    }
  }
  text.clear();
  return false;
}

bool TSubTitles::GetText(int index, std::string& text) const {
  if (static_cast<std::uint32_t>(index) >= Items.size()) return false;
  text = Items[static_cast<std::size_t>(index)].Text();
  return true;
}

bool TSubTitles::GetTimes(int index, std::uint32_t& start, std::uint32_t& stop) const {
  if (static_cast<std::uint32_t>(index) >= Items.size()) return false;
  const TSubTitleItem& item = Items[static_cast<std::size_t>(index)];
  const auto offset = static_cast<std::uint32_t>(Offset);
  start = item.Start + offset;  // unsigned: wraps like the 32-bit players expect
  stop = item.Stop + offset;
  return true;
}

void TSubTitles::SetFramerate(double value) {
  if (value == Framerate || !std::isfinite(value) || value <= 0) return;
  Framerate = value;
  // Both frame-numbered layouts take the new rate at once; the times of the others do not
  // depend on it.
  if ((Format == sfMicroDVD || Format == sfAQTitle) && !FileName.empty()) ReadFile(Format);
}

}  // namespace kv
