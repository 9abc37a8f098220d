// The control panel protocol, the player's side: command and request codes, how values are
// packed into the two 32-bit numbers, and the lists of commands for the media information,
// the position and the bitrates. Pure logic without Qt, tested directly; the main window
// (mainform_panel.cpp) sends what these functions build through TPanelLibrary.
// Threads: none of its own; plain functions of their arguments (FreeBytesFor reads the file
// system).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv::panel {

// Commands from the player to the panel.
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

// Requests from the panel to the player (the callback's codes).
enum Request : int32_t {
  kRequestExit = 32,
  kRequestClosed = 33,
  kRequestOnTop = 37,
  kRequestStop = 258,
  kRequestPause = 259,
  kRequestPlay = 260,
  kRequestNext = 261,
  kRequestPrevious = 262,
  kRequestSeek = 265,
  kRequestProperties = 273,
  kRequestMinimize = 769,
  kRequestFullscreen = 770,
  kRequestMute = 784,
};

// True for the request codes the player understands.
bool IsKnownRequest(int32_t code);

// The registry root the panel keeps its own values under.
inline constexpr const char* kRegistryRootText = "Software\\Tessaland\\Kavello";

// The library file, relative to the program directory: the one under its own folder with
// the debug switch.
std::string PanelLibraryPath(bool debugMode);
inline constexpr const char* kAboutLibraryPath = "Components/About.so";

// One command as it crosses to the panel; hasText sends `text` instead of B's use.
struct TPanelCommand {
  int32_t code = 0;
  int32_t a = 0;
  int32_t b = 0;
  bool hasText = false;
  std::string text;
  bool operator==(const TPanelCommand&) const = default;
};

// high x 65536 + low in 32 bits (wrapping like the platform's integer arithmetic, so a
// window left of the screen still packs).
int32_t PackPair(int32_t high, int32_t low);
// Splits a packed pair again (the panel's side; low is the signed low half).
void UnpackPair(int32_t packed, int32_t* high, int32_t* low);

// Frame rate as whole frames x 65536 + the fraction x 1000, both truncated. False when the
// rate cannot be converted (not a number, infinite, negative or too large): then no command.
bool FrameRateValue(double framesPerSecond, int32_t* value);

// Round(bytes / 1024), halves to even, limited to the 32-bit range.
int32_t RoundKiB(int64_t bytes);

// Round(percent x 100), halves to even.
int32_t PercentHundredths(double percent);

// Free bytes on the file system that holds `fileName` (its folder); a name without a folder
// asks for the current directory. 0 when it cannot be read.
int64_t FreeBytesFor(const std::string& fileName);

// What the main window knows of the open title.
struct TMediaInfo {
  bool open = false;  // an engine whose state is neither none nor empty
  int32_t nativeWidth = 0, nativeHeight = 0;
  double frameRate = 0;
  int64_t fileSize = 0;
  int64_t freeBytes = 0;
  int32_t sampleRate = 0, channels = 0, bitsPerSample = 0;
  std::string videoFormatName, videoCodec, audioCodec, fileName;
  int32_t durationMs = 0;
};

// The media information commands in sending order (260 ... 290). Without an open title the
// texts are empty and the numbers 0.
std::vector<TPanelCommand> MediaInfoCommands(const TMediaInfo& info);

// Position commands 275, 259, 264. Without a usable engine (usable false) all three carry 0.
std::vector<TPanelCommand> PositionCommands(bool usable, int32_t positionMs, int32_t durationMs,
                                            double percent);

// The statistics timer's bitrates (bits per second): each one greater than 0 as kbit/s with
// its code (280, 281, 288, 289); the others are not sent.
std::vector<TPanelCommand> BitrateCommands(int32_t video, int32_t videoCurrent, int32_t audio,
                                           int32_t audioCurrent);

// The four displays blanked (value -1): 280, 288, 281, 289, as after an open.
std::vector<TPanelCommand> BlankBitrateCommands();

// The placement command 38 for a window rectangle.
TPanelCommand PlacementCommand(int32_t left, int32_t top, int32_t width, int32_t height);

}  // namespace kv::panel
