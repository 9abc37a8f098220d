// The "Media properties" window and the video decoder's page over a playing 1080p film, on a
// real (virtual) X display: the pictures are kept in the build tree
// (tests/artifacts/properties) for a look by eye.
#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <set>

#include "filt/filt.h"
#include "player_window_fixture.h"

namespace kv::test {
namespace {

QDialog* VisibleDialog(const char* objectName) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QDialog*>(w); d && d->isVisible() && d->objectName() == objectName) return d;
  return nullptr;
}

// Grabs the whole screen into the artifact folder; the picture must not be one flat colour
// where the window lies.
void Shoot(const QString& name, QWidget* window) {
  QDir().mkpath(KAVELLO_PROPERTIES_ARTIFACT_DIR);
  QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
  ASSERT_FALSE(shot.isNull());
  const QString path = QString(KAVELLO_PROPERTIES_ARTIFACT_DIR) + "/" + name;
  ASSERT_TRUE(shot.save(path)) << path.toStdString();
  const QImage image = shot.toImage();
  const QRect area = window->frameGeometry().intersected(image.rect());
  std::set<QRgb> colours;
  for (int y = area.top(); y < area.bottom(); y += 7)
    for (int x = area.left(); x < area.right(); x += 7) colours.insert(image.pixel(x, y));
  EXPECT_GT(colours.size(), 4u) << "the window area of " << path.toStdString() << " is flat";
}

class PropertiesScreenshotTest : public PlayerWindowFixture {
 protected:
  static void SetUpTestSuite() {
    SetUpEnvironment();
    MakeMedia("hd.mp4",
              "-f lavfi -i testsrc2=size=1920x1080:rate=25 -f lavfi -i sine=frequency=440:sample_rate=48000 -t 10 "
              "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a aac -b:a 128k -ac 2");
  }
  static void TearDownTestSuite() { TearDownEnvironment(); }
};

TEST_F(PropertiesScreenshotTest, MediaPropertiesOverAPlayingFilm) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  form_->OpenFile(Media("hd.mp4"));
  ASSERT_TRUE(form_->PlayCurrent());
  ASSERT_TRUE(RunUntil([&] { return form_->Player->GetPosition() > 500; }));
  bool inside = false;
  QTimer later;
  later.setSingleShot(true);
  QObject::connect(&later, &QTimer::timeout, [&] {
    inside = true;
    TFiltersForm* window = form_->FiltersForm;  // made by its first opening
    ASSERT_NE(window, nullptr);
    QListWidget* list = window->Filters;
    const auto found = list->findItems("Kavello Video Decoder", Qt::MatchExactly);
    ASSERT_FALSE(found.isEmpty());
    const QPoint at = list->visualItemRect(found[0]).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    RunUntil([] { return false; }, 1200);
    Shoot("media_properties.png", window);

    // The decoder's page, live.
    QTimer pageLater;
    pageLater.setSingleShot(true);
    QObject::connect(&pageLater, &QTimer::timeout, [&] {
      QDialog* frame = VisibleDialog("PropertyFrame");
      ASSERT_NE(frame, nullptr);
      auto* decoded = frame->findChild<QLabel*>("FramesDecoded");
      ASSERT_NE(decoded, nullptr);
      const long first = decoded->text().toLong();
      EXPECT_TRUE(RunUntil([&] { return decoded->text().toLong() > first + 10; }, 20000));
      Shoot("video_decoder_page.png", frame);
      QTest::mouseClick(frame->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    });
    pageLater.start(0);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseClick(window->OKBut, Qt::LeftButton);
  });
  later.start(0);
  form_->Action("MMProperties")->trigger();
  EXPECT_TRUE(inside);
}

}  // namespace
}  // namespace kv::test
