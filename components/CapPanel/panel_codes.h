// The control panel's copy of the protocol numbers (PROTOCOL.md describes each one). The
// panel shares no code with the player: these numbers are the whole contract.
#pragma once

#include <cstdint>

namespace kv::cappanel {

// Commands the player sends (Command export).
enum Command : int32_t {
  kOnTop = 37,
  kPlacement = 38,
  kRegistryRoot = 50,
  kPosition = 259,
  kPictureSize = 260,
  kFrameRate = 261,
  kFileSizeKiB = 262,
  kFreeSpaceKiB = 263,
  kRemaining = 264,
  kSampleRate = 272,
  kChannels = 273,
  kBitsPerSample = 274,
  kPercent = 275,
  kVideoFormat = 276,
  kVideoCodec = 277,
  kAudioCodec = 278,
  kFileName = 279,
  kVideoBitrate = 280,
  kVideoCurrentBitrate = 281,
  kAudioBitrate = 288,
  kAudioCurrentBitrate = 289,
  kDuration = 290,
};

// Requests the panel makes through the player's callback.
enum Request : int32_t {
  kExit = 32,
  kClosed = 33,
  kRequestOnTop = 37,
  kStop = 258,
  kPause = 259,
  kPlay = 260,
  kNext = 261,
  kPrevious = 262,
  kSeek = 265,
  kProperties = 273,
  kMinimize = 769,
  kFullscreen = 770,
  kMute = 784,
};

// The callback's signature: code, addresses of A and B, address of a data pointer.
using TPlayerCallback = bool (*)(int32_t code, int32_t* a, int32_t* b, void** data);

}  // namespace kv::cappanel
