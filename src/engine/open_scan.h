// The state of one OpenVideo pin scan, shared by the open, video-chain and audio-chain
// files of the engine. Internal to the engine.
#pragma once

#include <string>

namespace kv {

struct TOpenScan {
  std::string fileName;
  bool videoConnected = false;
  bool audioConnected = false;
  // No audio output could be made for this file: the remaining audio pins are listed only.
  bool audioImpossible = false;
  int vbiPin = -1;
  std::string pinName;  // the current video pin's name
};

}  // namespace kv
