// The player's single-key commands: which character or key does what. Pure logic: the main
// window's event filter turns Qt key events into these codes, runs the command it is told and
// lets one key message act only once (mainform_input.cpp).
#pragma once

#include <cstdint>

namespace kv::keys {

// Virtual-key codes of the keys the key-down table looks at.
enum VirtualKey : int {
  kControl = 17,
  kLeft = 37,
  kUp = 38,
  kRight = 39,
  kDown = 40,
  kAdd = 107,       // keypad plus
  kSubtract = 109,  // keypad minus
};

enum class CharCommand {
  None,            // not handled: the character passes on
  Mute,            // "*"
  Fullscreen,      // "F"
  AlwaysOnTop,     // "O"
  AspectOriginal,  // "K"
  Aspect43,        // "L"
  AspectNone,      // "J"
  OsdMenu,         // "M"
  Clock,           // "X"
  SaveOrCapture,   // "S"
  SaveAllPages,    // Control+S
  Teletext,        // "T"
  TeletextTransparent,  // Control+T
  Status,          // "D"
  Pause,           // space
  ZoomOff,         // Control+Z
  CropOff,         // Control+C
  ZoomMode,        // "Z"
  CropMode,        // "C"
  Plus,            // "+"
  Minus,           // "-"
  Digit,           // "0".."9"
};

// Upper-cases the code and looks it up; codes above "Z" after upper-casing are not handled.
CharCommand ClassifyChar(int code);

// The OSD direction code of an arrow key (0 up, 1 left, 2 right, 3 down), -1 for others.
int ArrowDirection(int virtualKey);

}  // namespace kv::keys
