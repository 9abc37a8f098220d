// tOptions against the registry layout: defaults, every value read from its place, the
// derived values, the filter records and exactly the saved values.
#include "settings/optunit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <variant>

#include "settings/settings_table.h"
#include "settings_fixture.h"

namespace kv {
namespace {

using kv::settings::SettingInfo;
using kv::settings::SettingType;
using Field = std::variant<std::string, int32_t, bool, double>;
using Getter = std::function<Field(const tOptions&)>;

// Where each registry value lands in tOptions (derived values are tested on their own).
const std::map<std::string, Getter>& Fields() {
  static const std::map<std::string, Getter> fields = [] {
    std::map<std::string, Getter> m;
    auto add = [&](const char* section, const char* name, Getter g) { m[std::string(section) + "|" + name] = g; };
#define KV_FIELD(section, name, member) add(section, name, [](const tOptions& o) { return Field(o.member); })
    KV_FIELD("", "Version", Version);
    KV_FIELD("", "MultipleInst", MultipleInst);
    KV_FIELD("", "Language", Language);
    KV_FIELD("", "OpenDir", OpenDir);
    KV_FIELD("", "AssociateCheck", AssociateCheck);
    KV_FIELD("Position", "AlwaysOnTop", AlwaysOnTop);
    KV_FIELD("Position", "KeepAspectRatio", KeepAspectRatio);
    KV_FIELD("Position", "AspectRatioX", AspectRatioX);
    KV_FIELD("Position", "AspectRatioY", AspectRatioY);
    KV_FIELD("Position", "ZoomStep", ZoomStep);
    KV_FIELD("Position", "ZoomPosStep", ZoomPosStep);
    KV_FIELD("Position", "ZoomCropStep", ZoomCropStep);
    KV_FIELD("Position", "Left", Left);
    KV_FIELD("Position", "Top", Top);
    KV_FIELD("Position", "Width", Width);
    KV_FIELD("Position", "Height", Height);
    KV_FIELD("Position", "Panel", Panel);
    KV_FIELD("Display", "HideCursor", HideCursor);
    KV_FIELD("Display", "Centered", Centered);
    KV_FIELD("Display", "OSD", OSD);
    KV_FIELD("Subtitles", "FontName", FontName);
    KV_FIELD("Subtitles", "FontEnc", FontEnc);
    KV_FIELD("Subtitles", "FontSize", FontSize);
    KV_FIELD("Subtitles", "FontBorder", FontBorder);
    KV_FIELD("Subtitles", "FontBorderColor", FontBorderColor);
    KV_FIELD("Subtitles", "BlackBorder", BlackBorder);
    KV_FIELD("Subtitles", "FontColor", FontColor);
    KV_FIELD("Subtitles", "Transparent", Transparent);
    KV_FIELD("Player", "VideoRenderer", VideoRenderer);
    KV_FIELD("Player", "AudioRenderer", AudioRenderer);
    KV_FIELD("Player", "Statistics", Statistics);
    KV_FIELD("Player", "StatNoReset", StatNoReset);
    KV_FIELD("Player", "AC3WaveOut", AC3WaveOut);
    KV_FIELD("Player", "DVNTSC", DVNTSC);
    KV_FIELD("Analyze", "DisablePreview", DisablePreview);
    KV_FIELD("Analyze", "DisableImageAnalyze", DisableImageAnalyze);
    KV_FIELD("Teletext", "Directory", TeletextDirectory);
    KV_FIELD("Teletext", "SaveAs", SaveAs);
    KV_FIELD("Teletext", "Filename", Filename);
    KV_FIELD("Teletext", "AllToOne", AllToOne);
    KV_FIELD("Teletext", "Permanent", Permanent);
    KV_FIELD("Frame Capture", "Directory", CaptureDirectory);
    KV_FIELD("Frame Capture", "Quality", Quality);
#undef KV_FIELD
    add("Frame Capture", "Disable", [](const tOptions& o) { return Field(!o.CaptureEnabled); });
    for (int k = 1; k <= 5; ++k) {
      std::string name = "Filter" + std::to_string(k);
      add("VideoFilters", name.c_str(), [k](const tOptions& o) { return Field(o.VideoFilters[k - 1].FileName); });
      add("AudioFilters", name.c_str(), [k](const tOptions& o) { return Field(o.AudioFilters[k - 1].FileName); });
    }
    return m;
  }();
  return fields;
}

const Getter* FieldOf(const SettingInfo& s) {
  auto it = Fields().find(std::string(s.section) + "|" + s.name);
  return it == Fields().end() ? nullptr : &it->second;
}

Field DefaultOf(const SettingInfo& s) {
  switch (s.type) {
    case SettingType::String: return std::string(s.defaultText);
    case SettingType::Integer: return s.defaultInt;
    case SettingType::Boolean: return s.defaultInt != 0;
    case SettingType::Double: return s.defaultDouble;
  }
  return {};
}

class OptionsTest : public kv::testing::SettingsFixture {};

TEST_F(OptionsTest, FreshRegistry_givesEveryTableDefault) {
  tOptions options;
  options.LoadSettings();
  for (const SettingInfo& s : settings::SettingsTable()) {
    const Getter* get = FieldOf(s);
    if (!get) {
      EXPECT_STREQ(s.name, "ColorDepth") << "no field mapped for " << s.section << "\\" << s.name;
      continue;
    }
    EXPECT_EQ((*get)(options), DefaultOf(s)) << s.section << "\\" << s.name;
  }
  // the edge case in words: a 320 x 180 window at 100, 100 or centred, aspect from the
  // picture, control panel and OSD on, and no version (so the dialog opens at start)
  EXPECT_EQ(options.ColorDepth, kColorDepthBmp24);
  EXPECT_TRUE(options.CaptureEnabled);
  EXPECT_TRUE(options.Version.empty());
  EXPECT_TRUE(options.AssociateNames.empty());
  EXPECT_EQ(Fields().size() + 1, settings::SettingsTable().size());
}

TEST_F(OptionsTest, LoadSettings_readsEveryValueFromItsSectionAndName) {
  std::map<std::string, Field> written;
  {
    registry::TRegistry reg;
    for (const SettingInfo& s : settings::SettingsTable()) {
      Section(reg, s.section);
      Field value;
      switch (s.type) {
        case SettingType::String:
          value = std::string("v/") + s.name + "/";  // already ends with "/" for the capture folder
          reg.WriteString(s.name, std::get<std::string>(value));
          break;
        case SettingType::Integer:
          value = s.defaultInt + 7;
          reg.WriteInteger(s.name, std::get<int32_t>(value));
          break;
        case SettingType::Boolean:
          value = s.defaultInt == 0;
          reg.WriteBool(s.name, std::get<bool>(value));
          break;
        case SettingType::Double:
          value = s.defaultDouble * 3;
          reg.WriteFloat(s.name, std::get<double>(value));
          break;
      }
      written[std::string(s.section) + "|" + s.name] = value;
    }
  }
  tOptions options;
  options.LoadSettings();
  for (const SettingInfo& s : settings::SettingsTable()) {
    if (const Getter* get = FieldOf(s)) {
      EXPECT_EQ((*get)(options), written[std::string(s.section) + "|" + s.name]) << s.section << "\\" << s.name;
    }
  }
}

TEST_F(OptionsTest, ValuesOfAnotherType_readAsDefaults) {
  {
    registry::TRegistry reg;
    Section(reg, "Position").WriteString("Width", "640");
    Section(reg, "Position").WriteInteger("ZoomStep", 1);
    Section(reg, "Subtitles").WriteInteger("FontName", 3);
    Section(reg, "Display").WriteString("OSD", "0");
  }
  tOptions options;
  options.LoadSettings();
  EXPECT_EQ(options.Width, 320);
  EXPECT_EQ(options.ZoomStep, 0.25);
  EXPECT_EQ(options.FontName, "Arial");
  EXPECT_TRUE(options.OSD);
}

TEST_F(OptionsTest, DerivedCaptureValues_followTheirRules) {
  struct Row {
    std::string colorDepth;
    int32_t quality;
    std::string directory;
    int32_t expectedDepth;
    int32_t expectedQuality;
    std::string expectedDirectory;
  } rows[] = {
      {"BMP 16 bits", 100, "/home/u/Pictures", kColorDepthBmp16, 100, "/home/u/Pictures/"},
      {"JPEG", 0, "/home/u/Pictures/", kColorDepthJpeg, 75, "/home/u/Pictures/"},
      {"bmp 16 bits", 150, "", kColorDepthBmp24, 75, ""},
      {"jpeg", 1, "caps", kColorDepthBmp24, 1, "caps/"},
      {"BMP 24 bits", -5, "/", kColorDepthBmp24, 75, "/"},
  };
  for (const auto& r : rows) {
    {
      registry::TRegistry reg;
      Section(reg, "Frame Capture");
      reg.WriteString("ColorDepth", r.colorDepth);
      reg.WriteInteger("Quality", r.quality);
      reg.WriteString("Directory", r.directory);
      reg.WriteBool("Disable", true);
    }
    tOptions options;
    options.LoadSettings();
    EXPECT_EQ(options.ColorDepth, r.expectedDepth) << r.colorDepth;
    EXPECT_EQ(options.Quality, r.expectedQuality) << r.quality;
    EXPECT_EQ(options.CaptureDirectory, r.expectedDirectory) << r.directory;
    EXPECT_FALSE(options.CaptureEnabled);
  }
}

TEST_F(OptionsTest, AssociateSection_givesNamesAndFlags) {
  {
    registry::TRegistry reg;
    Section(reg, "Associate");
    reg.WriteBool("avi", true);
    reg.WriteBool("mpg", false);
    reg.WriteString("mkv", "1");  // another type reads as false
  }
  tOptions options;
  options.LoadSettings();
  EXPECT_EQ(options.AssociateNames, (std::vector<std::string>{"avi", "mpg", "mkv"}));
  EXPECT_EQ(options.AssociateFlags, (std::vector<bool>{true, false, false}));
  // loading again does not pile up names
  options.LoadSettings();
  EXPECT_EQ(options.AssociateNames.size(), 3u);
}

TEST_F(OptionsTest, FilterRecords_areCompletedFromTheDescriptors) {
  WriteProgramFile("Filters/Sharpen.vid", "[Main]\nName=Sharpen Filter\nNeedCapturePin=1\n");
  WriteProgramFile("Filters/Plain.vid", "[main]\nname=Plain Filter\n");
  WriteProgramFile("Filters/Echo.aud", "[Main]\nName=Echo\nNeedCapturePin=1\n");
  WriteProgramFile("secret.vid", "[Main]\nName=outside the Filters folder\n");
  {
    registry::TRegistry reg;
    Section(reg, "VideoFilters").WriteString("Filter1", "Sharpen");
    Section(reg, "VideoFilters").WriteString("Filter2", "Missing");
    Section(reg, "VideoFilters").WriteString("Filter3", "Plain");
    Section(reg, "VideoFilters").WriteString("Filter4", "../secret");
    Section(reg, "AudioFilters").WriteString("Filter1", "Echo");
  }
  tOptions options;
  options.LoadSettings();
  struct Row {
    const TFilterStruct& slot;
    std::string file, name;
    bool capture;
  } rows[] = {
      {options.VideoFilters[0], "Sharpen", "Sharpen Filter", true},
      {options.VideoFilters[1], "Missing", "", false},
      {options.VideoFilters[2], "Plain", "Plain Filter", false},
      {options.VideoFilters[3], "../secret", "", false},
      {options.VideoFilters[4], "", "", false},
      {options.AudioFilters[0], "Echo", "Echo", false},  // never a capture pin for audio
      {options.AudioFilters[1], "", "", false},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(r.slot.FileName, r.file);
    EXPECT_EQ(r.slot.Name, r.name) << r.file;
    EXPECT_EQ(r.slot.NeedCapturePin, r.capture) << r.file;
  }
}

TEST_F(OptionsTest, SaveSettings_writesExactlyTheSavedValues) {
  tOptions options;
  options.LoadSettings();
  options.AspectRatioX = 0;  // after the "Original" aspect command
  options.AspectRatioY = 0;
  options.VideoRenderer = "Video Renderer";  // what the engine chose
  options.AudioRenderer = "PulseAudio Renderer";
  options.VideoFilters[0].FileName = "Sharpen";
  options.Left = -20;
  options.OpenDir = "/home/u/Videos";
  options.FontSize = 99;  // read-only values are never written
  options.Version = "9";
  ASSERT_TRUE(options.SaveSettings());

  registry::TRegistry reg;
  for (const SettingInfo& s : settings::SettingsTable()) {
    Section(reg, s.section);
    EXPECT_EQ(reg.ValueExists(s.name), s.saved) << s.section << "\\" << s.name;
  }
  Section(reg, "Position");
  EXPECT_EQ(reg.ReadInteger("AspectRatioX"), 0);
  EXPECT_EQ(reg.ReadInteger("AspectRatioY"), 0);
  EXPECT_EQ(reg.ReadInteger("Left"), -20);
  EXPECT_EQ(reg.GetDataType("Panel"), registry::ValueType::DWord);
  Section(reg, "Player");
  EXPECT_EQ(reg.ReadString("VideoRenderer"), "Video Renderer");
  EXPECT_EQ(reg.ReadString("AudioRenderer"), "PulseAudio Renderer");
  Section(reg, "VideoFilters");
  EXPECT_EQ(reg.ReadString("Filter1"), "Sharpen");
  EXPECT_EQ(reg.ReadString("Filter2"), "");
}

TEST_F(OptionsTest, SaveSettings_keepsWhatTheOptionsLibraryWroteMeanwhile) {
  tOptions options;
  options.LoadSettings();
  {
    registry::TRegistry other;  // the options library, or a second instance
    Section(other, "").WriteString("Version", "2.3.0.0");
    Section(other, "Subtitles").WriteInteger("FontSize", 22);
  }
  options.Width = 640;
  ASSERT_TRUE(options.SaveSettings());
  options.LoadSettings();
  EXPECT_EQ(options.Version, "2.3.0.0");
  EXPECT_EQ(options.FontSize, 22);
  EXPECT_EQ(options.Width, 640);
}

TEST_F(OptionsTest, UnusableRegistryFile_givesDefaultsAndAFailedSave) {
  std::filesystem::create_directories(registry::HivePath(registry::Hive::CurrentUser));  // a folder, not a file
  tOptions options;
  options.LoadSettings();
  EXPECT_EQ(options.Width, 320);
  EXPECT_EQ(options.Language, "English");
  EXPECT_TRUE(options.AssociateNames.empty());
  EXPECT_FALSE(options.SaveSettings());
}

TEST_F(OptionsTest, LoadSettings_createsTheSections) {
  tOptions options;
  options.LoadSettings();
  registry::TRegistry reg;
  for (const char* section : {"Position", "Display", "Subtitles", "Player", "Analyze", "VideoFilters",
                              "AudioFilters", "Teletext", "Frame Capture", "Associate"}) {
    EXPECT_TRUE(reg.KeyExists(std::string("Software\\Tessaland\\Kavello\\") + section)) << section;
  }
  EXPECT_NE(HiveText().find("[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Frame Capture]"), std::string::npos);
}

}  // namespace
}  // namespace kv
