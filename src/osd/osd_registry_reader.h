// The production source of the OSD layout values: the current user's registry key that the
// main window names (TOSD::RegistryKey). Opened read-only; a missing key reads as "every
// value missing", so the defaults apply and nothing is created or written.
#pragma once

#include <memory>
#include <string>

#include "osd/osd_layout_values.h"

namespace kv::osd {

// A reader over `keyPath` of the current-user hive. Never null. When the program was built
// without the registry library every value reads as missing.
std::unique_ptr<IOsdValueReader> MakeRegistryValueReader(const std::string& keyPath);

}  // namespace kv::osd
