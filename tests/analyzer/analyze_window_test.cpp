// "Open file to analyze" as a user runs it, on a real (virtual) X display the test starts:
// the main window's menu command, the file dialog, the analyzer window whose chart fills
// while the file runs unclocked, Save with its dialog, and the same table from
// `kavello --analyze` byte for byte; a batch of two files saves both tables by itself, also
// when a stream error stops the first; a click in the chart ends the analysis. Skipped
// without Xvfb.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "lib/xvfb_server.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "analyzer/StatForm.h"
#include "app/mainform.h"
#include "debugsup/debugsup.h"
#include "filters/stats/statistics_filter.h"
#include "filters/video/picture_formats.h"
#include "platform/com/class_registry.h"
#include "platform/module/program_directory.h"
#include "platform/ui/messagebox.h"

namespace kv {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class AnalyzeWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char tmpl[] = "/tmp/kavello-analyze-XXXXXX";
    root_ = mkdtemp(tmpl);
    for (const char* d : {"config/kavello", "media", "runtime", "data"}) fs::create_directories(root_ / d);
    fs::permissions(root_ / "runtime", fs::perms::owner_all);
    setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (root_ / "data").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (root_ / "runtime").c_str(), 1);
    setenv("HOME", root_.c_str(), 1);
    setenv("PULSE_SERVER", "unix:/nonexistent", 1);  // no sound: the analysis is muted anyway
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    unsetenv("QT_QPA_PLATFORMTHEME");
    std::ofstream(root_ / "config/kavello/user.reg")
        << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Tessaland\\Kavello]\r\n"
        << "\"Version\"=\"2.3.0.0\"\r\n\"MultipleInst\"=dword:00000001\r\n";
    const fs::path m = root_ / "media";
    const std::string ff = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 ";
    ASSERT_EQ(std::system((ff + "-t 60 -c:v libx264 -preset ultrafast -g 50 -pix_fmt yuv420p '" + (m / "clip60.mkv").string() + "'").c_str()), 0);
    ASSERT_EQ(std::system((ff + "-t 2 -c:v mpeg4 -q:v 5 '" + (m / "a.avi").string() + "'").c_str()), 0);
    ASSERT_EQ(std::system((ff + "-t 3 -c:v libx264 -preset ultrafast '" + (m / "b.mkv").string() + "'").c_str()), 0);
    ASSERT_EQ(std::system(("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=176x144:rate=25 -t 4 "
                           "-c:v mpeg4 '" + (m / "broken.avi").string() + "'").c_str()), 0);
    SetProgramDirectoryForTesting(KAVELLO_PROGRAM_DIR);
    static kv::test::TXvfb xvfb;
    if (!xvfb.Start("1280x800x24")) return;
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    static int argc = 1;
    static char arg0[] = "analyzer_window_tests";
    static char* argv[] = {arg0, nullptr};
    app_ = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  void SetUp() override {
    if (!app_) GTEST_SKIP() << "no Xvfb";
    messages_.clear();
    previous_ = ui::SetMessageBoxHandler(
        [](const std::string& text, const std::string&) { messages_.push_back(text); });
    form_ = std::make_unique<TMainForm>(std::vector<std::string>{}, root_.string());
    ASSERT_TRUE(form_->ShowMainForm());
    form_->show();
    RunUntil([&] { return form_->Player != nullptr; });
  }
  void TearDown() override {
    if (!app_) return;
    form_->close();
    form_.reset();
    ui::SetMessageBoxHandler(previous_);
  }

  template <class F>
  bool RunUntil(F done, int limitMs = 120000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < limitMs) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
  }

  // Answers the next file dialog: `names` (quoted, space-separated for several) in `dir`.
  void AnswerDialog(const QString& dir, const QString& names) {
    auto* poll = new QTimer();
    QObject::connect(poll, &QTimer::timeout, [poll, dir, names]() {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (!dialog) return;
      poll->stop();
      poll->deleteLater();
      dialog->setDirectory(dir);
      auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      ASSERT_NE(edit, nullptr);
      edit->setText(names);
      QTest::keyClick(edit, Qt::Key_Return);  // as the user confirms
    });
    poll->start(50);
  }

  QAction* FormAction(QWidget* w, const char* name) { return w->findChild<QAction*>(QString::fromLatin1(name)); }
  std::string Media(const char* name) { return (root_ / "media" / name).string(); }

  static inline fs::path root_;
  static inline QApplication* app_ = nullptr;
  static inline std::vector<std::string> messages_;
  ui::MessageBoxHandler previous_;
  std::unique_ptr<TMainForm> form_;
};

TEST_F(AnalyzeWindowTest, OpenFileToAnalyze_chartFillsWhileRunning_andSaveMatchesTheCommandLine) {
  AnswerDialog(QString::fromStdString((root_ / "media").string()), QStringLiteral("clip60.mkv"));
  form_->Action("MMFileAnalyze")->trigger();
  ASSERT_TRUE(form_->AnalyzeMode);
  TStatForm* stat = form_->StatForm;
  ASSERT_NE(stat, nullptr);
  EXPECT_TRUE(stat->isVisible());
  EXPECT_EQ(stat->windowTitle(), QStringLiteral("Analyze"));
  // While the file runs (unclocked), the chart shows frames that keep coming.
  ASSERT_TRUE(RunUntil([&] { return stat->Table().Count() > 100; }));
  EXPECT_EQ(form_->Player->State, psRunning);
  RunUntil([&] { return stat->DrawnColumns() > 10; }, 5000);
  EXPECT_GT(stat->DrawnColumns(), 10);
  const QString shot = QStringLiteral(KAVELLO_PROGRAM_DIR "/tests/analyzer-window.png");
  stat->grab().save(shot);
  // To the end: 60 s of 25 frames per second, much faster than real time.
  ASSERT_TRUE(RunUntil([&] { return !form_->AnalyzeMode; }));
  EXPECT_EQ(stat->Table().Count(), 1500);
  // The window's 100 ms timer shows the totals.
  EXPECT_TRUE(RunUntil([&] { return stat->FrameInfo->item(1, 2)->text() == QStringLiteral("1500"); }, 5000));
  EXPECT_FALSE(stat->FrameInfo->item(7, 2)->text().isEmpty());  // the mean bit rate
  EXPECT_EQ(stat->VidFramesScrollBar->maximum(), 1499);
  // A single file is not saved by itself; Save with the dialog writes it.
  EXPECT_FALSE(fs::exists(root_ / "media/clip60.cvs"));
  fs::create_directories(root_ / "saved");
  AnswerDialog(QString::fromStdString((root_ / "saved").string()), QStringLiteral("window.cvs"));
  FormAction(stat, "MMSave")->trigger();
  const std::string fromWindow = ReadAll(root_ / "saved/window.cvs");
  ASSERT_FALSE(fromWindow.empty());

  const std::string command = "env -u DISPLAY " KAVELLO_PROGRAM_DIR "/kavello --analyze '" + Media("clip60.mkv") +
                              "' > '" + (root_ / "cli.txt").string() + "' 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << ReadAll(root_ / "cli.txt");
  EXPECT_EQ(ReadAll(root_ / "media/clip60.cvs"), fromWindow);
  EXPECT_NE(ReadAll(root_ / "cli.txt").find("1500 frames"), std::string::npos);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(AnalyzeWindowTest, BatchOfTwoFiles_savesEachTableBesideItsFile) {
  fs::remove(root_ / "media/a.cvs");
  fs::remove(root_ / "media/b.cvs");
  AnswerDialog(QString::fromStdString((root_ / "media").string()), QStringLiteral("\"a.avi\" \"b.mkv\""));
  form_->Action("MMFileAnalyze")->trigger();
  ASSERT_EQ(form_->AnalyzeList.size(), 2u);
  ASSERT_TRUE(RunUntil([&] { return !form_->AnalyzeMode; }));
  EXPECT_EQ(form_->CurrentFile, Media("b.mkv"));
  const std::string a = ReadAll(root_ / "media/a.cvs");
  const std::string b = ReadAll(root_ / "media/b.cvs");
  EXPECT_EQ(std::count(a.begin(), a.end(), '\n'), 51);  // header + 2 s at 25 frames/s
  EXPECT_EQ(std::count(b.begin(), b.end(), '\n'), 76);
  EXPECT_EQ(form_->StatForm->Table().Count(), 75);  // the window shows the last file
}

// A filter that dies in the middle of a file, as a faulty plug-in or source may: the
// statistics filter on decoded pictures, failing from the 20th 176x144 picture on and
// passing nothing on after that, not even the end of stream, so that only the graph's
// error event tells the window. (None of the damaged clips makes our own filters fail:
// they end their streams early instead, and a failed filter of ours still passes the end
// of stream on.)
class TFailingPictureStatistics : public TStatisticsFilter {
 public:
  HRESULT TransformInPlace(IMediaSample* sample) override {
    std::optional<video::TPictureGeometry> g = video::ReadPictureType(InputPin()->CurrentMediaType());
    if (g && g->width == 176 && ++pictures_ >= 20) return E_FAIL;
    return TStatisticsFilter::TransformInPlace(sample);
  }
  HRESULT EndOfStream() override { return pictures_ >= 20 ? S_OK : TStatisticsFilter::EndOfStream(); }

 private:
  std::atomic<int> pictures_{0};
};

TEST_F(AnalyzeWindowTest, BatchWhoseFirstFileStopsWithAStreamError_logsItAndGoesOnWithTheNext) {
  TClassRegistration failing;
  failing.clsid = CLSID_StatisticsFilter;
  failing.friendlyName = "Statistics Filter";
  failing.merit = MERIT_DO_NOT_USE;
  failing.inputTypes = {{GUID_NULL, GUID_NULL}};
  failing.outputTypes = {{GUID_NULL, GUID_NULL}};
  failing.factory = [](const IID& iid, void** out) { return CreateComObject<TFailingPictureStatistics>(iid, out); };
  ClassRegistry().RegisterFilter(std::move(failing));
  const fs::path log = root_ / "debug.log";
  Debug.SetFileName(log.string());
  Debug.Enabled = true;
  fs::remove(root_ / "media/broken.cvs");
  fs::remove(root_ / "media/b.cvs");

  form_->AnalyzeFiles({Media("broken.avi"), Media("b.mkv")});
  const bool ended = RunUntil([&] { return !form_->AnalyzeMode; });
  Debug.Enabled = false;
  RegisterStatisticsFilter();  // the real one again
  ASSERT_TRUE(ended) << "the batch waits after the stream error";
  EXPECT_EQ(form_->CurrentFile, Media("b.mkv"));
  // The broken file's table holds what was analysed before the error; the next is whole.
  const std::string broken = ReadAll(root_ / "media/broken.cvs");
  EXPECT_GE(std::count(broken.begin(), broken.end(), '\n'), 2);
  const std::string b = ReadAll(root_ / "media/b.cvs");
  EXPECT_EQ(std::count(b.begin(), b.end(), '\n'), 76);
  const std::string logged = ReadAll(log);
  EXPECT_NE(logged.find("Analysis of " + Media("broken.avi") + " stopped by a stream error: Playback stopped because a filter failed."),
            std::string::npos)
      << logged;
  EXPECT_TRUE(messages_.empty());
}

TEST_F(AnalyzeWindowTest, ClickInTheChart_endsTheAnalysisAndSeeks_andStopEndsItToo) {
  form_->AnalyzeFiles({Media("clip60.mkv")});
  TStatForm* stat = form_->StatForm;
  ASSERT_TRUE(RunUntil([&] { return stat->Table().Count() > 60; }));
  QTest::mouseMove(stat->VidFrames, QPoint(stat->Zoom() * 10 + 1, 20));
  QTest::mouseClick(stat->VidFrames, Qt::LeftButton, {}, QPoint(stat->Zoom() * 10 + 1, 20));
  EXPECT_EQ(stat->CurrentFrame(), 10);
  EXPECT_FALSE(form_->AnalyzeMode);
  // The records after the click are dropped: the table stops growing.
  QApplication::processEvents();
  const int32_t count = stat->Table().Count();
  QTest::qWait(300);
  EXPECT_EQ(stat->Table().Count(), count);

  form_->AnalyzeFiles({Media("clip60.mkv")});
  ASSERT_TRUE(form_->AnalyzeMode);
  form_->MMStopClick();
  EXPECT_FALSE(form_->AnalyzeMode);
}

}  // namespace
}  // namespace kv
