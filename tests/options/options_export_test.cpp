// The real Components/Options.so through its export, as the player calls it: the dialog
// opens modally, the test changes a value and presses OK (or Cancel), the file is checked.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include <fstream>
#include <functional>
#include <sstream>

#include "options_fixture.h"
#include "platform/module/module.h"

namespace kv {
namespace {

using ShowOptionsFn = bool (*)(void*, int);

class OptionsExportTest : public kv::testing::OptionsFixture {
 protected:
  void SetUp() override {
    OptionsFixture::SetUp();
    ASSERT_TRUE(library_.Load(OPTIONS_LIBRARY)) << library_.ErrorText();
    show_ = library_.Function<ShowOptionsFn>("ShowOptions");
    ASSERT_NE(show_, nullptr);
  }

  // Runs `act` on the dialog once it is up (polled from the event loop the dialog runs).
  void WhenDialogShown(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer(qApp);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == "OptionsForm" && w->isVisible()) {
          timer->stop();
          timer->deleteLater();
          act(w);
          return;
        }
      }
    });
    timer->start();
  }

  std::string HiveText() {
    std::ifstream in(registry::HivePath(registry::Hive::CurrentUser), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }

  TModule library_;
  ShowOptionsFn show_ = nullptr;
};

TEST_F(OptionsExportTest, Ok_writesTheChangeAndVersionAndGivesTrue) {
  QWidget owner;
  QWidget* seenParent = nullptr;
  WhenDialogShown([&](QWidget* dialog) {
    seenParent = dialog->parentWidget();
    dialog->findChild<QSpinBox*>("SubtitlesFontSize")->setValue(30);
    dialog->findChild<QDialogButtonBox*>("Buttons")->button(QDialogButtonBox::Ok)->click();
  });
  EXPECT_TRUE(show_(&owner, 0));
  EXPECT_EQ(seenParent, &owner);
  std::string text = HiveText();
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\n\"Version\"=\"2.3.0.0\""), std::string::npos)
      << text;
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Subtitles]\n\"FontSize\"=dword:0000001e"),
            std::string::npos)
      << text;
}

TEST_F(OptionsExportTest, Cancel_writesNoVersionAndGivesFalse) {
  Section("Subtitles").WriteInteger("FontSize", 20);
  WhenDialogShown([](QWidget* dialog) {
    dialog->findChild<QSpinBox*>("SubtitlesFontSize")->setValue(40);
    dialog->findChild<QDialogButtonBox*>("Buttons")->button(QDialogButtonBox::Cancel)->click();
  });
  EXPECT_FALSE(show_(nullptr, 0));
  EXPECT_FALSE(Section("").ReadString("Version").has_value());
  EXPECT_EQ(Section("Subtitles").ReadInteger("FontSize"), 20);
}

TEST(OptionsLibraryLayout, BothLibraryPlacesInTheProgramTreeExportShowOptions) {
  for (const char* relative : {"/Components/Options.so", "/Components/Options/Options.so"}) {
    TModule library(std::string(KAVELLO_PROGRAM_DIR) + relative);
    ASSERT_TRUE(library.IsLoaded()) << relative << ": " << library.ErrorText();
    EXPECT_NE(library.Symbol("ShowOptions"), nullptr) << relative;
  }
}

}  // namespace
}  // namespace kv
