// The plug-in chain as a person uses it, in the real main window playing a real clip:
// Filters > Video > Configure, "Kavello Picture" double-clicked into the chain, OK; then
// the filter's item in the menu opens its page, where the brightness is raised with the
// keyboard. Playback never stops and the picture gets brighter. Screenshots of before and
// after are written beside the test (plugins_before.png, plugins_after.png). Runs offscreen
// and, for the same steps on a real X display, under Xvfb (xvfb_plugins_test.sh).
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QTextEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/mainform.h"
#include "app/mainform_fixture.h"
#include "filters/effects/effect_settings.h"
#include "platform/registry/registry.h"
#include "platform/module/program_directory.h"
#include "platform/ui/messagebox.h"
#include "plugins/pluginsform.h"
#include "settings/optunit.h"

namespace kv {
namespace {


class PluginsMainFormTest : public MainWindowHarness {
 protected:
  static void SetUpTestSuite() {
    MakeHome("kavello-plugins");
    clip_ = (root_ / "clip.avi").string();
    std::string cmd = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=320x240:rate=25 -t 30 "
                      "-c:v mpeg4 -q:v 4 '" + clip_ + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    StartApplication();
  }
  void Play(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  // What the window shows: from the display when there is one, else rendered.
  QImage Shot() {
    QImage image;
    if (QGuiApplication::platformName() == "xcb" && form_->windowHandle())
      image = form_->windowHandle()->screen()->grabWindow(form_->winId()).toImage();
    if (image.isNull() || image.width() <= 1) image = form_->grab().toImage();
    return image.convertToFormat(QImage::Format_RGB32);
  }
  static double MeanLuma(const QImage& image) {
    double sum = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) sum += qGray(image.pixel(x, y));
    return sum / (double(image.width()) * image.height());
  }
  static std::string ShotPath(const char* name) {
    return std::string(KAVELLO_TEST_OUTPUT_DIR) + "/" + QGuiApplication::platformName().toStdString() + "_" + name;
  }

  // Filters > Video > Configure, "name" double-clicked into the first free slot, OK.
  void AddVideoPlugin(const QString& name) {
    QTimer::singleShot(0, form_.get(), [&] {
      QTest::qWait(100);
      auto* dialog = qobject_cast<TPluginsForm*>(QApplication::activeModalWidget());
      ASSERT_TRUE(dialog);
      auto items = dialog->FiltersList->findItems(name, Qt::MatchExactly);
      ASSERT_EQ(items.size(), 1);
      const QPoint p = dialog->FiltersList->visualItemRect(items[0]).center();
      QWidget* view = dialog->FiltersList->viewport();
      QTest::mousePress(view, Qt::LeftButton, {}, p);
      QTest::mouseDClick(view, Qt::LeftButton, {}, p);
      QTest::mouseRelease(view, Qt::LeftButton, {}, p);
      QTest::mouseClick(dialog->findChild<QDialogButtonBox*>("Buttons")->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    form_->Action("VidFiltersConfigure")->trigger();
  }

  static inline std::string clip_;
};

TEST_F(PluginsMainFormTest, ConfigureAddsPictureWhilePlaying_andItsPageBrightensThePictureLive) {
  form_->OpenFile(clip_);
  ASSERT_TRUE(form_->PlayCurrent());
  TCOMPlay* player = form_->Player.get();
  Play(1500);
  const QImage before = Shot();
  before.save(QString::fromStdString(ShotPath("plugins_before.png")));

  // Filters > Video > Configure: the dialog lists the shipped video plug-ins.
  QAction* vid1 = form_->Action("VidFilter1");
  ASSERT_TRUE(vid1);
  bool dialogSeen = false;
  QTimer::singleShot(0, form_.get(), [&] {
    QTest::qWait(100);
    auto* dialog = qobject_cast<TPluginsForm*>(QApplication::activeModalWidget());
    ASSERT_TRUE(dialog);
    dialogSeen = true;
    QStringList names;
    for (int i = 0; i < dialog->FiltersList->count(); ++i) names << dialog->FiltersList->item(i)->text();
    EXPECT_EQ(names, (QStringList{"Kavello Deinterlace", "Kavello Denoise", "Kavello Picture", "Kavello Rotate",
                                  "Kavello Sharpen"}));
    auto items = dialog->FiltersList->findItems("Kavello Picture", Qt::MatchExactly);
    ASSERT_EQ(items.size(), 1);
    QWidget* view = dialog->FiltersList->viewport();
    QTest::mouseClick(view, Qt::LeftButton, {}, dialog->FiltersList->visualItemRect(items[0]).center());
    QTest::mouseClick(view, Qt::LeftButton, {}, dialog->FiltersList->visualItemRect(items[0]).center());
    EXPECT_TRUE(dialog->FilterDescr->isVisible());  // the description, beside the narrower list
    QTest::qWait(50);
    const QPoint p = dialog->FiltersList->visualItemRect(items[0]).center();
    QTest::mousePress(view, Qt::LeftButton, {}, p);
    QTest::mouseDClick(view, Qt::LeftButton, {}, p);
    QTest::mouseRelease(view, Qt::LeftButton, {}, p);
    EXPECT_TRUE(dialog->Filter[0]->isVisible());
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>("Buttons")->button(QDialogButtonBox::Ok), Qt::LeftButton);
  });
  form_->Action("VidFiltersConfigure")->trigger();
  ASSERT_TRUE(dialogSeen);
  EXPECT_EQ(Options->VideoFilters[0].FileName, "Kavello Picture");
  EXPECT_EQ(Options->VideoFilters[0].Name, "Kavello Picture");
  EXPECT_TRUE(vid1->isVisible());
  EXPECT_EQ(vid1->text().toStdString(), "Kavello Picture");
  EXPECT_FALSE(form_->Action("VidFilter2")->isVisible());
  EXPECT_EQ(player->State, psRunning);
  ASSERT_TRUE(player->VideoPlugins[0]);
  const int32_t position = player->GetPosition();
  Play(800);
  EXPECT_GT(player->GetPosition(), position) << "playing through the plug-in";

  // The slot item opens the page; PageUp four times raises the brightness by 0.4, live.
  bool pageSeen = false;
  QTimer::singleShot(0, form_.get(), [&] {
    QTest::qWait(100);
    QWidget* frame = QApplication::activeModalWidget();
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->windowTitle().toStdString(), "Kavello Picture");
    auto* slider = frame->findChild<QSlider*>("brightness");
    ASSERT_TRUE(slider);
    pageSeen = true;
    slider->setFocus();
    for (int i = 0; i < 4; ++i) QTest::keyClick(slider, Qt::Key_PageUp);
    QTest::qWait(1500);  // the change shows while the page is still open
    QTest::mouseClick(frame->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
  });
  vid1->trigger();
  ASSERT_TRUE(pageSeen);
  Play(1000);
  EXPECT_EQ(player->State, psRunning);
  const QImage after = Shot();
  after.save(QString::fromStdString(ShotPath("plugins_after.png")));
  EXPECT_GT(MeanLuma(after), MeanLuma(before) + 30) << "before " << MeanLuma(before) << ", after " << MeanLuma(after);
  EXPECT_TRUE(messages_.empty()) << messages_.front();

  // The chain is taken out again the same way: the slot double-clicked away.
  QTimer::singleShot(0, form_.get(), [&] {
    QTest::qWait(100);
    auto* dialog = qobject_cast<TPluginsForm*>(QApplication::activeModalWidget());
    ASSERT_TRUE(dialog);
    QTest::mouseClick(dialog->Filter[0], Qt::LeftButton);
    QTest::mouseDClick(dialog->Filter[0], Qt::LeftButton);
    QTest::mouseClick(dialog->findChild<QDialogButtonBox*>("Buttons")->button(QDialogButtonBox::Ok), Qt::LeftButton);
  });
  form_->Action("VidFiltersConfigure")->trigger();
  EXPECT_EQ(Options->VideoFilters[0].FileName, "");
  EXPECT_FALSE(vid1->isVisible());
  EXPECT_FALSE(player->VideoPlugins[0]);
  EXPECT_EQ(player->State, psRunning);

  // The page's OK kept the settings for the next runs, under the player's registry key...
  {
    registry::TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyReadOnly("Software\\Tessaland\\Kavello\\Effects\\Kavello Picture"));
    EXPECT_NEAR(reg.ReadFloat("brightness").value_or(-9), 0.4, 1e-6);
    EXPECT_NEAR(reg.ReadFloat("contrast").value_or(-9), 1.0, 1e-6);
  }
  // ...and the plug-in put back into the chain starts from them: bright at once.
  AddVideoPlugin("Kavello Picture");
  ASSERT_TRUE(player->VideoPlugins[0]);
  ComPtr<effects::IKavelloEffect> settings;
  ASSERT_TRUE(SUCCEEDED(player->VideoPlugins[0]->QueryInterface(effects::IKavelloEffect::kIid, settings.PutVoid())));
  std::vector<double> values;
  settings->GetValues(&values);
  ASSERT_FALSE(values.empty());
  EXPECT_NEAR(values[0], 0.4, 1e-6);
  Play(1000);
  EXPECT_EQ(player->State, psRunning);
  EXPECT_GT(MeanLuma(Shot()), MeanLuma(before) + 30);
}

}  // namespace
}  // namespace kv
