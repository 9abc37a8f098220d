// TOptionsDialog driven directly: what it shows, what it writes, what it leaves alone.
#include "options_dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include <fstream>
#include <set>

#include "option_fields.h"
#include "options_fixture.h"
#include "settings/settings_table.h"

namespace kv::options {
namespace {

class OptionsFormTest : public kv::testing::OptionsFixture {
 protected:
  template <class W>
  W* Find(TOptionsDialog& dialog, const char* name) {
    W* w = dialog.findChild<W*>(QString::fromUtf8(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
};

TEST(OptionFields, CoverEveryValueThePlayerOnlyReads) {
  std::set<std::string> edited;
  for (const OptionField& f : OptionFields()) {
    if (f.ownDefault) {
      EXPECT_STREQ(f.section, "Display") << f.name;  // only the OSD's appearance has its own
      continue;
    }
    ASSERT_NE(settings::FindSetting(f.section, f.name), nullptr) << f.section << "\\" << f.name;
    edited.insert(std::string(f.section) + "\\" + f.name);
  }
  for (const settings::SettingInfo& s : settings::SettingsTable()) {
    std::string key = std::string(s.section) + "\\" + s.name;
    bool expected = !s.saved && key != "\\Version";  // the dialog writes Version itself
    EXPECT_EQ(edited.count(key) == 1, expected) << key;
  }
}

TEST_F(OptionsFormTest, FreshRegistry_showsDefaultsAndThePicturesFolder) {
  TOptionsDialog dialog(nullptr);
  dialog.Load();
  EXPECT_EQ(Find<QSpinBox>(dialog, "SubtitlesFontSize")->value(), 15);
  EXPECT_EQ(Find<QComboBox>(dialog, "SubtitlesFontName")->currentText(), "Arial");
  EXPECT_TRUE(Find<QCheckBox>(dialog, "DisplayOSD")->isChecked());
  EXPECT_FALSE(Find<QCheckBox>(dialog, "FrameCaptureDisable")->isChecked());
  EXPECT_DOUBLE_EQ(Find<QDoubleSpinBox>(dialog, "PositionZoomStep")->value(), 0.25);
  EXPECT_EQ(Find<QComboBox>(dialog, "Language")->currentText(), "English");
  EXPECT_EQ(Find<QPushButton>(dialog, "SubtitlesFontColor")->text(), "#ffffff");
  EXPECT_EQ(Find<QComboBox>(dialog, "FrameCaptureColorDepth")->currentText(), "BMP 24 bits");
  EXPECT_EQ(Find<QWidget>(dialog, "FrameCaptureDirectory")->findChild<QLineEdit*>()->text().toStdString(), Pictures());
  EXPECT_EQ(Find<QWidget>(dialog, "TeletextDirectory")->findChild<QLineEdit*>()->text().toStdString(), Pictures());
  EXPECT_EQ(dialog.Tabs()->count(), 9);
  // the OSD's appearance shows the OSD's own defaults
  EXPECT_EQ(Find<QComboBox>(dialog, "DisplayFont")->currentText(), "Verdana");
  EXPECT_EQ(Find<QPushButton>(dialog, "DisplayColor")->text(), "#00ff00");
  EXPECT_TRUE(Find<QCheckBox>(dialog, "DisplayTransparent")->isChecked());
  EXPECT_EQ(Find<QSpinBox>(dialog, "DisplayDelay")->value(), 3);
}

TEST_F(OptionsFormTest, Save_writesChangesFolderDefaultsAndVersionOnly) {
  TOptionsDialog dialog(nullptr);
  dialog.Load();
  Find<QSpinBox>(dialog, "SubtitlesFontSize")->setValue(30);
  Find<QCheckBox>(dialog, "PlayerDVNTSC")->setChecked(true);
  Find<QCheckBox>(dialog, "DisplayOpaqueFontBorder")->setChecked(false);
  auto* enc = Find<QComboBox>(dialog, "SubtitlesFontEnc");
  enc->setCurrentIndex(enc->findData(204));
  ASSERT_TRUE(dialog.Save());

  EXPECT_EQ(Section("").ReadString("Version"), "2.3.0.0");
  EXPECT_EQ(Section("Subtitles").ReadInteger("FontSize"), 30);
  EXPECT_EQ(Section("Subtitles").ReadInteger("FontEnc"), 204);
  EXPECT_EQ(Section("Player").ReadBool("DVNTSC"), true);
  EXPECT_EQ(Section("Display").ReadBool("OpaqueFontBorder"), false);
  EXPECT_FALSE(Section("Display").ValueExists("Font"));
  EXPECT_EQ(Section("Frame Capture").ReadString("Directory"), Pictures());
  EXPECT_EQ(Section("Teletext").ReadString("Directory"), Pictures());
  // untouched values stay unwritten, so the player's defaults keep applying
  EXPECT_FALSE(Section("Subtitles").ValueExists("FontName"));
  EXPECT_FALSE(Section("Position").ValueExists("ZoomStep"));
  EXPECT_FALSE(Section("Display").ValueExists("OSD"));
}

TEST_F(OptionsFormTest, UnusualStoredValues_areShownAndKeptWhenUntouched) {
  Section("Subtitles").WriteInteger("FontSize", 300);  // beyond the spin box's range
  Section("Subtitles").WriteInteger("FontEnc", 7);     // no such character set
  Section("Subtitles").WriteString("FontName", "No Such Font Family");
  Section("Frame Capture").WriteString("ColorDepth", "PNG");
  Section("Position").WriteFloat("ZoomStep", 0.3333333333);
  Section("Subtitles").WriteInteger("FontColor", 0x0000ff);  // red in the low byte
  Section("Teletext").WriteString("Directory", "");          // stored empty: kept empty
  TOptionsDialog dialog(nullptr);
  dialog.Load();
  EXPECT_EQ(Find<QSpinBox>(dialog, "SubtitlesFontSize")->value(), 300);
  EXPECT_EQ(Find<QComboBox>(dialog, "SubtitlesFontEnc")->currentText(), "Value 7");
  EXPECT_EQ(Find<QComboBox>(dialog, "SubtitlesFontName")->currentText(), "No Such Font Family");
  EXPECT_EQ(Find<QComboBox>(dialog, "FrameCaptureColorDepth")->currentText(), "PNG");
  EXPECT_EQ(Find<QPushButton>(dialog, "SubtitlesFontColor")->text(), "#ff0000");
  ASSERT_TRUE(dialog.Save());
  EXPECT_EQ(Section("Subtitles").ReadInteger("FontSize"), 300);
  EXPECT_EQ(Section("Subtitles").ReadInteger("FontEnc"), 7);
  EXPECT_EQ(Section("Subtitles").ReadString("FontName"), "No Such Font Family");
  EXPECT_EQ(Section("Frame Capture").ReadString("ColorDepth"), "PNG");
  EXPECT_EQ(Section("Position").ReadFloat("ZoomStep"), 0.3333333333);
  EXPECT_EQ(Section("Teletext").ReadString("Directory"), "");
  EXPECT_EQ(Section("Subtitles").ReadInteger("FontColor"), 0x0000ff);
}

TEST_F(OptionsFormTest, Associations_listStoredNamesAndWriteChangedChecks) {
  Section("Associate").WriteBool("avi", true);
  Section("Associate").WriteBool("mpg", false);
  TOptionsDialog dialog(nullptr);
  dialog.Load();
  QListWidget* list = Find<QListWidget>(dialog, "AssociateList");
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text(), "avi");
  EXPECT_EQ(list->item(0)->checkState(), Qt::Checked);
  EXPECT_EQ(list->item(1)->checkState(), Qt::Unchecked);
  list->item(0)->setCheckState(Qt::Unchecked);
  list->item(1)->setCheckState(Qt::Checked);
  Find<QCheckBox>(dialog, "AssociateCheck")->setChecked(true);
  ASSERT_TRUE(dialog.Save());
  EXPECT_EQ(Section("Associate").ReadBool("avi"), false);
  EXPECT_EQ(Section("Associate").ReadBool("mpg"), true);
  EXPECT_EQ(Section("").ReadBool("AssociateCheck"), true);
}

TEST_F(OptionsFormTest, DescriptorExtensions_comeLowerCaseAndOnce) {
  std::string dir = root_ + "/Containers";
  std::filesystem::create_directories(dir);
  std::ofstream(dir + "/a.vc") << "[Main]\nExtension=AVI,DIVX\n";
  std::ofstream(dir + "/b.ac") << "[main]\nextension= mp3 , .WAV,,avi\n";
  std::ofstream(dir + "/c.vc") << "[Main]\nExtension=../x,MKV\n";
  std::ofstream(dir + "/notes.txt") << "[Main]\nExtension=TXT\n";
  EXPECT_EQ(DescriptorExtensions(dir), (std::vector<std::string>{"avi", "divx", "mp3", "wav", "mkv"}));
  EXPECT_TRUE(DescriptorExtensions(root_ + "/none").empty());
}

TEST(OptionEditors, ColorToValue_putsRedInTheLowByte) {
  EXPECT_EQ(ColorToValue(255, 0, 0), 0x0000ffu);
  EXPECT_EQ(ColorToValue(0, 255, 0), 0x00ff00u);
  EXPECT_EQ(ColorToValue(0, 0, 255), 0xff0000u);
  EXPECT_EQ(ColorToValue(255, 255, 255), 16777215u);
}

}  // namespace
}  // namespace kv::options
