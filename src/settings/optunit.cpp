#include "settings/optunit.h"

#include "debugsup/debugsup.h"
#include "platform/ini/ini_file.h"
#include "platform/module/program_directory.h"
#include "settings/settings_table.h"

namespace kv {

std::unique_ptr<tOptions> Options;

namespace st = kv::settings;

std::string NormalizeCaptureDirectory(const std::string& directory) {
  if (directory.empty() || directory.back() == '/') return directory;
  return directory + "/";
}

int32_t ColorDepthCode(const std::string& text) {
  if (text == "BMP 16 bits") return kColorDepthBmp16;
  if (text == "JPEG") return kColorDepthJpeg;
  return kColorDepthBmp24;
}

int32_t NormalizeQuality(int32_t quality) { return (quality < 1 || quality > 100) ? 75 : quality; }

tOptions::tOptions() {
  // Damaged lines of the registry file are worth a line in the trace.
  registry::SetDiagnosticHook([](const std::string& line) { Debug.TextOut(line); });
}

tOptions::~tOptions() = default;

void tOptions::OpenSection(const char* section) {
  registry_.CloseKey();
  sectionOpen_ = registry_.OpenKey(st::SectionKey(section), true);
}

std::string tOptions::ReadString(const std::string& name, const std::string& def) {
  return sectionOpen_ ? registry_.ReadString(name).value_or(def) : def;
}

int32_t tOptions::ReadInteger(const std::string& name, int32_t def) {
  return sectionOpen_ ? registry_.ReadInteger(name).value_or(def) : def;
}

bool tOptions::ReadBool(const std::string& name, bool def) {
  return sectionOpen_ ? registry_.ReadBool(name).value_or(def) : def;
}

double tOptions::ReadFloat(const std::string& name, double def) {
  return sectionOpen_ ? registry_.ReadFloat(name).value_or(def) : def;
}

void tOptions::LoadSettings() {
  // Sections created on the way are stored in one file update at the end.
  registry_.BeginUpdate();
  LoadWindowSections();
  LoadPlaybackSections();
  LoadFilterChain(st::kVideoFilters, VideoFilters);
  LoadFilterChain(st::kAudioFilters, AudioFilters);
  LoadSavingSections();
  LoadAssociations();
  registry_.CloseKey();
  registry_.EndUpdate();
  CompleteFilterRecords();
}

void tOptions::LoadWindowSections() {
  OpenSection(st::kRootSection);
  Version = ReadString("Version", "");
  MultipleInst = ReadBool("MultipleInst", false);
  Language = ReadString("Language", "English");
  OpenDir = ReadString("OpenDir", "");
  AssociateCheck = ReadBool("AssociateCheck", false);

  OpenSection(st::kPosition);
  AlwaysOnTop = ReadBool("AlwaysOnTop", false);
  KeepAspectRatio = ReadBool("KeepAspectRatio", true);
  AspectRatioX = ReadInteger("AspectRatioX", 0);
  AspectRatioY = ReadInteger("AspectRatioY", 0);
  ZoomStep = ReadFloat("ZoomStep", 0.25);
  ZoomPosStep = ReadInteger("ZoomPosStep", 5);
  ZoomCropStep = ReadInteger("ZoomCropStep", 5);
  Left = ReadInteger("Left", 100);
  Top = ReadInteger("Top", 100);
  Width = ReadInteger("Width", 320);
  Height = ReadInteger("Height", 180);
  Panel = ReadBool("Panel", true);

  OpenSection(st::kDisplay);
  HideCursor = ReadBool("HideCursor", true);
  Centered = ReadBool("Centered", true);
  OSD = ReadBool("OSD", true);
}

void tOptions::LoadPlaybackSections() {
  OpenSection(st::kSubtitles);
  FontName = ReadString("FontName", "Arial");
  FontEnc = ReadInteger("FontEnc", 0);
  FontSize = ReadInteger("FontSize", 15);
  FontBorder = ReadBool("FontBorder", false);
  FontBorderColor = ReadInteger("FontBorderColor", 0);
  BlackBorder = ReadBool("BlackBorder", true);
  FontColor = ReadInteger("FontColor", 16777215);
  Transparent = ReadBool("Transparent", true);

  OpenSection(st::kPlayer);
  VideoRenderer = ReadString("VideoRenderer", "");
  AudioRenderer = ReadString("AudioRenderer", "");
  Statistics = ReadBool("Statistics", true);
  StatNoReset = ReadBool("StatNoReset", true);
  AC3WaveOut = ReadBool("AC3WaveOut", true);
  DVNTSC = ReadBool("DVNTSC", false);

  OpenSection(st::kAnalyze);
  DisablePreview = ReadBool("DisablePreview", false);
  DisableImageAnalyze = ReadBool("DisableImageAnalyze", false);
}

void tOptions::LoadSavingSections() {
  OpenSection(st::kTeletext);
  TeletextDirectory = ReadString("Directory", "");
  SaveAs = ReadInteger("SaveAs", 0);
  Filename = ReadInteger("Filename", 0);
  AllToOne = ReadBool("AllToOne", false);
  Permanent = ReadBool("Permanent", false);

  OpenSection(st::kFrameCapture);
  CaptureEnabled = !ReadBool("Disable", false);
  CaptureDirectory = NormalizeCaptureDirectory(ReadString("Directory", ""));
  ColorDepth = ColorDepthCode(ReadString("ColorDepth", ""));
  Quality = NormalizeQuality(ReadInteger("Quality", 75));
}

void tOptions::LoadFilterChain(const char* section, TFiltersInChain& chain) {
  OpenSection(section);
  for (int k = 1; k <= kFilterSlots; ++k) {
    chain[k - 1].FileName = ReadString("Filter" + std::to_string(k), "");
  }
}

void tOptions::LoadAssociations() {
  OpenSection(st::kAssociate);
  AssociateNames.clear();
  if (sectionOpen_) AssociateNames = registry_.GetValueNames();
  AssociateFlags.assign(AssociateNames.size(), false);
  for (size_t i = 0; i < AssociateNames.size(); ++i) {
    AssociateFlags[i] = ReadBool(AssociateNames[i], false);
  }
}

namespace {

// The descriptor of a plug-in; a name that would leave the Filters folder names none.
std::string DescriptorPath(const std::string& fileName, const char* extension) {
  if (fileName.find('/') != std::string::npos || fileName == "." || fileName == "..") return {};
  return ProgramPath(std::string("Filters/") + fileName + extension);
}

}  // namespace

void tOptions::CompleteFilterRecords() {
  for (int i = 0; i < kFilterSlots; ++i) {
    TFilterStruct& video = VideoFilters[i];
    video.Name.clear();
    video.NeedCapturePin = false;
    if (!video.FileName.empty()) {
      std::string path = DescriptorPath(video.FileName, ".vid");
      if (!path.empty()) {
        ini::TIniFile descriptor(path);
        video.Name = descriptor.ReadString("Main", "Name", "");
        video.NeedCapturePin = descriptor.ReadBool("Main", "NeedCapturePin", false);
      }
    }
    TFilterStruct& audio = AudioFilters[i];
    audio.Name.clear();
    audio.NeedCapturePin = false;
    if (!audio.FileName.empty()) {
      std::string path = DescriptorPath(audio.FileName, ".aud");
      if (!path.empty()) audio.Name = ini::TIniFile(path).ReadString("Main", "Name", "");
    }
  }
}

bool tOptions::SaveSettings() {
  bool ok = true;
  auto open = [&](const char* section) {
    registry_.CloseKey();
    ok = registry_.OpenKey(st::SectionKey(section), true) && ok;
  };
  auto str = [&](const std::string& name, const std::string& value) { ok = registry_.WriteString(name, value) && ok; };
  auto num = [&](const std::string& name, int32_t value) { ok = registry_.WriteInteger(name, value) && ok; };
  auto flag = [&](const std::string& name, bool value) { ok = registry_.WriteBool(name, value) && ok; };

  registry_.BeginUpdate();  // one file update for all of them
  open(st::kRootSection);
  str("OpenDir", OpenDir);

  open(st::kPosition);
  num("Left", Left);
  num("Top", Top);
  num("Width", Width);
  num("Height", Height);
  flag("AlwaysOnTop", AlwaysOnTop);
  flag("KeepAspectRatio", KeepAspectRatio);
  num("AspectRatioX", AspectRatioX);
  num("AspectRatioY", AspectRatioY);
  flag("Panel", Panel);

  open(st::kPlayer);
  str("VideoRenderer", VideoRenderer);
  str("AudioRenderer", AudioRenderer);

  open(st::kVideoFilters);
  for (int k = 1; k <= kFilterSlots; ++k) str("Filter" + std::to_string(k), VideoFilters[k - 1].FileName);
  open(st::kAudioFilters);
  for (int k = 1; k <= kFilterSlots; ++k) str("Filter" + std::to_string(k), AudioFilters[k - 1].FileName);

  registry_.CloseKey();
  return registry_.EndUpdate() && ok;
}

}  // namespace kv
