// One position of a plug-in filter chain, as the settings store it and the engine uses it.
// Pure data, no Qt. The engine includes this header rather than declaring its own record.
#pragma once

#include <array>
#include <string>

namespace kv {

struct TFilterStruct {
  std::string FileName;         // descriptor base name, without folder and extension; empty = free
  std::string Name;             // friendly name of the filter, from the descriptor's [Main] Name
  bool NeedCapturePin = false;  // from [Main] NeedCapturePin; always false for audio
};

// Five chain positions; slot k of the settings ("Filter" k, k = 1..5) is index k - 1.
constexpr int kFilterSlots = 5;
using TFiltersInChain = std::array<TFilterStruct, kFilterSlots>;

}  // namespace kv
