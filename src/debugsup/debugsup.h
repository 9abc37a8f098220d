// TDebug: the trace log of the program, held in the global `Debug`.
//
// Lines are "H:MM:SS.mmm: text" followed by CR LF. The file is opened, appended and closed
// for every line so that the log survives a crash and can be read while the program runs;
// failures are swallowed (logging never fails visibly). When `Enabled` is false every call
// costs one flag test and creates nothing.
//
// Threads: the program calls it from the user-interface thread; the engine may call it from
// streaming threads too, so each line is written under a small mutex (the file is still
// opened and closed per line).
// Kept free of Qt so that the engine and the filters can log.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace kv {

class TDebug {
 public:
  TDebug() = default;

  bool Enabled = false;

  void SetFileName(const std::string& path);
  const std::string& FileName() const { return fileName_; }

  void TextOut(const std::string& text);
  void IntegerOut(const std::string& name, int32_t value);
  void FloatOut(const std::string& name, double value);
  void BoolOut(const std::string& name, bool value);
  // Header line name + ", size=" + size, then hex dump lines without stamp (written even
  // when disabled, as callers only dump after testing Enabled themselves).
  void BinaryOut(const std::string& name, size_t size, const void* address);
  void Clear();  // deletes the file if it exists

  // The stamp for a time of day; exposed for tests.
  static std::string FormatStamp(int hours, int minutes, int seconds, int milliseconds);

  // Tests replace the clock: returns hours, minutes, seconds, milliseconds of local time.
  using TimeSource = std::function<void(int&, int&, int&, int&)>;
  void SetTimeSource(TimeSource source);

 private:
  void AppendLine(const std::string& line);
  std::string fileName_;
  TimeSource timeSource_;
  std::mutex writeMutex_;  // guards appending one line to fileName_ (one writer at a time)
};

// The program's one log.
extern TDebug Debug;

}  // namespace kv
