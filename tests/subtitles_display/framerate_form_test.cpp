// TFramerateForm: its controls, OK enabled only after a change, the results, the values read
// back, and what a second showing keeps.
#include <gtest/gtest.h>

#include <QLocale>
#include <QTimer>

#include "subtitles/frate.h"
#include "view_rig.h"

namespace kv {
namespace {

TEST(FramerateForm, ControlsCarryTheirNamesAndTexts) {
  test::TestApp();
  TFramerateForm form;
  EXPECT_EQ(form.windowTitle(), "Select framerate");
  EXPECT_EQ(form.size(), QSize(282, 155));
  for (const char* name : {"FramerateLabel", "FramerateBox", "TimeOffsetLabel", "OffsetSec",
                           "TimeOffsetSecLabel", "OffsetMSec", "TimeOffsetDSecLabel",
                           "FramerateDescr", "CancelBut", "OKBut"}) {
    EXPECT_NE(form.findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
  }
  EXPECT_EQ(form.FramerateBox->count(), 7);
  EXPECT_EQ(form.FramerateBox->itemText(2), "23.976");
  EXPECT_TRUE(form.FramerateBox->isEditable());
  EXPECT_EQ(form.OffsetMSec->maximum(), 9);
}

TEST(FramerateForm, OkIsEnabledOnlyAfterAChange) {
  test::TestApp();
  TFramerateForm form;
  const std::function<void()> changes[] = {
      [&] { form.FramerateBox->setEditText("30"); },
      [&] { form.FramerateBox->setCurrentIndex(2); },
      [&] { form.OffsetSec->setValue(form.OffsetSec->value() - 1); },
      [&] { form.OffsetMSec->setValue(form.OffsetMSec->value() == 3 ? 4 : 3); },
  };
  for (const auto& change : changes) {
    form.show();
    EXPECT_FALSE(form.OKBut->isEnabled());
    change();
    EXPECT_TRUE(form.OKBut->isEnabled());
    form.hide();
  }
}

TEST(FramerateForm, ResultsOfOkCancelAndClosing) {
  test::TestApp();
  TFramerateForm form;
  QTimer::singleShot(0, &form, [&] {
    form.OffsetSec->setValue(-2);
    form.OffsetMSec->setValue(5);
    form.OKBut->click();
  });
  EXPECT_EQ(form.ShowModal(false), TFramerateForm::kResultOk);
  EXPECT_EQ(form.OffsetMs(), -2500);

  QTimer::singleShot(0, &form, [&] {
    EXPECT_FALSE(form.OKBut->isEnabled());  // disabled again on the second showing
    EXPECT_EQ(form.OffsetSec->value(), -2);  // what was typed stays
    form.OffsetSec->setValue(7);
    form.CancelBut->click();
  });
  EXPECT_EQ(form.ShowModal(true), TFramerateForm::kResultCancel);
  EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

  QTimer::singleShot(0, &form, [&] { form.close(); });
  EXPECT_EQ(form.ShowModal(false), TFramerateForm::kResultCancel);
  EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST(FramerateForm, CommaIsNoDecimalPoint) {
  test::TestApp();
  TFramerateForm form;
  form.FramerateBox->setEditText("23,976");
  EXPECT_FALSE(form.Framerate().has_value());
  form.FramerateBox->setEditText("23.976");
  EXPECT_EQ(form.Framerate(), 23.976);
}

TEST(FramerateForm, PrefilledFramerateReadsBackUnderACommaLocale) {
  test::TestApp();
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  TFramerateForm form;
  form.SetFramerateText(23.976);
  QLocale::setDefault(saved);
  EXPECT_EQ(form.FramerateBox->currentText(), "23.976");
  ASSERT_TRUE(form.Framerate().has_value());
  EXPECT_DOUBLE_EQ(*form.Framerate(), 23.976);
}

}  // namespace
}  // namespace kv
