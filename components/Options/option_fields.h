// The fields of the options dialog as data: for each setting the program only reads, the
// tab it sits on, its label and the kind of editor. Registry section, name, type and
// default come from the settings table (settings/settings_table.h), so the dialog and the
// program cannot disagree about them; the OSD's appearance values take theirs from the
// OSD's layout values (osd/osd_layout_values.h) for the same reason.
// Pure data, no Qt.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "settings/settings_table.h"

namespace kv::options {

enum class EditorKind {
  Check,      // Boolean
  Spin,       // Integer in [min, max]
  Decimal,    // Double in [min, max] by step
  Text,       // String
  Choice,     // String, one of `texts` (an unknown stored text is kept and shown too)
  Code,       // Integer, one of `codes` (an unknown stored code is kept and shown too)
  Color,      // Integer 0x00BBGGRR
  Font,       // String, a font family
  Directory,  // String, a folder
  Language,   // String, a translation file name from Languages/
};

// Where a String field's default comes from when the settings table leaves it empty.
enum class LinuxDefault { None, PicturesFolder };

struct CodeItem {
  int32_t code;
  const char* text;
};

struct OptionField {
  const char* tab = "";
  const char* section = "";  // as in the settings table ("" = root)
  const char* name = "";
  const char* label = "";
  EditorKind kind = EditorKind::Text;
  int32_t min = 0;
  int32_t max = 0;
  double step = 0;
  std::vector<CodeItem> codes;
  std::vector<const char*> texts;
  LinuxDefault linuxDefault = LinuxDefault::None;
  // For values outside the settings table (the OSD's appearance in "Display", whose
  // defaults are the OSD's own): the stored type and the default.
  bool ownDefault = false;
  settings::SettingType type = settings::SettingType::String;
  int32_t defaultInt = 0;
  std::string defaultText;
};

// The tabs in display order.
std::span<const char* const> OptionTabs();
// Every field in display order (grouped by tab).
std::span<const OptionField> OptionFields();

// The tab of the file associations list (built from the Associate section and the
// container descriptors, not from single fields).
inline constexpr const char* kAssociationsTab = "File associations";

}  // namespace kv::options
