#include "app/panel_bridge.h"

#include <sys/statvfs.h>

#include <cmath>
#include <limits>

namespace kv::panel {

bool IsKnownRequest(int32_t code) {
  switch (code) {
    case kRequestExit: case kRequestClosed: case kRequestOnTop: case kRequestStop:
    case kRequestPause: case kRequestPlay: case kRequestNext: case kRequestPrevious:
    case kRequestSeek: case kRequestProperties: case kRequestMinimize:
    case kRequestFullscreen: case kRequestMute:
      return true;
    default:
      return false;
  }
}

std::string PanelLibraryPath(bool debugMode) {
  return debugMode ? "Components/CapPanel/CapPanel.so" : "Components/CapPanel.so";
}

int32_t PackPair(int32_t high, int32_t low) {
  const uint32_t packed = static_cast<uint32_t>(high) * 65536u + static_cast<uint32_t>(low);
  return static_cast<int32_t>(packed);
}

void UnpackPair(int32_t packed, int32_t* high, int32_t* low) {
  const int32_t l = static_cast<int16_t>(static_cast<uint32_t>(packed) & 0xFFFFu);
  *low = l;
  *high = static_cast<int32_t>((static_cast<int64_t>(packed) - l) / 65536);
}

bool FrameRateValue(double fps, int32_t* value) {
  if (!std::isfinite(fps) || fps < 0 || fps >= 32768.0) return false;
  const double whole = std::trunc(fps);
  const int32_t fraction = static_cast<int32_t>((fps - whole) * 1000.0);
  *value = static_cast<int32_t>(whole) * 65536 + fraction;
  return true;
}

int32_t RoundKiB(int64_t bytes) {
  const double kib = std::nearbyint(static_cast<double>(bytes) / 1024.0);
  if (kib >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (kib <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(kib);
}

int32_t PercentHundredths(double percent) {
  if (!std::isfinite(percent)) return 0;
  return static_cast<int32_t>(std::nearbyint(percent * 100.0));
}

int64_t FreeBytesFor(const std::string& fileName) {
  std::string dir = ".";
  const size_t slash = fileName.rfind('/');
  if (slash != std::string::npos) dir = slash == 0 ? "/" : fileName.substr(0, slash);
  struct statvfs fs {};
  if (statvfs(dir.c_str(), &fs) != 0) return 0;
  return static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
}

namespace {
TPanelCommand Value(int32_t code, int32_t a) { return TPanelCommand{code, a, 0, false, {}}; }
TPanelCommand Text(int32_t code, const std::string& text) { return TPanelCommand{code, 0, 0, true, text}; }
}  // namespace

std::vector<TPanelCommand> MediaInfoCommands(const TMediaInfo& in) {
  TMediaInfo none;
  const TMediaInfo& i = in.open ? in : none;
  std::vector<TPanelCommand> out;
  out.push_back(Value(kPictureSize, PackPair(i.nativeWidth, i.nativeHeight)));
  int32_t rate = 0;
  if (FrameRateValue(i.frameRate, &rate)) out.push_back(Value(kFrameRate, rate));
  out.push_back(Value(kFileSizeKiB, RoundKiB(i.fileSize)));
  out.push_back(Value(kFreeSpaceKiB, RoundKiB(i.freeBytes)));
  out.push_back(Value(kSampleRate, i.sampleRate));
  out.push_back(Value(kChannels, i.channels));
  out.push_back(Value(kBitsPerSample, i.bitsPerSample));
  out.push_back(Text(kVideoFormat, i.videoFormatName));
  out.push_back(Text(kVideoCodec, i.videoCodec));
  out.push_back(Text(kAudioCodec, i.audioCodec));
  out.push_back(Text(kFileName, i.fileName));
  out.push_back(Value(kDuration, i.durationMs / 100));
  return out;
}

std::vector<TPanelCommand> PositionCommands(bool usable, int32_t positionMs, int32_t durationMs,
                                            double percent) {
  if (!usable) return {Value(kPercent, 0), Value(kPosition, 0), Value(kRemaining, 0)};
  return {Value(kPercent, PercentHundredths(percent)), Value(kPosition, positionMs / 100),
          Value(kRemaining, static_cast<int32_t>((static_cast<int64_t>(durationMs) - positionMs) / 100))};
}

std::vector<TPanelCommand> BitrateCommands(int32_t video, int32_t videoCurrent, int32_t audio,
                                           int32_t audioCurrent) {
  std::vector<TPanelCommand> out;
  const struct { int32_t code, bps; } rates[] = {{kVideoBitrate, video},
                                                  {kVideoCurrentBitrate, videoCurrent},
                                                  {kAudioBitrate, audio},
                                                  {kAudioCurrentBitrate, audioCurrent}};
  for (const auto& r : rates)
    if (r.bps > 0) out.push_back(Value(r.code, r.bps / 1000));
  return out;
}

std::vector<TPanelCommand> BlankBitrateCommands() {
  return {Value(kVideoBitrate, -1), Value(kAudioBitrate, -1), Value(kVideoCurrentBitrate, -1),
          Value(kAudioCurrentBitrate, -1)};
}

TPanelCommand PlacementCommand(int32_t left, int32_t top, int32_t width, int32_t height) {
  return TPanelCommand{kPlacement, PackPair(left, top), PackPair(width, height), false, {}};
}

}  // namespace kv::panel
