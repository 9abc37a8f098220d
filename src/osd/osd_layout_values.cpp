#include "osd/osd_layout_values.h"


namespace kv::osd {
namespace {

// One row per stored integer value: its name and the field it lands in.
struct TIntegerRow {
  const char* name;
  int32_t TOsdLayoutValues::*field;
};

constexpr TIntegerRow kIntegerRows[] = {
    {"TimePosX", &TOsdLayoutValues::TimePosX},
    {"TimePosY", &TOsdLayoutValues::TimePosY},
    {"TimeSize", &TOsdLayoutValues::TimeSize},
    {"TimeAlignX", &TOsdLayoutValues::TimeAlignX},
    {"TimeAlignY", &TOsdLayoutValues::TimeAlignY},
    {"ChanNumPosX", &TOsdLayoutValues::ChanNumPosX},
    {"ChanNumPosY", &TOsdLayoutValues::ChanNumPosY},
    {"ChanNumSize", &TOsdLayoutValues::ChanNumSize},
    {"ChanNumAlignX", &TOsdLayoutValues::ChanNumAlignX},
    {"ChanNumAlignY", &TOsdLayoutValues::ChanNumAlignY},
    {"ChanNamePosX", &TOsdLayoutValues::ChanNamePosX},
    {"ChanNamePosY", &TOsdLayoutValues::ChanNamePosY},
    {"ChanNameSize", &TOsdLayoutValues::ChanNameSize},
    {"ChannelAlignX", &TOsdLayoutValues::ChannelAlignX},
    {"ChannelAlignY", &TOsdLayoutValues::ChannelAlignY},
    {"SoundModePosX", &TOsdLayoutValues::SoundModePosX},
    {"SoundModePosY", &TOsdLayoutValues::SoundModePosY},
    {"SoundModeSize", &TOsdLayoutValues::SoundModeSize},
    {"SoundAlignX", &TOsdLayoutValues::SoundAlignX},
    {"SoundAlignY", &TOsdLayoutValues::SoundAlignY},
    {"RecStatusPosX", &TOsdLayoutValues::RecStatusPosX},
    {"RecStatusPosY", &TOsdLayoutValues::RecStatusPosY},
    {"RecStatusSize", &TOsdLayoutValues::RecStatusSize},
    {"RecAlignX", &TOsdLayoutValues::RecAlignX},
    {"RecAlignY", &TOsdLayoutValues::RecAlignY},
    {"BarPosX", &TOsdLayoutValues::BarPosX},
    {"BarPosY", &TOsdLayoutValues::BarPosY},
    {"BarSize", &TOsdLayoutValues::BarSize},
    {"BarAlignX", &TOsdLayoutValues::BarAlignX},
    {"BarAlignY", &TOsdLayoutValues::BarAlignY},
    {"MenuPosX", &TOsdLayoutValues::MenuPosX},
    {"MenuPosY", &TOsdLayoutValues::MenuPosY},
    {"MenuWidth", &TOsdLayoutValues::MenuWidth},
    {"MenuHeight", &TOsdLayoutValues::MenuHeight},
    {"MenuItemSize", &TOsdLayoutValues::MenuItemSize},
    {"Delay", &TOsdLayoutValues::Delay},
    {"FontCharSet", &TOsdLayoutValues::FontCharSet},
};

struct TColorRow {
  const char* name;
  TColorRef TOsdLayoutValues::*field;
};

constexpr TColorRow kColorRows[] = {
    {"Background", &TOsdLayoutValues::Background},
    {"Color", &TOsdLayoutValues::Color},
    {"OpaqueFontColor", &TOsdLayoutValues::OpaqueFontColor},
};

struct TBoolRow {
  const char* name;
  bool TOsdLayoutValues::*field;
};

constexpr TBoolRow kBoolRows[] = {
    {"Transparent", &TOsdLayoutValues::Transparent},
    {"OpaqueFontBorder", &TOsdLayoutValues::OpaqueFontBorder},
};

}  // namespace

TOsdLayoutValues ReadLayoutValues(IOsdValueReader& reader) {
  TOsdLayoutValues values;
  for (const auto& row : kIntegerRows) {
    if (auto v = reader.ReadInteger(row.name)) values.*row.field = *v;
  }
  for (const auto& row : kColorRows) {
    if (auto v = reader.ReadInteger(row.name)) values.*row.field = static_cast<TColorRef>(*v);
  }
  for (const auto& row : kBoolRows) {
    if (auto v = reader.ReadBool(row.name)) values.*row.field = *v;
  }
  if (auto font = reader.ReadString("Font")) values.Font = *font;
  return values;
}

std::vector<std::string> IntegerValueNames() {
  std::vector<std::string> names;
  for (const auto& row : kIntegerRows) names.emplace_back(row.name);
  return names;
}

}  // namespace kv::osd
