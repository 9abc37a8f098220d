// The "Media properties" window over a playing clip, on the real main window offscreen with
// a private sound server: the filter list is the graph kavello-graph prints for this
// process, the pins of a filter with their connections and types, "Properties" enabled
// exactly for filters with pages, the live video decoder page and its thread setting that
// takes effect on the next open, and the texts after the file is closed.
#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "filt/filt.h"
#include "filters/info/filter_info.h"
#include "player_window_fixture.h"

namespace kv::test {
namespace {

std::vector<std::string> Items(QListWidget* list) {
  std::vector<std::string> out;
  for (int i = 0; i < list->count(); ++i) out.push_back(list->item(i)->text().toStdString());
  return out;
}

// The filter names kavello-graph prints for the graph of this process.
std::vector<std::string> GraphToolFilters() {
  const std::string command = std::string(KAVELLO_PROGRAM_DIR) + "/kavello-graph --all";
  FILE* pipe = popen(command.c_str(), "r");
  std::string text;
  char buffer[4096];
  size_t n;
  while (pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
  if (pipe) pclose(pipe);
  char pid[32];
  std::snprintf(pid, sizeof pid, "pid %08X", static_cast<unsigned>(getpid()));
  std::vector<std::string> names;
  bool ours = false;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && std::isdigit(static_cast<unsigned char>(line[0])) && line.find(": ") != std::string::npos)
      ours = line.find(pid) != std::string::npos;
    if (ours && line.rfind("filter \"", 0) == 0) names.push_back(line.substr(8, line.find('"', 8) - 8));
  }
  return names;
}

QDialog* VisibleDialog(const char* objectName) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && d->objectName() == objectName) return d;
  return nullptr;
}

class PropertiesTest : public PlayerWindowFixture {
 protected:
  static void SetUpTestSuite() {
    SetUpEnvironment();
    // A 1080p H.264 + AAC film, and a film with a second audio stream that stays unconnected.
    MakeMedia("hd.mp4",
              "-f lavfi -i testsrc2=size=1920x1080:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 -t 8 "
              "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 128k -ac 2");
    MakeMedia("two.mkv",
              "-f lavfi -i testsrc2=size=320x240:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 "
              "-f lavfi -i sine=frequency=880:sample_rate=48000 -t 3 -map 0:v -map 1:a -map 2:a "
              "-c:v mpeg4 -q:v 5 -c:a libvorbis");
  }
  static void TearDownTestSuite() { TearDownEnvironment(); }

  TFiltersForm* Window() { return form_->FiltersForm; }
  void Play(const char* name) {
    form_->OpenFile(Media(name));
    ASSERT_TRUE(form_->PlayCurrent());
    ASSERT_TRUE(RunUntil([&] { return form_->Player->GetPosition() > 300; }));
  }
  // Clicks the filter of that name in "Used filters" with the mouse.
  void ClickFilter(const std::string& name, bool twice = false) {
    QListWidget* list = Window()->Filters;
    const auto found = list->findItems(QString::fromStdString(name), Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty()) << name;
    list->scrollToItem(found[0]);
    const QPoint at = list->visualItemRect(found[0]).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice) QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  }
  // Runs `inside` while the properties window is shown modally from the menu, then closes it
  // with its OK button.
  template <class F>
  void WithPropertiesWindow(F inside) {
    bool ran = false;
    QTimer later;  // dies with this scope: never fires into another test
    later.setSingleShot(true);
    QObject::connect(&later, &QTimer::timeout, [&] {
      EXPECT_TRUE(Window()->isVisible());
      EXPECT_TRUE(Window()->isModal());
      inside();
      ran = true;
      QTest::mouseClick(Window()->OKBut, Qt::LeftButton);
    });
    later.start(0);
    form_->Action("MMProperties")->trigger();
    EXPECT_TRUE(ran);
    EXPECT_FALSE(Window()->isVisible());
  }
  // Opens the pages of `filter` by a double click and runs `inside` while the frame is up;
  // `accept` closes it with OK, else Cancel.
  template <class F>
  void WithPages(const std::string& filter, bool accept, F inside) {
    bool shown = false;
    QTimer later;
    later.setSingleShot(true);
    QObject::connect(&later, &QTimer::timeout, [&] {
      QDialog* frame = VisibleDialog("PropertyFrame");
      ASSERT_NE(frame, nullptr);
      shown = true;
      EXPECT_EQ(frame->windowTitle().toStdString(), filter);
      inside(frame);
      auto* box = frame->findChild<QDialogButtonBox*>();
      QTest::mouseClick(box->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel), Qt::LeftButton);
    });
    later.start(0);
    ClickFilter(filter, true);
    EXPECT_TRUE(shown) << filter;
  }
  static std::string Label(QWidget* parent, const char* name) {
    auto* label = parent->findChild<QLabel*>(name);
    return label ? label->text().toStdString() : "(missing " + std::string(name) + ")";
  }
};

TEST_F(PropertiesTest, PlayingHdFilm_listsTheWholeGraphAsTheGraphToolPrintsIt_withTexts) {
  KV_REQUIRE_PULSE();
  Play("hd.mp4");
  WithPropertiesWindow([&] {
    const std::vector<std::string> listed = Items(Window()->Filters);
    EXPECT_EQ(listed, GraphToolFilters());
    EXPECT_EQ(listed, form_->Player->FilterNames());
    for (const char* expected : {"Statistics Filter", "Kavello Video Decoder", "Kavello Audio Decoder",
                                 "Video Frame Grabber", "Video Renderer"})
      EXPECT_NE(std::find(listed.begin(), listed.end(), expected), listed.end()) << expected;
    EXPECT_GE(std::count_if(listed.begin(), listed.end(),
                            [](const std::string& n) { return n.rfind("Statistics Filter", 0) == 0; }),
              2);  // the compressed video and the audio (the picture's only for analysis)
    EXPECT_EQ(Window()->MediaName->text(), "hd.mp4");
    EXPECT_EQ(Window()->VideoSize->text(), "1920x1080 (16:9)");
    EXPECT_EQ(Window()->Framerate->text(), "25 fps");
    EXPECT_EQ(Window()->MediaLength->text(), "0:00:08.000");
    EXPECT_EQ(Window()->AudioFreq->text(), "48000 Hz");
    EXPECT_EQ(Window()->AudioChannels->text(), "Stereo");
    EXPECT_TRUE(Window()->MediaSize->text().endsWith(" kB") || Window()->MediaSize->text().endsWith(" MB"));

    // The decoder: input from the statistics filter, output to the frame grabber, types shown.
    ClickFilter("Kavello Video Decoder");
    EXPECT_EQ(Items(Window()->InPins), std::vector<std::string>{"In -> Statistics Filter"});
    EXPECT_EQ(Items(Window()->OutPins), std::vector<std::string>{"Out -> Video Frame Grabber"});
    EXPECT_TRUE(Window()->PinMediaType->text().contains("1920x1080")) << Window()->PinMediaType->text().toStdString();
    EXPECT_TRUE(Window()->FProperties->isEnabled());
    // The statistics filter has no pages.
    ClickFilter("Statistics Filter");
    EXPECT_FALSE(Window()->FProperties->isEnabled());
  });
  EXPECT_TRUE(messages_.empty());
}

TEST_F(PropertiesTest, FilterWithAnUnconnectedPin_listsItWithoutArrow) {
  KV_REQUIRE_PULSE();
  Play("two.mkv");
  WithPropertiesWindow([&] {
    ClickFilter("Splitter");
    const auto out = Items(Window()->OutPins);
    ASSERT_EQ(out.size(), 3u);
    EXPECT_NE(out[0].find(" -> "), std::string::npos);
    EXPECT_NE(out[1].find(" -> "), std::string::npos);
    EXPECT_EQ(out[2], form_->Player->AudioStreams[1]);
    EXPECT_EQ(Items(Window()->InPins), std::vector<std::string>{"Input -> Source"});
    Window()->OutPins->setCurrentRow(2);
    EXPECT_EQ(Window()->PinMediaType->text(), "(not connected)");
    EXPECT_TRUE(Window()->FProperties->isEnabled());  // the demultiplexer has a page
  });
}

TEST_F(PropertiesTest, VideoDecoderPage_countsFramesLive_andItsThreadSettingTakesEffectOnTheNextOpen) {
  KV_REQUIRE_PULSE();
  Play("hd.mp4");
  WithPropertiesWindow([&] {
    WithPages("Kavello Video Decoder", true, [&](QDialog* frame) {
      auto* tabs = frame->findChild<QTabWidget*>();
      ASSERT_NE(tabs, nullptr);
      EXPECT_EQ(tabs->tabText(0), "Video decoder");
      EXPECT_NE(Label(frame, "Codec").find("h264"), std::string::npos);
      EXPECT_EQ(Label(frame, "PictureSize"), "1920x1080");
      const long first = std::stol(Label(frame, "FramesDecoded"));
      // The page refreshes itself once a second while the film plays.
      EXPECT_TRUE(RunUntil([&] { return std::stol(Label(frame, "FramesDecoded")) > first + 10; }, 20000))
          << first << " then " << Label(frame, "FramesDecoded");
      auto* threads = frame->findChild<QSpinBox*>("ThreadSetting");
      ASSERT_NE(threads, nullptr);
      EXPECT_EQ(threads->value(), 0);
      // Two clicks on the box's up arrow (keys reach the player's key table from every window).
      QStyleOptionSpinBox option;
      option.initFrom(threads);
      option.subControls = QStyle::SC_SpinBoxUp;
      option.stepEnabled = QAbstractSpinBox::StepUpEnabled;
      const QPoint up =
          threads->style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, threads).center();
      QTest::mouseClick(threads, Qt::LeftButton, {}, up);
      QTest::mouseClick(threads, Qt::LeftButton, {}, up);
      EXPECT_EQ(threads->value(), 2);
    });
  });
  auto threadsOf = [&](int32_t* inUse, int32_t* setting) {
    ComPtr<IVideoDecoderInfo> info;
    ASSERT_TRUE(SUCCEEDED(form_->Player->VideoDecoder->QueryInterface(IVideoDecoderInfo::kIid, info.PutVoid())));
    TVideoDecoderInfo v;
    info->GetVideoDecoderInfo(&v);
    *inUse = v.ThreadsInUse;
    *setting = v.ThreadSetting;
  };
  int32_t inUse = 0, setting = 0;
  threadsOf(&inUse, &setting);
  EXPECT_EQ(setting, 2);
  // The next open decodes with two threads.
  form_->MMStopClick();
  ASSERT_TRUE(form_->PlayCurrent());
  threadsOf(&inUse, &setting);
  EXPECT_EQ(inUse, 2);
  // Back to one thread per core for the other tests.
  ComPtr<IVideoDecoderInfo> info;
  form_->Player->VideoDecoder->QueryInterface(IVideoDecoderInfo::kIid, info.PutVoid());
  EXPECT_EQ(info->SetThreadSetting(0), S_OK);
  EXPECT_EQ(info->SetThreadSetting(17), E_INVALIDARG);
}

TEST_F(PropertiesTest, EveryBuiltInPage_showsWhatItsFilterIsDoing) {
  KV_REQUIRE_PULSE();
  Play("hd.mp4");
  WithPropertiesWindow([&] {
    WithPages("Splitter", false, [&](QDialog* frame) {
      EXPECT_NE(Label(frame, "Container").find("mp4"), std::string::npos) << Label(frame, "Container");
    });
    WithPages("Kavello Audio Decoder", false, [&](QDialog* frame) {
      EXPECT_NE(Label(frame, "Codec").find("aac"), std::string::npos);
      EXPECT_EQ(Label(frame, "InputFormat").rfind("48000 Hz, 2 channels", 0), 0u) << Label(frame, "InputFormat");
    });
    WithPages("Video Renderer", false, [&](QDialog* frame) {
      EXPECT_EQ(Label(frame, "PictureSize"), "1920x1080");
      EXPECT_TRUE(RunUntil([&] { return Label(frame, "FramesDrawn") != "0"; }, 20000));
    });
    FILTER_INFO renderer;
    ASSERT_TRUE(form_->Player->AudioRenderer);
    form_->Player->AudioRenderer->QueryFilterInfo(&renderer);
    WithPages(renderer.achName, false, [&](QDialog* frame) {
      EXPECT_EQ(Label(frame, "Format").rfind("48000 Hz", 0), 0u) << Label(frame, "Format");
      EXPECT_EQ(Label(frame, "Volume").find("?"), std::string::npos);
    });
  });
}

TEST_F(PropertiesTest, ClosingTheFile_blanksTheVideoTextsAndEmptiesTheLists) {
  KV_REQUIRE_PULSE();
  Play("two.mkv");
  WithPropertiesWindow([&] { EXPECT_GT(Window()->Filters->count(), 0); });
  form_->MMCloseFileClick();
  WithPropertiesWindow([&] {
    EXPECT_EQ(Window()->Filters->count(), 0);
    EXPECT_EQ(Window()->InPins->count(), 0);
    for (QLabel* label : {Window()->MediaName, Window()->MediaSize, Window()->MediaLength, Window()->VideoSize,
                          Window()->Framerate, Window()->VideoCompression})
      EXPECT_EQ(label->text(), "?") << label->objectName().toStdString();
  });
  EXPECT_EQ(form_->Duration, 0);
}

}  // namespace
}  // namespace kv::test
