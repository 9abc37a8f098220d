// The layout values of the on-screen display and where they come from.
//
// What it is: every value of the "Display" settings section that governs the OSD, as plain
// fields named after their registry values, with the built-in defaults. A value that is
// missing (or stored with another type) keeps its default; nothing is ever written back.
// The values are read through IOsdValueReader so that the layout can be loaded from the
// registry in the program and from a plain map in tests.
//
// Threads: plain data, used on the user-interface thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kv::osd {

// Colours are 0x00BBGGRR: red in the low byte.
using TColorRef = uint32_t;

// Source of the stored layout values. Each reader returns nullopt when the value does not
// exist or cannot be read as the asked type; the caller then keeps its default.
class IOsdValueReader {
 public:
  virtual ~IOsdValueReader() = default;
  virtual std::optional<int32_t> ReadInteger(const std::string& name) = 0;
  virtual std::optional<bool> ReadBool(const std::string& name) = 0;
  virtual std::optional<std::string> ReadString(const std::string& name) = 0;
};

struct TOsdLayoutValues {
  int32_t TimePosX = 95;
  int32_t TimePosY = 4;
  int32_t TimeSize = 5;
  int32_t TimeAlignX = 2;
  int32_t TimeAlignY = 0;
  int32_t ChanNumPosX = 14;
  int32_t ChanNumPosY = 4;
  int32_t ChanNumSize = 10;
  int32_t ChanNumAlignX = 2;
  int32_t ChanNumAlignY = 0;
  int32_t ChanNamePosX = 15;
  int32_t ChanNamePosY = 4;
  int32_t ChanNameSize = 6;
  int32_t ChannelAlignX = 0;
  int32_t ChannelAlignY = 0;
  int32_t SoundModePosX = 15;
  int32_t SoundModePosY = 10;
  int32_t SoundModeSize = 4;
  int32_t SoundAlignX = 0;
  int32_t SoundAlignY = 0;
  int32_t RecStatusPosX = 5;
  int32_t RecStatusPosY = 90;
  int32_t RecStatusSize = 5;  // read but unused: the status line takes its height from BarSize
  int32_t RecAlignX = 0;
  int32_t RecAlignY = 0;
  int32_t BarPosX = 50;       // read but unused: bar and message are centred horizontally
  int32_t BarPosY = 85;
  int32_t BarSize = 5;
  int32_t BarAlignX = 1;
  int32_t BarAlignY = 0;
  int32_t MenuPosX = 50;      // read but unused: the menu is centred horizontally
  int32_t MenuPosY = 50;
  int32_t MenuWidth = 70;     // sets the menu's HEIGHT (% of H0), as the stored name has always meant
  int32_t MenuHeight = 70;    // sets the menu's WIDTH (% of W)
  int32_t MenuItemSize = 5;
  int32_t Delay = 3;          // seconds
  TColorRef Background = 0x000000;
  TColorRef Color = 0x00FF00;  // 65280, green
  std::string Font = "Verdana";
  int32_t FontCharSet = 0;
  bool Transparent = true;
  bool OpaqueFontBorder = true;
  TColorRef OpaqueFontColor = 0x000000;
};

// Reads every value of the table from `reader`; missing ones take the defaults above.
TOsdLayoutValues ReadLayoutValues(IOsdValueReader& reader);

// The names of all integer values, in table order (used by tests and diagnostics).
std::vector<std::string> IntegerValueNames();

// The registry key the main window gives the OSD.
inline constexpr const char* kDefaultDisplayKey = "Software\\Tessaland\\Kavello\\Display";

}  // namespace kv::osd
