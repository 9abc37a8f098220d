// Reader, code 6 (SubStation Alpha and Advanced SubStation): the "[Events]" section names
// its columns in a "Format:" line; each "Dialogue:" line is one entry. Section and key
// names are matched without regard to letter case or surrounding blanks.
#include <string>

#include "subtitles/subtitle_readers.h"
#include "subtitles/subtitle_text.h"
#include "subtitles/subtitle_time.h"

namespace kv {

namespace {

constexpr std::size_t kNpos = std::string_view::npos;

std::string_view LeadingBlanksRemoved(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t");
  return first == kNpos ? std::string_view{} : line.substr(first);
}

// Column number of `name` in an upper-cased format line: the commas before its first
// occurrence; empty when it does not occur.
std::optional<std::size_t> ColumnOf(std::string_view format, std::string_view name) {
  const std::size_t at = format.find(name);
  if (at == kNpos) return std::nullopt;
  std::size_t commas = 0;
  for (std::size_t i = 0; i < at; ++i) commas += format[i] == ',' ? 1 : 0;
  return commas;
}

struct TColumns {
  std::size_t start = 0;
  std::size_t end = 0;
  std::size_t text = 0;
};

std::optional<TColumns> ReadFormatLine(std::string_view afterKey) {
  const std::string format = ToUpperAscii(afterKey);
  const auto start = ColumnOf(format, "START");
  const auto end = ColumnOf(format, "END");
  const auto text = ColumnOf(format, "TEXT");
  if (!start || !end || !text) return std::nullopt;
  return TColumns{*start, *end, *text};
}

// Where field `k` of a dialogue line begins (after its k-th comma); kNpos past the last one.
// Fields are found in one pass by the caller asking in increasing order through `cursor`.
class TFieldCursor {
 public:
  explicit TFieldCursor(std::string_view line) : line_(line) {}
  std::size_t StartOf(std::size_t field) {
    while (field_ < field && pos_ != kNpos) {
      const std::size_t comma = line_.find(',', pos_);
      pos_ = comma == kNpos ? kNpos : comma + 1;
      ++field_;
    }
    return field_ == field ? pos_ : kNpos;
  }

 private:
  std::string_view line_;
  std::size_t field_ = 0;
  std::size_t pos_ = 0;
};

std::string_view Field(std::string_view line, std::size_t field, bool toEnd) {
  TFieldCursor cursor(line);
  const std::size_t begin = cursor.StartOf(field);
  if (begin == kNpos) return {};
  if (toEnd) return line.substr(begin);
  const std::size_t comma = line.find(',', begin);
  return line.substr(begin, comma == kNpos ? kNpos : comma - begin);
}

void StripOverrideCodes(TSubTitleItem& item) {
  std::string text = item.Text();
  for (std::string_view code : {"{\\i1}", "{\\i0}", "{\\b1}", "{\\b0}"}) text = ReplaceAll(text, code, "", true);
  item.SetText(text);
}

}  // namespace

void ReadSubStation(TSubtitleTextFile& in, TSubTitles& list) {
  enum class State { SeekEvents, SeekFormat, ReadDialogue } state = State::SeekEvents;
  TColumns columns;
  std::string line;
  while (in.HasMoreLines()) {
    in.ReadLine(line);
    const std::string_view s = LeadingBlanksRemoved(line);
    switch (state) {
      case State::SeekEvents:
        if (EqualsNoCase(TrimBlanks(s), "[EVENTS]")) state = State::SeekFormat;
        break;
      case State::SeekFormat:
        if (StartsWithNoCase(s, "FORMAT:")) {
          if (const auto found = ReadFormatLine(s.substr(7))) {
            columns = *found;
            state = State::ReadDialogue;
          }
        }
        break;
      case State::ReadDialogue: {
        if (!StartsWithNoCase(s, "DIALOGUE:")) break;
        const std::string_view d = s.substr(9);
        TSubTitleItem item;
        item.Start = ParseTime(Field(d, columns.start, false));
        item.Stop = ParseTime(Field(d, columns.end, false));
        item.SetText(ReplaceAll(Field(d, columns.text, true), "\\n", "|", true));
        if (list.StripCodes && d.find("{\\") != kNpos) StripOverrideCodes(item);
        if (!item.Text().empty() && item.Start != kUnreadableTime && item.Stop != kUnreadableTime) {
          list.Items.push_back(std::move(item));
        }
        break;
      }
    }
  }
}

}  // namespace kv
