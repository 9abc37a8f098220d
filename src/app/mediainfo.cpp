#include "app/mediainfo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

namespace kv::mediainfo {

namespace {
constexpr int64_t kKiB = 1024;
constexpr int64_t kMiB = 1048576;
constexpr int64_t kGiB = 1073741824;

std::string BaseName(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

std::string FileSizeText(int64_t bytes) {
  if (bytes > 10 * kGiB) {
    char text[64];
    std::snprintf(text, sizeof text, "%.1f GB", static_cast<double>(bytes) / static_cast<double>(kGiB));
    return text;
  }
  if (bytes > 10 * kMiB) return std::to_string(bytes / kMiB) + " MB";
  return std::to_string(bytes / kKiB) + " kB";
}

std::string DurationText(int32_t ms) {
  if (ms <= 0) return "?";
  char text[64];
  std::snprintf(text, sizeof text, "%d:%02d:%02d.%03d", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
  return text;
}

std::pair<int32_t, int32_t> ReduceRatio(int32_t width, int32_t height) {
  static constexpr int32_t kDivisors[] = {2, 3, 5, 7, 11, 13, 17, 19};
  for (;;) {
    bool divided = false;
    for (int32_t d : kDivisors) {
      if (width % d == 0 && height % d == 0) {
        width /= d;
        height /= d;
        divided = true;
        break;
      }
    }
    if (!divided) return {width, height};
  }
}

std::string VideoSizeText(int32_t width, int32_t height, int32_t displayWidth, int32_t displayHeight) {
  std::string text = std::to_string(width) + "x" + std::to_string(height);
  if (displayWidth > 0 && displayHeight > 0) {
    auto [x, y] = ReduceRatio(displayWidth, displayHeight);
    text += " (" + std::to_string(x) + ":" + std::to_string(y) + ")";
  }
  return text;
}

std::string FrameRateText(double fps) {
  if (!(fps > 0)) return "?";
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.4f", fps);
  std::string text = buffer;
  while (text.size() > 1 && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text + " fps";
}

std::string SampleRateText(int32_t hz) { return hz != 0 ? std::to_string(hz) + " Hz" : "?"; }

std::string ChannelsText(int32_t channels) {
  switch (channels) {
    case 0: return "?";
    case 1: return "Mono";
    case 2: return "Stereo";
    default: return std::to_string(channels) + " channels";
  }
}

std::string BitsText(int32_t bits) { return bits >= 1 ? std::to_string(bits) + "b" : "?"; }

std::string BitrateText(int32_t bitsPerSecond) {
  if (bitsPerSecond > 10000) return std::to_string(bitsPerSecond / 1000) + "kbps";
  if (bitsPerSecond >= 1) return std::to_string(bitsPerSecond) + "bps";
  return "?";
}

bool ReadFileSize(const std::string& path, int64_t* size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  if (ok) *size = static_cast<int64_t>(st.st_size);
  return ok;
}

void FillVideoTexts(const TMediaValues& v, TMediaTexts* texts, int64_t* fileSize, int32_t* duration) {
  if (!v.Opened) {
    texts->MediaName = texts->MediaSize = texts->MediaLength = "?";
    texts->VideoCompression = texts->VideoSize = texts->Framerate = "?";
    return;
  }
  texts->MediaName = BaseName(v.FileName);
  int64_t size = 0;
  if (ReadFileSize(v.FileName, &size)) {
    *fileSize = size;
    texts->MediaSize = FileSizeText(size);
  }
  *duration = v.Duration;
  texts->MediaLength = DurationText(v.Duration);
  texts->VideoSize = VideoSizeText(v.VideoWidth, v.VideoHeight, v.DisplayWidth, v.DisplayHeight);
  texts->Framerate = FrameRateText(v.FrameRate);
  texts->VideoCompression = v.VideoCodec;
}

void FillAudioTexts(const TMediaValues& v, TMediaTexts* texts) {
  if (!v.HaveAudio) {
    texts->AudioFreq = texts->AudioChannels = texts->AudioBits = texts->AudioBitrate = texts->AudioCompression = "?";
    return;
  }
  texts->AudioFreq = SampleRateText(v.SampleRate);
  texts->AudioChannels = ChannelsText(v.Channels);
  texts->AudioBits = BitsText(v.BitsPerSample);
  texts->AudioBitrate = BitrateText(v.AudioBitrate);
  texts->AudioCompression = v.AudioCodec.empty() ? "?" : v.AudioCodec;
}

std::string TextsReport(const TMediaTexts& t) {
  std::string out;
  auto add = [&](const char* label, const std::string& value) { out += std::string(label) + ": " + value + "\n"; };
  add("Name", t.MediaName);
  add("Size", t.MediaSize);
  add("Length", t.MediaLength);
  add("Video size", t.VideoSize);
  add("Frame rate", t.Framerate);
  add("Video compression", t.VideoCompression);
  add("Audio frequency", t.AudioFreq);
  add("Audio channels", t.AudioChannels);
  add("Audio bits", t.AudioBits);
  add("Audio bitrate", t.AudioBitrate);
  add("Audio compression", t.AudioCompression);
  return out;
}

}  // namespace kv::mediainfo
