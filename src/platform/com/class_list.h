// A filter module's class list: what its KavelloRegisterFilters registers, written beside
// the module at build time ("teletext.so" -> "teletext.classes") by kavello-modclasses.
//
// With a list at hand the registry registers the classes without loading the module and
// loads it when one of them is first created (LoadFilterModules): a module used by few
// files (teletext, the effect plug-ins) then costs a run that never uses it nothing. A
// module without a list, or with a list older than itself, is loaded at start as before.
//
// Text form, one item per line: "kavello-classes 1", then per class
//   class {CLSID} MERIT(hex) FRIENDLY NAME
//   category {GUID}            (each category, in order)
//   in {MAJOR} {SUB}           (each input pin type)
//   out {MAJOR} {SUB}          (each output pin type)
// Pure logic, any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/com/class_registry.h"

namespace kv {

// The list's text for these registrations (their factories are not part of it).
std::string FormatClassList(const std::vector<TClassRegistration>& classes);
// The registrations a list describes (no factories); nullopt when the text is not a
// well-formed list of this version.
std::optional<std::vector<TClassRegistration>> ParseClassList(const std::string& text);

// "DIR/NAME.classes" for "DIR/NAME.so".
std::string ClassListPath(const std::string& modulePath);
// The module's class list when there is one at least as new as the module and it parses.
std::optional<std::vector<TClassRegistration>> FreshClassList(const std::string& modulePath);

}  // namespace kv
