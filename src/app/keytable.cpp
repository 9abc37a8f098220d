#include "app/keytable.h"

namespace kv::keys {

CharCommand ClassifyChar(int code) {
  if (code >= 'a' && code <= 'z') code -= 'a' - 'A';
  if (code > 'Z' || code < 0) return CharCommand::None;
  switch (code) {
    case '*': return CharCommand::Mute;
    case 'F': return CharCommand::Fullscreen;
    case 'O': return CharCommand::AlwaysOnTop;
    case 'K': return CharCommand::AspectOriginal;
    case 'L': return CharCommand::Aspect43;
    case 'J': return CharCommand::AspectNone;
    case 'M': return CharCommand::OsdMenu;
    case 'X': return CharCommand::Clock;
    case 'S': return CharCommand::SaveOrCapture;
    case 19: return CharCommand::SaveAllPages;
    case 'T': return CharCommand::Teletext;
    case 20: return CharCommand::TeletextTransparent;
    case 'D': return CharCommand::Status;
    case ' ': return CharCommand::Pause;
    case 26: return CharCommand::ZoomOff;
    case 3: return CharCommand::CropOff;
    case 'Z': return CharCommand::ZoomMode;
    case 'C': return CharCommand::CropMode;
    case '+': return CharCommand::Plus;
    case '-': return CharCommand::Minus;
    default: break;
  }
  if (code >= '0' && code <= '9') return CharCommand::Digit;
  return CharCommand::None;
}

int ArrowDirection(int virtualKey) {
  switch (virtualKey) {
    case kUp: return 0;
    case kLeft: return 1;
    case kRight: return 2;
    case kDown: return 3;
    default: return -1;
  }
}

}  // namespace kv::keys
