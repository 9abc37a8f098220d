// The bars the navigation keys offer: 11 values (0..63), the seven bar groups that say
// which bars may be offered, and the bar selected by the keys.
//
// Groups: 1 = bar 1 (volume); 2 = bars 2..5 (picture); 3 = bars 6 and 7 (tone); 4 = bar 8;
// 5 = bar 9; 6 = bar 10; 7 = bar 11. All groups are off at creation and every value is 32.
// Plain C++: TOSD asks it what a key does and draws the answer.
#pragma once

#include <array>

#include "osd/osd_geometry.h"
#include "osd/osd_labels.h"

namespace kv::osd {

inline constexpr int kBarGroupCount = 7;

// What a bar key asks the display to do.
struct TBarKeyResult {
  bool Show = false;          // show bar `Bar` with `Value`
  int Bar = 0;                // 1..11
  int Value = 0;              // 0..63
  bool Report = false;        // the value changed: report `Level` for `Bar`
  int Level = 0;              // Value * 256 div 64
};

class TOsdBarState {
 public:
  TOsdBarState() { Values.fill(32); }

  // Group of bar 1..11 (1..7); 0 for any other bar.
  static int GroupOfBar(int bar);

  void SetGroupEnabled(int group, bool on);  // group 1..7; others ignored
  bool GroupEnabled(int group) const;
  bool BarEnabled(int bar) const { return GroupEnabled(GroupOfBar(bar)); }
  bool AnyGroupEnabled() const;

  // Stores a reported level 0..255 for bar 1..11; other bars are ignored. Draws nothing.
  void SetLevel(int bar, int level);
  int Value(int bar) const;  // 0 for a bar that does not exist

  // Keys 0 (up), 1 (left), 2 (right), 3 (down) with the menu closed.
  // Up and down select the next or previous enabled bar, round the 11 bars; left and right
  // lower or raise the selected bar's value by one step, and do nothing at the limits.
  TBarKeyResult HandleKey(int code);

  int BarIndex = 0;  // selected bar 1..11, 0 none
  std::array<int, kBarCount> Values{};

 private:
  int FirstEnabledBar() const;
  std::array<bool, kBarGroupCount> groups_{};
};

}  // namespace kv::osd
