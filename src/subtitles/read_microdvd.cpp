// Reader, code 2 (MicroDVD): "{start frame}{stop frame}text", "|" between lines.
//   - a first entry whose text is a frame rate ({1}{1}23.976) sets Framerate;
//   - an empty stop field ({100}{}text) ends the entry where the next one starts;
//   - one line may hold several entries ({10}{20}A{30}{40}B).
//
// The line is taken apart through views into it, so a line holding thousands of entries is
// still read in time linear in its length.
#include <algorithm>
#include <string>

#include "subtitles/subtitle_readers.h"
#include "subtitles/subtitle_text.h"
#include "subtitles/subtitle_time.h"

namespace kv {

namespace {

constexpr std::size_t kNpos = std::string_view::npos;
constexpr std::size_t kStripRounds = 10;
// Bytes of an entry's text worth copying: the cut keeps 255 and may look 4 further.
constexpr std::size_t kTextRoom = kSubtitleTextLimit + 4;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Finds the first "{}" of a line at or after a position that only moves forward while the
// same line is taken apart, so that the searches of one line together scan it once.
class TEmptyBracesFinder {
 public:
  void Reset() { known_ = false; }
  std::size_t FirstFrom(std::string_view line, std::size_t from) {
    if (!known_ || from < from_ || (found_ != kNpos && found_ < from)) {
      found_ = line.find("{}", from);
      known_ = true;
    }
    from_ = from;
    return found_;
  }

 private:
  bool known_ = false;
  std::size_t from_ = 0;
  std::size_t found_ = kNpos;
};

// Steps 7 and 8: strips "{...}" codes that do not start with a digit (at most 10), then cuts
// the line where a further "{digit" entry begins. `text` gets the (bounded) part before it,
// `rest` the further entries, as a view into `s`.
void TakeEntryText(std::string_view s, bool stripCodes, std::string& text, std::string_view& rest) {
  std::string head;  // kept text before `tail`; never holds "{" or "}"
  std::string_view tail = s;
  if (stripCodes) {
    for (std::size_t round = 0; round < kStripRounds; ++round) {
      const std::size_t open = tail.find('{');
      if (open == kNpos) break;
      if (open + 1 < tail.size() && IsDigit(tail[open + 1])) break;  // same every round
      const std::size_t close = tail.find('}');
      if (close == kNpos || close < open) break;  // nothing to delete, now or later
      if (head.size() < kTextRoom) head.append(tail.substr(0, std::min(open, kTextRoom - head.size())));
      tail.remove_prefix(close + 1);
    }
  }
  std::size_t split = kNpos;
  for (std::size_t i = tail.find('{'); i != kNpos; i = tail.find('{', i + 1)) {
    if (i + 1 < tail.size() && IsDigit(tail[i + 1])) {
      split = i;
      break;
    }
  }
  const std::string_view own = tail.substr(0, split);
  text = head;
  if (text.size() < kTextRoom) text.append(own.substr(0, kTextRoom - text.size()));
  rest = split == kNpos ? std::string_view{} : tail.substr(split);
}

// Step 4: the stop field after the start field has been removed from `s`.
std::string_view TakeStopField(std::string_view& s) {
  if (s.empty() || s.front() != '{') return {};
  const std::size_t close = s.find('}');
  if (close != kNpos) {
    const std::string_view field = s.substr(1, close - 1);
    s.remove_prefix(close + 1);
    return field;
  }
  s.remove_prefix(1);
  const std::size_t length = IntegerTextScanLength(s);
  if (length == s.size() && IsIntegerText(s)) return {};  // the whole rest is the text
  const std::string_view field = s.substr(0, length);
  s.remove_prefix(length);
  return field;
}

void SetFrameTime(std::uint32_t& time, std::string_view frame, double framerate) {
  if (const auto ms = FrameTime(frame, framerate)) time = *ms;
}

}  // namespace

void ReadMicroDVD(TSubtitleTextFile& in, TSubTitles& list) {
  std::string line;       // the line being taken apart; s and rest view into it
  std::string_view s;     // the text still to read (S)
  std::string_view rest;  // further entries of the same line (R)
  bool reuse = false;     // process s again (it was read ahead to end the last entry)
  TEmptyBracesFinder braces;
  const auto readLine = [&] {
    in.ReadLine(line);
    s = line;
    braces.Reset();
  };

  while (in.HasMoreLines() || reuse) {
    if (reuse) {
      reuse = false;
    } else if (rest.empty()) {
      readLine();
    }  // else s already holds rest

    // A line (or the rest of one) that is skipped drops everything after it as well.
    const std::size_t firstClose = s.size() >= 6 && s.front() == '{' ? s.find('}') : kNpos;
    if (firstClose == kNpos || firstClose < 2) {
      rest = {};
      continue;
    }
    const std::string_view startField = s.substr(1, firstClose - 1);
    if (EqualsNoCase(startField, "DEFAULT")) {
      rest = {};
      continue;
    }
    s.remove_prefix(firstClose + 1);
    TSubTitleItem item;
    SetFrameTime(item.Start, startField, list.Framerate);

    std::string_view stopField = TakeStopField(s);

    if (list.Items.empty()) {
      const auto rate = ParseDecimalNumber(s);
      if (rate && *rate > 20 && *rate < 60) {
        list.Framerate = *rate;  // a frame rate line, not an entry
        rest = {};
        continue;
      }
    }

    if (!s.empty() && s.back() == '|') s.remove_suffix(1);
    std::string text;
    TakeEntryText(s, list.StripCodes, text, rest);
    item.SetText(text);
    if (!rest.empty()) s = rest;

    if (stopField.empty()) {
      // Open end: the entry lasts until the next one starts.
      reuse = true;
      if (rest.empty()) {
        do {
          readLine();
        } while (s.empty() && in.HasMoreLines());
      }
      if (!in.HasMoreLines()) {
        item.Stop = TimeAfter(item.Start, 5000);
      } else {
        const auto begin = static_cast<std::size_t>(s.data() - line.data());
        // A line "{frame}{}" only marks the end of the entry before it.
        if (s.size() >= 2 && braces.FirstFrom(line, begin) == begin + s.size() - 2) reuse = false;
        const std::size_t close = s.find('}');
        stopField = close == kNpos || close == 0 ? std::string_view{} : s.substr(1, close - 1);
      }
    }
    if (!stopField.empty()) SetFrameTime(item.Stop, stopField, list.Framerate);
    if (!item.Text().empty()) list.Items.push_back(std::move(item));
  }
}

}  // namespace kv
