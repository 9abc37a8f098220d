// The text kavello-probe prints for an opened engine.
#pragma once

#include <string>

namespace kv {
class TCOMPlay;
}

namespace kv::probe {

// "Key: value" lines for the engine's fields, then one block per filter in the graph:
//   Filter "Splitter"
//     in  "Input" <- "Source"."Output"
//     out "Video 0" -> "Statistics Filter"."In"
std::string Report(TCOMPlay& engine);

// The media information texts the player's "Media properties" window shows for the open
// file, as "Label: value" lines.
std::string MediaTexts(TCOMPlay& engine);

// A file name resolved against the working directory.
std::string AbsolutePath(const std::string& name);

}  // namespace kv::probe
