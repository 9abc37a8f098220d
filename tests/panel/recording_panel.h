// The recording test panel: a control panel library for tests that shows nothing and
// records every call the player makes, in order. Loaded by the player like the real panel
// (as Components/CapPanel.so); a test opens the same file to read the record and to send
// requests as a panel would.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv::test {

struct TRecordedCall {
  std::string name;  // the export: "Command", "CreatePanel", ...
  int32_t code = 0;
  int32_t a = 0;
  int32_t b = 0;
  bool hasText = false;
  std::string text;
  bool hasOwner = false;  // CreatePanel got a non-null owner
};

// Exports of the recording library besides the seven.
using TRecordedCallsFunction = std::vector<TRecordedCall>* (*)();
// Calls the player's callback as a panel would; false when the player refused the code or
// no callback is set.
using TFireRequestFunction = bool (*)(int32_t code, int32_t a, int32_t b);

}  // namespace kv::test
