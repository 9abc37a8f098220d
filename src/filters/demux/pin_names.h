// Names of the demultiplexer's output pins.
//
// The engine lists streams by pin name and selects an audio stream by its exact name, so
// every name is unique within a filter: "Video", "Audio", "Teletext", then "Audio 2",
// "Audio 3" for further streams of a kind, followed by " - title" and " [language]" when
// the file tags the stream with them ("Audio 2 - Commentary [eng]"). Pure function.
#pragma once

#include <string>
#include <vector>

namespace kv::demux {

enum class TStreamKind { Video, Audio, Teletext };

struct TStreamLabel {
  TStreamKind kind;
  std::string title;     // may be empty
  std::string language;  // ISO 639 code as tagged, may be empty
};

std::vector<std::string> MakePinNames(const std::vector<TStreamLabel>& streams);

}  // namespace kv::demux
