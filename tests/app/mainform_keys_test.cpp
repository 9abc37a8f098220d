// The key table through real key events to the real window: it acts for the main window
// only, once per key message, marks a key handled only when its row ran, and leaves the
// program's own dialogs their keys.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "mainform_fixture.h"
#include "osd/osdunit.h"
#include "settings/optunit.h"
#include "subtitles/frate.h"
#include "subtitles/subtitle_controller.h"

namespace kv {
namespace {

// Counts the key presses that reach a widget, that is, that the key table let pass.
class KeyRecorder : public QObject {
 public:
  std::vector<int> keys;
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) keys.push_back(static_cast<QKeyEvent*>(event)->key());
    return false;
  }
};

class MainFormKeys : public MainFormTest {
 protected:
  void Activate(QWidget* w) {
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w, 5000));
  }
  void StartClip() {
    form_->OpenFile(Media("a.avi"));
    ASSERT_TRUE(form_->PlayCurrent());
    Activate(form_.get());
  }
};

TEST_F(MainFormKeys, EachKeyActsOnce_andOnlyARowThatRanMarksItHandled) {
  StartClip();
  KeyRecorder passed;
  form_->VideoArea->installEventFilter(&passed);
  QWidget* target = form_->VideoArea;
  QTest::keyClick(target, 'z');
  EXPECT_TRUE(form_->ZoomMode);
  QTest::keyClick(target, '+');
  EXPECT_EQ(OnScreen->MessageText(), "Zoom 1.25x") << "one key message, one step";
  QTest::keyClick(target, '+');
  EXPECT_EQ(OnScreen->MessageText(), "Zoom 1.50x") << "the next press is a new message and acts";
  EXPECT_TRUE(passed.keys.empty()) << "handled keys do not reach the window";
  // Keys whose row does nothing here pass on: teletext keys without teletext, digits, and
  // "+" outside zoom and crop mode.
  QTest::keyClick(target, 'z');
  ASSERT_FALSE(form_->ZoomMode);
  for (char c : {'t', '5', '+', 'q'}) QTest::keyClick(target, c);
  QTest::keyClick(target, Qt::Key_T, Qt::ControlModifier);
  QTest::keyClick(target, Qt::Key_S, Qt::ControlModifier);
  // (Control itself is never handled: it passes as well.)
  EXPECT_EQ(passed.keys, (std::vector<int>{Qt::Key_T, Qt::Key_5, Qt::Key_Plus, Qt::Key_Q, Qt::Key_Control, Qt::Key_T,
                                           Qt::Key_Control, Qt::Key_S}));
  form_->VideoArea->removeEventFilter(&passed);
}

TEST_F(MainFormKeys, TheControlPanelWindowKeepsTheLetterKeys) {
  StartClip();
  // As the control panel library makes its window: a tool window the main window owns.
  QWidget panel(form_.get(), Qt::Tool);
  panel.resize(200, 60);
  panel.show();
  Activate(&panel);
  QTest::keyClick(&panel, 'z');
  EXPECT_TRUE(form_->ZoomMode) << "a letter pressed in the control panel did not reach the key table";
}

TEST_F(MainFormKeys, CaptureKeySaysCaptureIsOff) {
  Options->CaptureEnabled = false;
  form_->ApplyEngineSettings();
  StartClip();
  QTest::keyClick(form_->VideoArea, 's');
  EXPECT_EQ(OnScreen->StatusText(), "Frame capture disabled");
  Options->CaptureEnabled = true;
  form_->ApplyEngineSettings();
}

TEST_F(MainFormKeys, TheFramerateDialogKeepsDigitsMinusArrowsAndEditingKeys) {
  StartClip();
  QTest::keyClick(form_->VideoArea, 'z');
  QTest::keyClick(form_->VideoArea, '+');
  ASSERT_DOUBLE_EQ(form_->Player->ZoomFactor, 1.25);
  // A subtitle choice enables "Change framerate".
  QMenu* menu = form_->Action("MMSubtitles")->menu();
  for (QAction* a : menu->actions())
    if (a->text() == "a.srt") a->trigger();
  QAction* change = form_->Subtitles->MMChangeframerate();
  ASSERT_TRUE(change && change->isEnabled());

  QString rate, offset;
  bool seen = false;
  QTimer::singleShot(0, [&] {
    TFramerateForm* dialog = nullptr;
    (void)QTest::qWaitFor([&] {
      dialog = static_cast<TFramerateForm*>(form_->findChild<QDialog*>(QStringLiteral("FramerateForm")));
      return dialog && dialog->isVisible();
    }, 5000);
    if (!dialog) return;
    seen = true;
    Activate(dialog);
    dialog->FramerateBox->setFocus();
    dialog->FramerateBox->lineEdit()->clear();
    QTest::keyClicks(dialog->FramerateBox->lineEdit(), "23.976");
    QTest::keyClick(dialog->FramerateBox->lineEdit(), Qt::Key_Left);
    QTest::keyClick(dialog->FramerateBox->lineEdit(), Qt::Key_Backspace);  // "23.96"
    rate = dialog->FramerateBox->currentText();
    dialog->OffsetSec->setFocus();
    dialog->OffsetSec->findChild<QLineEdit*>()->selectAll();
    QTest::keyClicks(dialog->OffsetSec, "-12");
    QTest::keyClick(dialog->OffsetSec, Qt::Key_Down);  // -13
    offset = dialog->OffsetSec->text();
    // Editing keys stay editing keys: Control+Z and Control+C are not zoom off and crop off.
    QTest::keyClick(dialog->OffsetSec, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(dialog->OffsetSec, Qt::Key_C, Qt::ControlModifier);
    dialog->CancelBut->click();
  });
  change->trigger();
  ASSERT_TRUE(seen) << "the framerate dialog did not open";
  EXPECT_EQ(rate, "23.96");
  EXPECT_EQ(offset, "-13");
  EXPECT_DOUBLE_EQ(form_->Player->ZoomFactor, 1.25) << "Control+Z in the dialog reached the zoom";
  EXPECT_EQ(OnScreen->MessageText(), "Zoom 1.25x");
}

}  // namespace
}  // namespace kv
