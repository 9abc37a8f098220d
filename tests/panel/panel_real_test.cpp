// The real control panel (Components/CapPanel.so of the build), loaded by the real main
// window with a private sound server: its texts for a generated clip, its buttons and
// slider driving the player, and its volume slider moving the master volume. Also the
// About box's list of libraries.
#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "about_dialog.h"
#include "app/mainform_fixture.h"
#include "library_versions.h"
#include "pulse_test_server.h"
#include "settings/optunit.h"

namespace kv {
namespace {

class PanelRealTest : public MainWindowHarness {
 protected:
  static void SetUpTestSuite() {
    MakeHome("kavello-realpanel");
    unsetenv("PULSE_SERVER");
    serverUp_ = test::TPulseTestServer::Instance().Start();
    if (!serverUp_) setenv("PULSE_SERVER", "unix:/nonexistent", 1);
    const std::string cmd =
        "ffmpeg -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi "
        "-i sine=frequency=1000:sample_rate=48000 -t 10 -g 25 -c:v libx264 -pix_fmt yuv420p -c:a libvorbis '" +
        (root_ / "media/clip.mkv").string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    StartApplication();
  }
  static void TearDownTestSuite() {
    test::TPulseTestServer::Instance().Stop();
    MainWindowHarness::TearDownTestSuite();
  }
  void SetUp() override { RecordMessages(); }

  void StartForm() {
    OpenWindow();
    ASSERT_TRUE(form_->PanelLibrary.Loaded()) << form_->PanelLibrary.ErrorText();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->objectName() == QLatin1String("ControlPanelForm") && w->isVisible()) panel_ = w;
    ASSERT_NE(panel_, nullptr);
  }

  template <class W>
  W* Child(const char* name) {
    W* w = panel_->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QString Text(const char* name) { return Child<QLabel>(name)->text(); }

  static inline bool serverUp_ = false;
  QWidget* panel_ = nullptr;
};

TEST_F(PanelRealTest, ShowsTheClipsInformation_andItsButtonsAndSliderDriveThePlayer) {
  StartForm();
  // The panel sits beside the window, not over it.
  EXPECT_FALSE(panel_->frameGeometry().intersects(form_->frameGeometry()));
  const std::string clip = (root_ / "media/clip.mkv").string();
  form_->PlayFileNow(clip);
  TCOMPlay* player = form_->Player.get();
  ASSERT_EQ(player->State, psRunning);
  EXPECT_EQ(Text("FileName"), QStringLiteral("clip.mkv"));
  EXPECT_EQ(Text("PictureSize"), QStringLiteral("320 x 240"));
  EXPECT_EQ(Text("FrameRate"), QStringLiteral("25.000 fps"));
  EXPECT_TRUE(Text("FileSize").endsWith(QStringLiteral("KiB"))) << Text("FileSize").toStdString();
  EXPECT_TRUE(Text("FreeSpace").endsWith(QStringLiteral("free")));
  if (serverUp_) {
    EXPECT_TRUE(Text("AudioFormat").startsWith(QStringLiteral("48000 Hz"))) << Text("AudioFormat").toStdString();
  }
  // Once a second the bitrates, every tick the times.
  ASSERT_TRUE(RunUntil([&] { return Text("VideoBitrate") != QStringLiteral("-"); }, 8000));
  EXPECT_TRUE(std::regex_match(Text("VideoBitrate").toStdString(), std::regex("[0-9]+ kbit/s")));
  ASSERT_TRUE(RunUntil([&] { return Text("Elapsed") != QStringLiteral("0:00:00"); }, 8000));

  QTest::mouseClick(Child<QToolButton>("Pause"), Qt::LeftButton);
  EXPECT_EQ(player->State, psPaused);
  QTest::mouseClick(Child<QToolButton>("Pause"), Qt::LeftButton);
  EXPECT_EQ(player->State, psRunning);
  QTest::mouseClick(Child<QToolButton>("Stop"), Qt::LeftButton);
  EXPECT_EQ(player->State, psStopped);
  QTest::mouseClick(Child<QToolButton>("Play"), Qt::LeftButton);
  EXPECT_EQ(player->State, psRunning);

  // A click in the middle of the position slider seeks to about the middle of the title.
  QSlider* position = Child<QSlider>("PositionSlider");
  QTest::mouseClick(position, Qt::LeftButton, {}, QPoint(position->width() / 2, position->height() / 2));
  EXPECT_NEAR(player->GetPosition(), form_->Duration / 2, form_->Duration / 10);
  EXPECT_NEAR(position->value(), 5000, 1000);

  QTest::mouseClick(Child<QToolButton>("Mute"), Qt::LeftButton);
  EXPECT_TRUE(form_->Muted);
}

TEST_F(PanelRealTest, VolumeSliderMovesTheMasterVolume) {
  if (!serverUp_) GTEST_SKIP() << "no PulseAudio test server: " << test::TPulseTestServer::Instance().Error();
  StartForm();
  QSlider* volume = Child<QSlider>("VolumeSlider");
  ASSERT_TRUE(RunUntil([&] { return volume->isEnabled(); }, 10000)) << "no master volume";
  // A click left of the handle takes a page off, as on any slider.
  const int before = volume->value();
  QTest::mouseClick(volume, Qt::LeftButton, {}, QPoint(2, volume->height() / 2));
  const int wanted = volume->value();
  ASSERT_LT(wanted, before);
  const std::string expected = " " + std::to_string(wanted) + "% ";
  std::string shown;
  ASSERT_TRUE(RunUntil([&] {
    shown = test::TPulseTestServer::Instance().Pactl("get-sink-volume @DEFAULT_SINK@");
    return shown.find(expected) != std::string::npos;
  }, 10000)) << shown;
  // A change made elsewhere moves the slider.
  test::TPulseTestServer::Instance().Pactl("set-sink-volume @DEFAULT_SINK@ 35%");
  EXPECT_TRUE(RunUntil([&] { return volume->value() == 35; }, 10000)) << volume->value();
}

TEST_F(PanelRealTest, AboutListsTheLibrariesWithTheirVersions) {
  StartForm();
  // About.so is in the build's Components: the item works, and the box it shows is the
  // library's (closed here as a user would, with its button).
  ASSERT_TRUE(form_->Action("MMAbout")->isEnabled());
  QString shown;
  int rows = 0;
  QTimer closer;  // ends with the test, even if no box came
  closer.setSingleShot(true);
  closer.start(300);
  QObject::connect(&closer, &QTimer::timeout, [&] {
    if (QWidget* box = QApplication::activeModalWidget()) {
      shown = box->objectName();
      if (auto* table = box->findChild<QTableWidget*>(QStringLiteral("Libraries"))) rows = table->rowCount();
      QTest::keyClick(box, Qt::Key_Return);
    }
  });
  form_->Action("MMAbout")->trigger();
  EXPECT_EQ(shown, QStringLiteral("AboutForm"));
  EXPECT_GE(rows, 7);
  EXPECT_TRUE(form_->CursorHideAllowed);
  about::TAboutDialog dialog;
  QTableWidget* table = dialog.Libraries();
  std::map<std::string, std::string> versions;
  for (int row = 0; row < table->rowCount(); ++row) {
    versions[table->item(row, 0)->text().toStdString()] = table->item(row, 1)->text().toStdString();
    EXPECT_FALSE(table->item(row, 2)->text().isEmpty()) << "licence of row " << row;
  }
  for (const char* name : {"Qt", "FFmpeg", "libavcodec", "libavformat", "libpulse", "libjpeg-turbo", "libzvbi"}) {
    ASSERT_TRUE(versions.count(name)) << name;
    EXPECT_TRUE(std::regex_search(versions[name], std::regex("[0-9]+\\.[0-9]+"))) << name << ": " << versions[name];
  }
  EXPECT_EQ(versions["Qt"], qVersion());
  EXPECT_EQ(about::IsoDate("Dec  7 2026"), "2026-12-07");
  EXPECT_TRUE(std::regex_match(about::BuildDate(), std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}")));
}

}  // namespace
}  // namespace kv
