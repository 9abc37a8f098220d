// The plug-in chain as the chain dialog edits it: the descriptor files on offer, their
// descriptions, and the slot operations (fill the first free slot, remove a slot and close
// the gap). Pure C++, no Qt; the dialog (pluginsform.h) calls these and holds no logic.
//
// Descriptors are "<folder>/<name>.vid" (video) or "<name>.aud" (audio), INI text:
//   [Main] Name = friendly name of the registered filter, NeedCapturePin = 0/1 (video)
//   [Description] <language> = one line of description
// A missing or damaged descriptor reads as empty: an empty Name (the engine then reports
// the filter as not found and skips it), NeedCapturePin false, no description.
#pragma once

#include <string>
#include <vector>

#include "settings/filterstruct.h"

namespace kv::plugins {

// Base names of the descriptors of one kind in `folder`, sorted without regard to case.
// A missing folder gives an empty list.
std::vector<std::string> ListPlugins(const std::string& folder, bool video);

// The descriptor file of a base name ("" for a name that would leave the folder).
std::string DescriptorPath(const std::string& folder, const std::string& name, bool video);

// The description in `language`, else the "English" one, else empty.
std::string PluginDescription(const std::string& descriptorPath, const std::string& language);

// Fills the first free slot with the plug-in `name` (Name and NeedCapturePin read from its
// descriptor; NeedCapturePin false for audio). False, chain unchanged, when all are used.
bool AddToChain(TFiltersInChain& chain, const std::string& folder, const std::string& name, bool video);

// Removes slot `index` (0-based) and moves the later slots down; the last slot is freed.
void RemoveFromChain(TFiltersInChain& chain, int index);

}  // namespace kv::plugins
