// The media information texts: what the "Media properties" window shows about the current
// title (name, size, length, picture, frame rate, audio format) and the number formats of
// each. Pure logic, no Qt: the main window reads the engine into TMediaValues, calls
// FillVideoTexts / FillAudioTexts, and hands the texts to the window; the control panel
// bridge reads the same texts and the file size and duration.
// Threads: none of its own; plain functions of their arguments.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace kv::mediainfo {

// The labels of the media properties window, each "?" when unknown.
struct TMediaTexts {
  std::string MediaName = "?";
  std::string MediaSize = "?";
  std::string MediaLength = "?";
  std::string VideoSize = "?";
  std::string Framerate = "?";
  std::string VideoCompression = "?";
  std::string AudioFreq = "?";
  std::string AudioChannels = "?";
  std::string AudioBits = "?";
  std::string AudioBitrate = "?";
  std::string AudioCompression = "?";
};

// What the engine knows of the open title (its fields of the same names).
struct TMediaValues {
  bool Opened = false;  // an engine exists and its state is neither "none" nor "empty"
  std::string FileName; // full path of the current file
  int32_t Duration = 0; // milliseconds
  int32_t VideoWidth = 0, VideoHeight = 0;
  int32_t DisplayWidth = 0, DisplayHeight = 0;
  double FrameRate = 0;
  std::string VideoCodec;
  bool HaveAudio = false;  // an engine exists
  int32_t SampleRate = 0, Channels = 0, BitsPerSample = 0, AudioBitrate = 0;
  std::string AudioCodec;
};

// 5000 -> "4 kB"; above 10 MiB whole MB; above 10 GiB GB with one decimal.
std::string FileSizeText(int64_t bytes);
// 5025042 -> "1:23:45.042"; 0 (or a negative value) -> "?".
std::string DurationText(int32_t ms);
// Divides both by the first of 2, 3, 5, 7, 11, 13, 17, 19 that divides both, until none does.
std::pair<int32_t, int32_t> ReduceRatio(int32_t width, int32_t height);
// "720x576", with " (16:9)" when the display size is known.
std::string VideoSizeText(int32_t width, int32_t height, int32_t displayWidth, int32_t displayHeight);
// 23.976 -> "23.976 fps", 25 -> "25 fps"; not positive -> "?".
std::string FrameRateText(double fps);
std::string SampleRateText(int32_t hz);       // "44100 Hz"
std::string ChannelsText(int32_t channels);   // "Mono", "Stereo", "6 channels"
std::string BitsText(int32_t bits);           // "16b"
std::string BitrateText(int32_t bitsPerSecond);  // "192kbps", "9600bps"

// The size of a file opened for reading (others may read it too); false when it cannot be
// opened or its size cannot be read.
bool ReadFileSize(const std::string& path, int64_t* size);

// The video texts (name, size, length, picture, rate, compression). *fileSize and *duration
// are the main window's fields: the file size is kept as it was when the file cannot be
// read, and so is the size text in `texts`.
void FillVideoTexts(const TMediaValues& values, TMediaTexts* texts, int64_t* fileSize, int32_t* duration);
// The five audio texts.
void FillAudioTexts(const TMediaValues& values, TMediaTexts* texts);

// The texts as "Label: value" lines in the window's order (kavello-probe prints these).
std::string TextsReport(const TMediaTexts& texts);

}  // namespace kv::mediainfo
