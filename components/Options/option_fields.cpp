#include "option_fields.h"

#include <iterator>
#include <tuple>

#include "osd/osd_layout_values.h"

namespace kv::options {

namespace {

constexpr const char* kTabs[] = {"General",   "Window",        "Display and OSD", "Subtitles", "Player",
                                 "Analysis",  "Frame capture", "Teletext",        kAssociationsTab};

using K = EditorKind;

OptionField Kind(const char* tab, const char* section, const char* name, const char* label, EditorKind kind) {
  OptionField f;
  f.tab = tab;
  f.section = section;
  f.name = name;
  f.label = label;
  f.kind = kind;
  return f;
}
OptionField Check(const char* tab, const char* section, const char* name, const char* label) {
  return Kind(tab, section, name, label, K::Check);
}
OptionField Spin(const char* tab, const char* section, const char* name, const char* label, int32_t min,
                 int32_t max) {
  OptionField f = Kind(tab, section, name, label, K::Spin);
  f.min = min;
  f.max = max;
  return f;
}
OptionField Codes(const char* tab, const char* section, const char* name, const char* label,
                  std::vector<CodeItem> codes) {
  OptionField f = Kind(tab, section, name, label, K::Code);
  f.codes = std::move(codes);
  return f;
}
OptionField Folder(const char* tab, const char* section, const char* label) {
  OptionField f = Kind(tab, section, "Directory", label, K::Directory);
  f.linuxDefault = LinuxDefault::PicturesFolder;
  return f;
}

const std::vector<CodeItem>& CharacterSets() {
  static const std::vector<CodeItem> sets = {
      {0, "Western (ANSI)"}, {1, "Default"}, {2, "Symbol"}, {77, "Macintosh"}, {128, "Japanese (Shift-JIS)"},
      {129, "Korean (Hangul)"}, {130, "Korean (Johab)"}, {134, "Simplified Chinese (GB2312)"},
      {136, "Traditional Chinese (Big5)"}, {161, "Greek"}, {162, "Turkish"}, {163, "Vietnamese"},
      {177, "Hebrew"}, {178, "Arabic"}, {186, "Baltic"}, {204, "Cyrillic"}, {222, "Thai"},
      {238, "Central European"}, {255, "OEM"}};
  return sets;
}

// A value of the OSD's layout in "Display", with the OSD's own default.
OptionField Osd(const char* name, const char* label, EditorKind kind, settings::SettingType type,
                int32_t defaultInt, std::string defaultText = {}) {
  OptionField f = Kind("Display and OSD", "Display", name, label, kind);
  f.ownDefault = true;
  f.type = type;
  f.defaultInt = defaultInt;
  f.defaultText = std::move(defaultText);
  return f;
}

void AddOsdAppearance(std::vector<OptionField>& f) {
  using T = settings::SettingType;
  const osd::TOsdLayoutValues d;
  f.push_back(Osd("Font", "OSD font", K::Font, T::String, 0, d.Font));
  OptionField charset = Osd("FontCharSet", "OSD character set", K::Code, T::Integer, d.FontCharSet);
  charset.codes = CharacterSets();
  f.push_back(charset);
  f.push_back(Osd("Color", "Letter and bar colour", K::Color, T::Integer, static_cast<int32_t>(d.Color)));
  f.push_back(Osd("Background", "Panel colour", K::Color, T::Integer, static_cast<int32_t>(d.Background)));
  f.push_back(Osd("Transparent", "Show the video through the panels", K::Check, T::Boolean, d.Transparent));
  f.push_back(Osd("OpaqueFontBorder", "Outline letters and bars", K::Check, T::Boolean, d.OpaqueFontBorder));
  f.push_back(Osd("OpaqueFontColor", "Outline colour", K::Color, T::Integer, static_cast<int32_t>(d.OpaqueFontColor)));
  for (auto [name, label, value, max] : {std::tuple{"Delay", "Hide after (seconds)", d.Delay, 60},
                                         std::tuple{"TimeSize", "Clock height (% of the window)", d.TimeSize, 50},
                                         std::tuple{"BarSize", "Bar and message height (%)", d.BarSize, 50}}) {
    OptionField spin = Osd(name, label, K::Spin, T::Integer, value);
    spin.min = 1;
    spin.max = max;
    f.push_back(spin);
  }
}

std::vector<OptionField> BuildFields() {
  std::vector<OptionField> f;
  f.push_back(Kind("General", "", "Language", "Language", K::Language));
  f.push_back(Check("General", "", "MultipleInst", "Allow several players to run at once"));

  f.push_back(Check("Window", "Display", "Centered", "Centre the window on the screen at start"));
  OptionField zoom = Kind("Window", "Position", "ZoomStep", "Zoom step", K::Decimal);
  zoom.min = 0;
  zoom.max = 4;
  zoom.step = 0.05;
  f.push_back(zoom);
  f.push_back(Spin("Window", "Position", "ZoomPosStep", "Zoom pan step", 1, 100));
  f.push_back(Spin("Window", "Position", "ZoomCropStep", "Crop step (percent)", 1, 50));

  f.push_back(Check("Display and OSD", "Display", "OSD", "Show the on-screen display"));
  f.push_back(Check("Display and OSD", "Display", "HideCursor", "Hide the mouse pointer in full screen"));
  AddOsdAppearance(f);

  f.push_back(Kind("Subtitles", "Subtitles", "FontName", "Font", K::Font));
  f.push_back(Codes("Subtitles", "Subtitles", "FontEnc", "Character set", CharacterSets()));
  f.push_back(Spin("Subtitles", "Subtitles", "FontSize", "Font size", 1, 200));
  f.push_back(Kind("Subtitles", "Subtitles", "FontColor", "Text colour", K::Color));
  f.push_back(Check("Subtitles", "Subtitles", "FontBorder", "Outline the letters"));
  f.push_back(Kind("Subtitles", "Subtitles", "FontBorderColor", "Outline colour", K::Color));
  f.push_back(Check("Subtitles", "Subtitles", "BlackBorder", "Subtitles at the bottom of the window, not of the picture"));
  f.push_back(Check("Subtitles", "Subtitles", "Transparent", "Transparent subtitle strip"));

  f.push_back(Check("Player", "Player", "Statistics", "Measure bitrates (statistics filters)"));
  f.push_back(Check("Player", "Player", "StatNoReset", "Keep the whole-stream bitrates after a seek"));
  f.push_back(Check("Player", "Player", "AC3WaveOut", "Play AC-3 audio through the wave output path"));
  f.push_back(Check("Player", "Player", "DVNTSC", "Decode DV video as NTSC"));

  f.push_back(Check("Analysis", "Analyze", "DisablePreview", "No picture while analysing"));
  f.push_back(Check("Analysis", "Analyze", "DisableImageAnalyze", "No picture analysis while analysing"));

  f.push_back(Check("Frame capture", "Frame Capture", "Disable", "Disable frame capture"));
  f.push_back(Folder("Frame capture", "Frame Capture", "Save captured frames in"));
  OptionField depth = Kind("Frame capture", "Frame Capture", "ColorDepth", "File format", K::Choice);
  depth.texts = {"BMP 24 bits", "BMP 16 bits", "JPEG"};
  f.push_back(depth);
  f.push_back(Spin("Frame capture", "Frame Capture", "Quality", "JPEG quality", 1, 100));

  f.push_back(Folder("Teletext", "Teletext", "Save pages in"));
  f.push_back(Codes("Teletext", "Teletext", "SaveAs", "Save pages as",
                    {{0, "Picture (.bmp)"}, {1, "Text (.ttx)"}, {2, "Text with attributes (.ttx)"},
                     {3, "Web page (.html)"}}));
  f.push_back(Codes("Teletext", "Teletext", "Filename", "File name",
                    {{0, "Media name and page"}, {1, "Media name and time"}, {2, "Page number"},
                     {3, "Time"}}));
  f.push_back(Check("Teletext", "Teletext", "AllToOne", "Save all pages into one file"));
  f.push_back(Check("Teletext", "Teletext", "Permanent", "Keep teletext shown permanently"));

  f.push_back(Check(kAssociationsTab, "", "AssociateCheck", "Keep the file associations in line at every start"));
  return f;
}

}  // namespace

std::span<const char* const> OptionTabs() { return {std::begin(kTabs), std::end(kTabs)}; }

std::span<const OptionField> OptionFields() {
  static const std::vector<OptionField> fields = BuildFields();
  return fields;
}

}  // namespace kv::options
