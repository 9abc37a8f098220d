// TPageSelection: which teletext page the user asked for.
//
// Digits build a page number: three digits make a page (the first must be 1..8, the
// magazines); while fewer are typed the entry is pending and shown as "P1--". Next and
// previous walk over the pages present (wrapping round). Page numbers are the teletext
// hexadecimal form (page 100 is 0x100). Pure logic; the filter's page mutex guards it.
#pragma once

#include <set>
#include <string>

namespace kv::teletext {

inline constexpr int kAnySubpage = 0x3F7F;

class TPageSelection {
 public:
  int Page() const { return page_; }
  int Subpage() const { return subpage_; }
  // Sets the page at once (pending digits are dropped); false for a page outside 0x100..0x8FF.
  bool Set(int page, int subpage);
  // One digit 0..9; true when it completed a page number (the page is then selected).
  // Digits out of range and a first digit of 0 or 9 are ignored.
  bool PutDigit(int digit, int subpage);
  // The next or previous page present after the selected one; false (nothing changes)
  // when no other page is present.
  bool Next(const std::set<int>& present);
  bool Prev(const std::set<int>& present);
  // The page number as the header shows it: "P100", or "P1--" while digits are pending.
  std::string Label() const;
  bool Pending() const { return typed_ > 0; }

 private:
  int page_ = 0x100;
  int subpage_ = kAnySubpage;
  int typed_ = 0;    // digits typed so far (0..2)
  int digits_ = 0;   // their value
};

}  // namespace kv::teletext
