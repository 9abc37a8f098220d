#include "filters/teletext/page_selection.h"

#include <cstdio>
#include <iterator>

namespace kv::teletext {

bool TPageSelection::Set(int page, int subpage) {
  if (page < 0x100 || page > 0x8FF) return false;
  page_ = page;
  subpage_ = subpage;
  typed_ = 0;
  digits_ = 0;
  return true;
}

bool TPageSelection::PutDigit(int digit, int subpage) {
  if (digit < 0 || digit > 9) return false;
  if (typed_ == 0 && (digit < 1 || digit > 8)) return false;
  digits_ = digits_ * 16 + digit;
  if (++typed_ < 3) return false;
  page_ = digits_;
  subpage_ = subpage;
  typed_ = 0;
  digits_ = 0;
  return true;
}

bool TPageSelection::Next(const std::set<int>& present) {
  if (present.empty()) return false;
  auto it = present.upper_bound(page_);
  int next = it == present.end() ? *present.begin() : *it;
  if (next == page_ && !Pending()) return false;
  return Set(next, kAnySubpage);
}

bool TPageSelection::Prev(const std::set<int>& present) {
  if (present.empty()) return false;
  auto it = present.lower_bound(page_);
  int prev = it == present.begin() ? *present.rbegin() : *std::prev(it);
  if (prev == page_ && !Pending()) return false;
  return Set(prev, kAnySubpage);
}

std::string TPageSelection::Label() const {
  char text[8];
  if (typed_ == 1) std::snprintf(text, sizeof text, "P%X--", digits_);
  else if (typed_ == 2) std::snprintf(text, sizeof text, "P%02X-", digits_);
  else std::snprintf(text, sizeof text, "P%03X", page_);
  return text;
}

}  // namespace kv::teletext
