// The subtitle list: the timed entries of one text subtitle file.
//
// TSubTitles reads seven text layouts (chosen from the file extension and the first
// non-empty line), keeps the entries in file order with times in milliseconds, converts the
// frame-numbered layouts with `Framerate`, applies the signed `Offset` on lookup only, and
// answers the player's question: which entry shows at time t, or which comes next. It can
// write the list out as SubRip, the tabbed layout or a millisecond dump.
//
// Ownership: the main window owns the one list `SubtitleList` for the life of the program;
// the list owns its entries. Everything runs on the caller's thread (the user-interface
// thread in the program); the object takes no locks and must not be shared between threads
// without the caller's own locking. Nothing here shows messages or logs: failures come back
// as false or format code 0.
//
// Files: a UTF-8 byte order mark is skipped and UTF-16/UTF-32 files (with their mark) are
// read as UTF-8; other files are read byte for byte in their own code page. Line ends are
// CR LF or LF. Reading is linear in the file size and copes with NUL bytes, very long lines
// and truncated files. The readers live in read_*.cpp, the detection in subtitle_detect.cpp,
// the writers in subtitle_writer.cpp.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kv {

// Format codes of the layouts (the value of TSubTitles::Format).
enum TSubtitleFormat : int {
  sfNone = 0,              // not a subtitle file
  sfSubRip = 1,            // number, "a --> b" time line, text lines, blank line
  sfMicroDVD = 2,          // {start frame}{stop frame}text
  sfAQTitle = 3,           // "-->> frame" marker lines, text between them
  sfSubViewer = 4,         // hh:mm:ss.cc,hh:mm:ss.cc line, then a text line with [br]
  sfTimedLines = 5,        // h:mm:ss:text
  sfSubStation = 6,        // [Events] section with Format: and Dialogue: lines
  sfTabbed = 7,            // hh:mm:ss:cc TAB hh:mm:ss:cc TAB text with <p> breaks
  sfMillisecondDump = 100  // {start ms}{stop ms}text; written only
};

// One entry. Times are milliseconds before the list's Offset; kUnreadableTime
// (subtitle_time.h) marks a time that could not be read.
class TSubTitleItem {
 public:
  std::uint32_t Start = 0;
  std::uint32_t Stop = 0;

  // The text, "|" between lines, at most 255 bytes in the file's own encoding.
  const std::string& Text() const { return text_; }
  // Every assignment cuts the text to 255 bytes, never inside a UTF-8 sequence.
  void SetText(std::string_view text);
  // Appends and cuts again (used while a multi-line entry is gathered).
  void AppendText(std::string_view piece);

 private:
  std::string text_;
};

class TSubTitles {
 public:
  // Fields are the list's state; callers change Framerate and Offset only through
  // SetFramerate and SetOffset so that a frame-numbered file is re-read.
  int Format = sfNone;        // code of the reader that last ran
  double Framerate = 25.0;    // frames per second for the frame-numbered layouts
  std::string FileName;       // path last given to LoadFromFile
  std::vector<TSubTitleItem> Items;  // file order, never sorted
  std::int32_t Offset = 0;    // ms added to every time on lookup, never to stored values
  bool StripCodes = false;    // remove style codes while reading

  // Detects the layout of `fileName` and reads it, replacing the entries. True when at least
  // one entry was read. An empty name changes nothing; otherwise FileName and StripCodes are
  // stored first. A file that cannot be opened or is no subtitle file leaves the list as it
  // was (a ".ssa"/".ass" file that cannot be opened empties it).
  bool LoadFromFile(const std::string& fileName, bool stripCodes);

  // The layout code (0..7) LoadFromFile would choose; 0 when the name is empty, the file
  // cannot be opened or is no subtitle file. Reads at most up to the first non-empty line.
  static int DetectFormat(const std::string& fileName);

  // Writes the entries as code 1 (SubRip), 7 (tabbed) or 100 (millisecond dump), stored times
  // without Offset, lines ending in CR LF. False for another code, an empty list, or a file
  // that cannot be created or written (a partly written file may then remain).
  bool SaveToFile(int format, const std::string& fileName) const;

  // The entry showing at `time` (true, its index and text), or else the first entry that
  // starts after it (true, its index, empty text); false with empty text and `index`
  // untouched when `time` lies after every entry. Scans from the first entry; the first
  // entry that holds or follows `time` wins. Offset applies in 64-bit arithmetic.
  bool FindAt(std::uint32_t time, int& index, std::string& text) const;

  // Text of entry `index`; false and `text` untouched when out of range.
  bool GetText(int index, std::string& text) const;
  // Times of entry `index` with Offset added (32-bit, wrapping); false and outputs untouched
  // when out of range.
  bool GetTimes(int index, std::uint32_t& start, std::uint32_t& stop) const;

  // Changes the frame rate; a frame-numbered file (codes 2 and 3) is read again at once with
  // the current StripCodes. The same value, or one that is not a positive finite number,
  // changes nothing.
  void SetFramerate(double value);
  double GetFramerate() const { return Framerate; }

  // Takes effect at the next lookup.
  void SetOffset(std::int32_t milliseconds) { Offset = milliseconds; }

  // Empties Items; Format, Framerate, Offset and FileName stay.
  void ClearList() { Items.clear(); }

 private:
  // Runs the reader for `format` on FileName; false when the file cannot be opened.
  bool ReadFile(int format);
};

// The program's one subtitle list, used by the main window on the user-interface thread.
extern TSubTitles SubtitleList;

}  // namespace kv
