#include "osd/osd_bar_state.h"

namespace kv::osd {

int TOsdBarState::GroupOfBar(int bar) {
  static constexpr std::array<int, kBarCount> kGroups = {1, 2, 2, 2, 2, 3, 3, 4, 5, 6, 7};
  if (bar < 1 || bar > kBarCount) return 0;
  return kGroups[static_cast<size_t>(bar - 1)];
}

void TOsdBarState::SetGroupEnabled(int group, bool on) {
  if (group >= 1 && group <= kBarGroupCount) groups_[static_cast<size_t>(group - 1)] = on;
}

bool TOsdBarState::GroupEnabled(int group) const {
  return group >= 1 && group <= kBarGroupCount && groups_[static_cast<size_t>(group - 1)];
}

bool TOsdBarState::AnyGroupEnabled() const {
  for (bool g : groups_) {
    if (g) return true;
  }
  return false;
}

void TOsdBarState::SetLevel(int bar, int level) {
  if (bar < 1 || bar > kBarCount) return;
  Values[static_cast<size_t>(bar - 1)] = BarValueFromLevel(level);
}

int TOsdBarState::Value(int bar) const {
  if (bar < 1 || bar > kBarCount) return 0;
  return Values[static_cast<size_t>(bar - 1)];
}

int TOsdBarState::FirstEnabledBar() const {
  for (int bar = 1; bar <= kBarCount; ++bar) {
    if (BarEnabled(bar)) return bar;
  }
  return 0;
}

TBarKeyResult TOsdBarState::HandleKey(int code) {
  TBarKeyResult result;
  if (!AnyGroupEnabled()) return result;
  if (code == 0 || code == 3) {
    const int start = BarIndex == 0 ? 1 : BarIndex;
    int bar = start;
    do {
      bar = code == 0 ? (bar % kBarCount) + 1 : (bar == 1 ? kBarCount : bar - 1);
    } while (!BarEnabled(bar) && bar != start);
    if (bar != BarIndex) {
      BarIndex = bar;
      result.Show = true;
      result.Bar = bar;
      result.Value = Value(bar);
    }
    return result;
  }
  if (code != 1 && code != 2) return result;
  // With no bar selected the keys act on the first bar that may be offered, so that they
  // never change a bar whose group is off.
  const int bar = BarIndex == 0 ? FirstEnabledBar() : BarIndex;
  int& value = Values[static_cast<size_t>(bar - 1)];
  if (code == 2 && value < kBarMax - 1) {
    ++value;
  } else if (code == 1 && value > 0) {
    --value;
  } else {
    return result;
  }
  BarIndex = bar;
  result.Show = true;
  result.Bar = bar;
  result.Value = value;
  result.Report = true;
  result.Level = LevelFromBarValue(value);
  return result;
}

}  // namespace kv::osd
