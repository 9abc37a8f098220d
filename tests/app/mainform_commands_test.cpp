// Commands of the real main window through the routes a user's action takes: the "Options"
// menu item and its dialog, an MPRIS seek, a file handed over by a second instance, the
// owner of a message box, and the window's size and place against the screen.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusObjectPath>
#include <QDialogButtonBox>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <thread>

#include "app/mpris.h"
#include "engine/ivfgrab.h"
#include "mainform_fixture.h"
#include "osd/osdunit.h"
#include "platform/desktop/single_instance.h"
#include "platform/ui/messagebox_qt.h"
#include "settings/optunit.h"
#include "subtitles/subtitle_controller.h"

namespace kv {
namespace {

class MainFormCommands : public MainFormTest {
 protected:
  // Settings of the next window: the fixture's plus `extra` lines of the root key and
  // `display` lines of the Display key. The fixture's file comes back in TearDown.
  void WriteSettings(const std::string& extra, const std::string& display = "") {
    std::ofstream reg(root_ / "config/kavello/user.reg");
    reg << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"
        << "\"Version\"=\"2.3.0.0\"\r\n" << extra;
    if (!display.empty()) reg << "\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Display]\r\n" << display;
  }
  void TearDown() override {
    MainFormTest::TearDown();
    WriteSettings("\"MultipleInst\"=dword:00000001\r\n");
  }
  // A new main window with the settings of WriteSettings(extra, display) (the fixture's
  // window is closed first: its close saves the settings); not shown yet.
  void Remake(const std::string& extra, const std::string& display = "") {
    form_->close();
    form_.reset();
    WriteSettings(extra, display);
    form_ = std::make_unique<TMainForm>(std::vector<std::string>{}, root_.string());
    ASSERT_TRUE(form_->ShowMainForm());
  }
};

TEST_F(MainFormCommands, OptionsFromTheMenu_switchesTheOsdOffAtOnce_andHandsTheEngineTheCaptureFormat) {
  form_->OpenFile(Media("a.avi"));
  ASSERT_TRUE(form_->PlayCurrent());
  ASSERT_TRUE(OnScreen->Enabled());
  bool seen = false;
  QTimer::singleShot(0, [&] {
    QWidget* dialog = nullptr;
    (void)QTest::qWaitFor([&] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "OptionsForm" && w->isVisible()) dialog = w;
      return dialog != nullptr;
    }, 10000);
    if (!dialog) return;
    seen = true;
    dialog->findChild<QCheckBox*>("DisplayOSD")->setChecked(false);
    dialog->findChild<QComboBox*>("FrameCaptureColorDepth")->setCurrentText("JPEG");
    dialog->findChild<QDialogButtonBox*>("Buttons")->button(QDialogButtonBox::Ok)->click();
  });
  form_->Action("MMOptions")->trigger();
  ASSERT_TRUE(seen) << "\"Options\" did not open the dialog";
  EXPECT_FALSE(Options->OSD);
  EXPECT_FALSE(OnScreen->Enabled()) << "the OSD stays on until the next start";
  form_->MMPauseClick();
  EXPECT_FALSE(OnScreen->Visible(TOSD::Element::Bar)) << "nothing is drawn with the OSD off";
  EXPECT_EQ(Options->ColorDepth, 256);
  EXPECT_EQ(form_->Player->ColorDepth, 256) << "a capture would be named .jpg and written as BMP";
  EXPECT_TRUE(form_->CursorHideAllowed);
}

TEST_F(MainFormCommands, AnMprisSeekBackReschedulesTheSubtitles) {
  form_->OpenFile(Media("a.avi"));
  ASSERT_TRUE(form_->PlayCurrent());
  QMenu* menu = form_->Action("MMSubtitles")->menu();
  for (QAction* a : menu->actions())
    if (a->text() == "a.srt") a->trigger();
  ASSERT_TRUE(RunUntil([&] { return form_->Subtitles->SubtitleText == "Hello"; }));
  form_->MMPauseClick();
  auto* mpris = form_->findChild<MprisPlayerAdaptor*>();
  ASSERT_NE(mpris, nullptr);
  // As the session bus delivers the call.
  ASSERT_TRUE(QMetaObject::invokeMethod(mpris, "SetPosition",
                                        Q_ARG(QDBusObjectPath, QDBusObjectPath("/org/kavello/track/current")),
                                        Q_ARG(qlonglong, 200000)));
  EXPECT_LE(form_->Player->GetPosition(), 500);
  EXPECT_TRUE(RunUntil([&] { return form_->Subtitles->SubtitleText.empty(); }, 1000))
      << "the strip still shows the entry of the old position";
  // To 1.7 s: a key-frame seek, so it lands on the key frame at 1.44 s (one every 12 pictures),
  // inside the entry (1-2 s).
  ASSERT_TRUE(QMetaObject::invokeMethod(mpris, "Seek", Q_ARG(qlonglong, 1500000)));
  EXPECT_TRUE(RunUntil([&] { return form_->Subtitles->SubtitleText == "Hello"; }, 1000))
      << "a forward MPRIS seek into an entry shows it";
}

TEST_F(MainFormCommands, AFileHandedOverBeforeTheEngineExistsIsPlayedOnceItDoes) {
  Remake("\"MultipleInst\"=dword:00000000\r\n");
  // As a second instance hands it over, while this one has no engine yet.
  const QString film = QString::fromStdString(Media("c.avi"));
  bool sent = false;
  std::thread second([&] { sent = desktop::SingleInstance::SendFileToInstance(film, 5000); });
  RunUntil([&] { return !form_->PendingOpen.isEmpty(); }, 10000);
  second.join();
  ASSERT_TRUE(sent);
  ASSERT_EQ(form_->Player, nullptr);
  form_->show();
  ASSERT_TRUE(RunUntil([&] { return form_->Player && form_->Player->State == psRunning; }));
  EXPECT_EQ(form_->CurrentFile, film.toStdString());
  EXPECT_TRUE(messages_.empty());
}

TEST_F(MainFormCommands, CannotPlayFileOpensAboveTheMainWindow) {
  form_->close();
  form_.reset();
  ui::InstallQtMessageBox();  // the real box, wrapped by the window as at start
  form_ = std::make_unique<TMainForm>(std::vector<std::string>{Media("b.avi")}, root_.string());
  QWidget* owner = nullptr;
  QString text;
  QTimer* poll = new QTimer(form_.get());
  QObject::connect(poll, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
        owner = box->parentWidget();
        text = box->text();
        box->accept();
      }
  });
  poll->start(20);
  form_->show();
  ASSERT_TRUE(RunUntil([&] { return !text.isEmpty(); }));
  EXPECT_EQ(text.toStdString(), "Cannot play file " + Media("b.avi"));
  EXPECT_EQ(owner, form_.get()) << "an ownerless box can open behind a full-screen window";
}

TEST_F(MainFormCommands, APictureLargerThanTheScreenGetsAWindowInsideIt) {
  const QRect area = form_->screen()->availableGeometry();
  ASSERT_LT(area.width(), 1280) << "the offscreen screen must be smaller than the picture";
  form_->OpenFile(Media("big.avi"));  // 1280x720
  ASSERT_TRUE(form_->PlayCurrent());
  QApplication::processEvents();
  EXPECT_LE(form_->frameGeometry().width(), area.width());
  EXPECT_LE(form_->frameGeometry().height(), area.height());
  EXPECT_NEAR(static_cast<double>(form_->width()) / form_->height(), 16.0 / 9.0, 0.01);
  EXPECT_TRUE(area.contains(form_->frameGeometry())) << "the window lies inside the screen";
}

TEST_F(MainFormCommands, APlacementOutsideEveryScreenComesBackInside) {
  Remake("\"MultipleInst\"=dword:00000001\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello\\Position]\r\n"
                "\"Left\"=dword:00001388\r\n\"Top\"=dword:00001388\r\n\"Width\"=dword:00000280\r\n"
                "\"Height\"=dword:00000168\r\n",
         "\"Centered\"=dword:00000000\r\n");
  ASSERT_EQ(Options->Left, 5000) << "the settings were not read";
  form_->show();
  QApplication::processEvents();
  const QRect area = form_->screen()->availableGeometry();
  EXPECT_TRUE(area.contains(form_->frameGeometry())) << "placed at " << form_->x() << "," << form_->y();
  EXPECT_EQ(form_->width(), 640);
  EXPECT_EQ(form_->height(), 360);
}

// The frame the grabber last passed on to the renderer, read back from its grey level (the
// clips below draw frame N at luma 20 + step * N); -1 when no picture has passed.
int FrameOnScreen(TCOMPlay* player, int step = 3) {
  ComPtr<IFrameGrabber> grabber;
  if (!player->FrameGrabber || FAILED(player->FrameGrabber->QueryInterface(IID_IFrameGrabber, grabber.PutVoid())))
    return -1;
  uint8_t* pixels = nullptr;
  int32_t size = 0, width = 0, height = 0;
  if (grabber->GetFrame(FrameFormatRGB24, 1, &pixels, &size, &width, &height) != S_OK) return -1;
  const int red = pixels[(static_cast<size_t>(height / 2) * width + width / 2) * 3 + 2];
  grabber->FreeFrame(pixels, size);
  const double luma = 16 + red * 219.0 / 255;  // limited-range grey back from full-range RGB
  return static_cast<int>(std::lround((luma - 20) / step));
}

// Makes media/NAME, lossless so that every grey level survives: frame N at luma 20 + step * N,
// `rate` frames/s for `seconds`, H.264 with the encoder options `x264` (key frames, B-frames).
std::string MakeGreyRamp(const std::filesystem::path& root, const std::string& name, int rate, int seconds, int step,
                         const std::string& x264) {
  const std::string clip = (root / "media" / name).string();
  const std::string make = "ffmpeg -loglevel error -y -f lavfi -i \"nullsrc=s=160x120:r=" + std::to_string(rate) +
                           ":d=" + std::to_string(seconds) + ",geq=lum='20+" + std::to_string(step) +
                           "*N':cb=128:cr=128\" -c:v libx264 -qp 0 " + x264 + " -pix_fmt yuv420p '" + clip + "'";
  return std::system(make.c_str()) == 0 ? clip : std::string();
}

TEST_F(MainFormCommands, AnMprisSetPositionShowsTheFrameAtTheTarget_pausedAndPlaying) {
  // 6 s at 10 frames/s, one key frame at the start, B-frames (pictures nothing refers to, which
  // the way to an exact target skips).
  const std::string clip = MakeGreyRamp(root_, "frames.mp4", 10, 6, 3, "-g 100 -bf 2");
  ASSERT_FALSE(clip.empty());
  form_->OpenFile(clip);
  ASSERT_TRUE(form_->PlayCurrent());
  TCOMPlay* player = form_->Player.get();
  ASSERT_TRUE(RunUntil([&] { return FrameOnScreen(player) >= 0; }));
  form_->MMPauseClick();
  auto* mpris = form_->findChild<MprisPlayerAdaptor*>();
  ASSERT_NE(mpris, nullptr);
  const auto setPosition = [&](qlonglong us) {
    return QMetaObject::invokeMethod(mpris, "SetPosition",
                                     Q_ARG(QDBusObjectPath, QDBusObjectPath("/org/kavello/track/current")),
                                     Q_ARG(qlonglong, us));
  };
  // Paused: the picture becomes the frame at the target, not the key frame 4 s before it, and
  // whole (the pictures skipped on the way are ones nothing refers to).
  ASSERT_TRUE(setPosition(4300000));
  EXPECT_TRUE(RunUntil([&] { return FrameOnScreen(player) == 43; }, 10000)) << "shows " << FrameOnScreen(player);
  ASSERT_TRUE(setPosition(1500000));
  EXPECT_TRUE(RunUntil([&] { return FrameOnScreen(player) == 15; }, 10000)) << "shows " << FrameOnScreen(player);
  // Playing, back from frame 20 or later to 1 s: no frame between the key frame and the
  // target (0 .. 9) passes on the way.
  form_->MMPauseClick();
  ASSERT_EQ(player->State, psRunning);
  ASSERT_TRUE(RunUntil([&] { return FrameOnScreen(player) >= 20; }));
  ASSERT_TRUE(setPosition(1000000));
  int lowest = 100;
  EXPECT_TRUE(RunUntil([&] {
    const int f = FrameOnScreen(player);
    if (f >= 0) lowest = std::min(lowest, f);
    return f >= 10 && f <= 14;
  }, 10000));
  EXPECT_GE(lowest, 10) << "a frame from before the target was shown";
  EXPECT_TRUE(messages_.empty());
}

// "Exit" while playing stops the graph where it stands: a closing program does not rewind
// and decode the first picture again (which Stop does, and which nobody would see).
TEST_F(MainFormCommands, ExitWhilePlayingStopsWithoutDecodingTheFirstPictureAgain) {
  const std::string clip = MakeGreyRamp(root_, "exit.mp4", 10, 6, 3, "-g 100");
  ASSERT_FALSE(clip.empty());
  form_->OpenFile(clip);
  ASSERT_TRUE(form_->PlayCurrent());
  TCOMPlay* player = form_->Player.get();
  ASSERT_TRUE(RunUntil([&] { return FrameOnScreen(player) >= 10; }));
  form_->Action("MMExit")->trigger();
  // Before the next tick closes the window (and frees the engine).
  EXPECT_EQ(player->State, psStopped);
  EXPECT_NE(FrameOnScreen(player), 0) << "the first picture was decoded again";
}

// The seek keys and MPRIS Seek go to a key frame: the picture is the key frame at once, and
// the position reads its time (picture and position agree). A step forward whose key frame
// before the target is not past the current position takes the next key frame instead.
TEST_F(MainFormCommands, KeyFrameSeeksShowTheKeyFrameAndReadItsTime_andAStepForwardAlwaysMoves) {
  // 24 s at 4 frames/s, a key frame every 8 s (frames 0, 32, 64), B-frames.
  const std::string clip = MakeGreyRamp(root_, "keys.mp4", 4, 24, 2, "-g 32 -keyint_min 32 -sc_threshold 0 -bf 2");
  ASSERT_FALSE(clip.empty());
  form_->OpenFile(clip);
  ASSERT_TRUE(form_->PlayCurrent());
  TCOMPlay* player = form_->Player.get();
  const auto frame = [&] { return FrameOnScreen(player, 2); };
  ASSERT_TRUE(RunUntil([&] { return frame() >= 0; }));
  form_->MMPauseClick();
  form_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get(), 5000));
  auto* mpris = form_->findChild<MprisPlayerAdaptor*>();
  ASSERT_NE(mpris, nullptr);
  ASSERT_TRUE(QMetaObject::invokeMethod(mpris, "SetPosition",
                                        Q_ARG(QDBusObjectPath, QDBusObjectPath("/org/kavello/track/current")),
                                        Q_ARG(qlonglong, 1000000)));
  ASSERT_TRUE(RunUntil([&] { return frame() == 4; }, 10000)) << "shows " << frame();
  const auto landsOn = [&](int key) {
    return RunUntil([&] { return frame() == key; }, 10000) && player->GetPosition() == key * 250;
  };
  // Paused, "Forward 10 sec" (Ins) from 1 s: the key frame at 8 s, before the target 11 s.
  QTest::keyClick(form_.get(), Qt::Key_Insert);
  EXPECT_TRUE(landsOn(32)) << "shows " << frame() << " at " << player->GetPosition() << " ms";
  QTest::keyClick(form_.get(), Qt::Key_Insert);  // 18 s: the key frame at 16 s
  EXPECT_TRUE(landsOn(64)) << "shows " << frame() << " at " << player->GetPosition() << " ms";
  QTest::keyClick(form_.get(), Qt::Key_Delete);  // "Back 10 sec" to 6 s: the key frame at 0
  EXPECT_TRUE(landsOn(0)) << "shows " << frame() << " at " << player->GetPosition() << " ms";
  // 3 s forward from 0: the key frame before the target is where we stand; the next one serves.
  ASSERT_TRUE(QMetaObject::invokeMethod(mpris, "Seek", Q_ARG(qlonglong, 3000000)));
  EXPECT_TRUE(landsOn(32)) << "shows " << frame() << " at " << player->GetPosition() << " ms";
  // Playing, back 5 s from 8-9 s: the key frame at 0 comes first, no frame on the way to 3 s.
  form_->MMPauseClick();
  ASSERT_EQ(player->State, psRunning);
  ASSERT_TRUE(RunUntil([&] { return frame() >= 33; }));
  ASSERT_TRUE(QMetaObject::invokeMethod(mpris, "Seek", Q_ARG(qlonglong, -5000000)));
  const int32_t position = player->GetPosition();
  EXPECT_LT(position, 500) << "the position reads the target, not the key frame";
  int first = -1;
  EXPECT_TRUE(RunUntil([&] {
    const int f = frame();
    if (first < 0 && f >= 0 && f < 32) first = f;
    return first >= 0;
  }, 10000));
  EXPECT_LE(first, 1) << "the first picture after the seek is not its key frame";
  EXPECT_TRUE(messages_.empty());
}

}  // namespace
}  // namespace kv
