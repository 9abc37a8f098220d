// The filter modules built into the program, registered with the class registry at start
// (the program and the tools call this once, before the engine is created), followed by the
// modules found in the program's Components/Filters/ folder.
#pragma once

#include <string>

namespace kv {

// Registers every built-in filter class; with `sound` false the PulseAudio renderers and
// their device category are left out (tools that never play sound). Safe to call once.
void RegisterBuiltinFilters(bool sound);

// Loads Components/Filters/*.so of the program directory; returns how many registered.
int LoadComponentFilters(const std::string& programDir);

}  // namespace kv
