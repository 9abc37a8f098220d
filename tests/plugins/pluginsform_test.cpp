// The "Filters" dialog driven with real mouse events, and the chain logic under it: the
// descriptor list, descriptions by language, filling and removing slots, damaged
// descriptors.
#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QMouseEvent>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "plugins/plugin_chain.h"
#include "plugins/pluginsform.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

class PluginsFormTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char arg0[] = "pluginsform_test";
    static char* argv[] = {arg0, nullptr};
    if (!QApplication::instance()) new QApplication(argc, argv);
  }
  void SetUp() override {
    folder_ = fs::path(::testing::TempDir()) / ("kv_plugins_" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_ / "folder.vid");  // a directory is no descriptor
    Write("b.vid", "[Main]\nName=Bee Filter\nNeedCapturePin=1\n[Description]\nEnglish=Bee in English\nDeutsch=Biene\n");
    Write("A.vid", "[Main]\nName=Ay Filter\n[Description]\nEnglish=Ay\n");
    Write("Zed.VID", "[Main]\nName=Zed Filter\n");
    Write("d.vid", "[Main]\nName=Dee Filter\n");
    Write("e.vid", "[Main]\nName=Ee Filter\n");
    Write("f.vid", "[Main]\nName=Eff Filter\n");
    Write("broken.vid", "\x01\x02[Main\nName\n");  // damaged: no readable keys
    Write("c.aud", "[Main]\nName=Cee Audio\nNeedCapturePin=1\n[Description]\nEnglish=Cee\n");
  }
  void TearDown() override { fs::remove_all(folder_); }
  void Write(const std::string& name, const std::string& text) { std::ofstream(folder_ / name) << text; }

  QListWidgetItem* Item(TPluginsForm& form, const char* text) {
    auto items = form.FiltersList->findItems(text, Qt::MatchExactly);
    return items.empty() ? nullptr : items.front();
  }
  void DoubleClick(TPluginsForm& form, const char* text) {
    QListWidgetItem* item = Item(form, text);
    ASSERT_TRUE(item) << text;
    // As the window system delivers a double click: press, release, press, double click,
    // release.
    QWidget* view = form.FiltersList->viewport();
    const QPoint p = form.FiltersList->visualItemRect(item).center();
    QTest::mouseClick(view, Qt::LeftButton, {}, p);
    QTest::mousePress(view, Qt::LeftButton, {}, p);
    QTest::mouseDClick(view, Qt::LeftButton, {}, p);
    QTest::mouseRelease(view, Qt::LeftButton, {}, p);
  }
  void Click(TPluginsForm& form, const char* text) {
    QListWidgetItem* item = Item(form, text);
    ASSERT_TRUE(item) << text;
    QTest::mouseClick(form.FiltersList->viewport(), Qt::LeftButton, {}, form.FiltersList->visualItemRect(item).center());
  }
  static void Press(TPluginsForm& form, QDialogButtonBox::StandardButton which) {
    auto* box = form.findChild<QDialogButtonBox*>("Buttons");
    QTest::mouseClick(box->button(which), Qt::LeftButton);
  }
  std::vector<std::string> Captions(TPluginsForm& form) {
    std::vector<std::string> shown;
    for (QLabel* panel : form.Filter)
      if (panel->isVisible()) shown.push_back(panel->text().toStdString());
    return shown;
  }

  fs::path folder_;
};

TEST_F(PluginsFormTest, List_isSortedWithoutCase_andHoldsOnlyTheKindAsked) {
  EXPECT_EQ(plugins::ListPlugins(folder_.string(), true),
            (std::vector<std::string>{"A", "b", "broken", "d", "e", "f", "Zed"}));
  EXPECT_EQ(plugins::ListPlugins(folder_.string(), false), std::vector<std::string>{"c"});
  EXPECT_TRUE(plugins::ListPlugins((folder_ / "missing").string(), true).empty());
}

TEST_F(PluginsFormTest, Description_inTheUsersLanguage_elseEnglish_elseNothing) {
  const std::string dir = folder_.string();
  EXPECT_EQ(plugins::PluginDescription(plugins::DescriptorPath(dir, "b", true), "Deutsch"), "Biene");
  EXPECT_EQ(plugins::PluginDescription(plugins::DescriptorPath(dir, "b", true), "Italiano"), "Bee in English");
  EXPECT_EQ(plugins::PluginDescription(plugins::DescriptorPath(dir, "Zed", true), "English"), "");
  EXPECT_EQ(plugins::DescriptorPath(dir, "../x", true), "");
}

TEST_F(PluginsFormTest, Chain_damagedDescriptorGivesAnEmptyName_audioNeverNeedsTheCapturePin) {
  TFiltersInChain chain{};
  ASSERT_TRUE(plugins::AddToChain(chain, folder_.string(), "broken", true));
  EXPECT_EQ(chain[0].FileName, "broken");
  EXPECT_EQ(chain[0].Name, "");
  ASSERT_TRUE(plugins::AddToChain(chain, folder_.string(), "gone", true));  // no file at all
  EXPECT_EQ(chain[1].Name, "");
  ASSERT_TRUE(plugins::AddToChain(chain, folder_.string(), "b", true));
  EXPECT_TRUE(chain[2].NeedCapturePin);
  TFiltersInChain audio{};
  ASSERT_TRUE(plugins::AddToChain(audio, folder_.string(), "c", false));
  EXPECT_EQ(audio[0].Name, "Cee Audio");
  EXPECT_FALSE(audio[0].NeedCapturePin);
}

TEST_F(PluginsFormTest, Dialog_fillsFirstFreeSlots_ignoresASixth_removalClosesTheGap_okReturnsTheChain) {
  TPluginsForm form(nullptr, folder_.string(), "Deutsch");
  form.IsVideo = true;
  TFiltersInChain settings{};
  settings[0] = {"A", "Ay Filter", false};
  TFiltersInChain result{};
  bool checked = false;
  QTimer::singleShot(0, &form, [&] {
    QTest::qWait(50);  // the dialog is laid out
    EXPECT_EQ(form.windowTitle().toStdString(), "Filters");
    EXPECT_EQ(form.FiltersList->count(), 7);
    EXPECT_FALSE(form.FilterDescr->isVisible());
    EXPECT_EQ(Captions(form), std::vector<std::string>{"Ay Filter"});
    EXPECT_FALSE(form.Arrow[0]->isVisible());

    Click(form, "b");
    EXPECT_TRUE(form.FilterDescr->isVisible());
    EXPECT_EQ(form.FilterDescr->toPlainText().toStdString(), "Biene");

    for (const char* name : {"b", "d", "e", "f", "Zed"}) DoubleClick(form, name);  // the sixth does nothing
    EXPECT_EQ(Captions(form),
              (std::vector<std::string>{"Ay Filter", "Bee Filter", "Dee Filter", "Ee Filter", "Eff Filter"}));
    EXPECT_TRUE(form.Arrow[3]->isVisible());

    // Slot 2 of five removed: 3..5 move down, the last is free and its arrow goes.
    QTest::mouseDClick(form.Filter[1], Qt::LeftButton);
    EXPECT_EQ(Captions(form), (std::vector<std::string>{"Ay Filter", "Dee Filter", "Ee Filter", "Eff Filter"}));
    EXPECT_FALSE(form.Arrow[3]->isVisible());
    EXPECT_TRUE(form.Arrow[2]->isVisible());

    QTest::mouseClick(form.Filter[2], Qt::LeftButton);
    EXPECT_EQ(form.Filter[2]->frameShadow(), QFrame::Sunken);
    EXPECT_EQ(form.Filter[0]->frameShadow(), QFrame::Raised);
    checked = true;
    Press(form, QDialogButtonBox::Ok);
  });
  EXPECT_EQ(form.ShowModal(settings), 1);
  ASSERT_TRUE(checked);
  result = form.Chain();
  EXPECT_EQ(result[1].FileName, "d");
  EXPECT_EQ(result[3].FileName, "f");
  EXPECT_EQ(result[4].FileName, "");

  // Cancel changes nothing, and the next showing starts again from the settings.
  QTimer::singleShot(0, &form, [&] {
    QTest::qWait(50);  // the dialog is laid out
    EXPECT_EQ(Captions(form), std::vector<std::string>{"Ay Filter"});
    DoubleClick(form, "e");
    Press(form, QDialogButtonBox::Cancel);
  });
  EXPECT_EQ(form.ShowModal(settings), 2);
}

TEST_F(PluginsFormTest, Dialog_inAudioMode_listsAudioDescriptors_profileControlsAreDisabled) {
  TPluginsForm form(nullptr, folder_.string(), "English");
  form.IsVideo = false;
  QTimer::singleShot(0, &form, [&] {
    QTest::qWait(50);  // the dialog is laid out
    EXPECT_EQ(form.FiltersList->count(), 1);
    Click(form, "c");
    EXPECT_EQ(form.FilterDescr->toPlainText().toStdString(), "Cee");
    DoubleClick(form, "c");
    EXPECT_EQ(Captions(form), std::vector<std::string>{"Cee Audio"});
    for (const char* name : {"ProfilesBox", "LoadProfile", "SaveProfile"}) {
      QWidget* w = form.findChild<QWidget*>(name);
      ASSERT_TRUE(w) << name;
      EXPECT_FALSE(w->isEnabled()) << name;
    }
    Press(form, QDialogButtonBox::Ok);
  });
  ASSERT_EQ(form.ShowModal(TFiltersInChain{}), 1);
  EXPECT_EQ(form.Chain()[0].Name, "Cee Audio");
}

}  // namespace
}  // namespace kv
