// TFramerateForm: its controls, OK enabled only after a change, the results, the values read
// back, and what a second showing keeps.
#include <gtest/gtest.h>

#include <QLocale>
#include <QTimer>

#include "subtitles/frate.h"
#include "view_rig.h"

namespace kv {
namespace {

TEST(FramerateForm, ControlsAreNamedAndPlaced) {
  test::TestApp();
  TFramerateForm form;
  EXPECT_EQ(form.windowTitle(), "Select framerate");
  EXPECT_EQ(form.size(), QSize(282, 155));
  struct Row { const char* name; QRect bounds; const char* text; };
  for (const Row& r : {Row{"FramerateLabel", {8, 16, 82, 13}, "Subtitle framerate"},
                       Row{"FramerateBox", {128, 8, 145, 21}, nullptr},
                       Row{"TimeOffsetLabel", {8, 48, 52, 13}, "Time offset"},
                       Row{"OffsetSec", {128, 40, 41, 22}, nullptr},
                       Row{"TimeOffsetSecLabel", {176, 48, 17, 13}, "sec"},
                       Row{"OffsetMSec", {208, 40, 33, 22}, nullptr},
                       Row{"TimeOffsetDSecLabel", {248, 48, 28, 13}, "1/10s"},
                       Row{"FramerateDescr", {8, 72, 257, 49}, nullptr},
                       Row{"CancelBut", {72, 128, 71, 22}, "Cancel"},
                       Row{"OKBut", {144, 128, 71, 22}, "OK"}}) {
    QWidget* w = form.findChild<QWidget*>(QLatin1String(r.name));
    ASSERT_NE(w, nullptr) << r.name;
    EXPECT_EQ(w->geometry(), r.bounds) << r.name;
    if (r.text) {
      const QString text = w->property("text").toString();
      EXPECT_EQ(text, QLatin1String(r.text)) << r.name;
    }
  }
  QStringList items;
  for (int i = 0; i < form.FramerateBox->count(); ++i) items << form.FramerateBox->itemText(i);
  EXPECT_EQ(items, QStringList({"15", "20", "23.976", "24", "25", "29.97", "30"}));
  EXPECT_TRUE(form.FramerateBox->isEditable());
  EXPECT_EQ(form.OffsetMSec->minimum(), 0);
  EXPECT_EQ(form.OffsetMSec->maximum(), 9);
  EXPECT_EQ(form.OffsetSec->value(), 0);
  EXPECT_TRUE(form.FramerateDescr->text().endsWith("Please select it from box bellow"));
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

TEST(FramerateForm, OffsetAndFramerateReadBack) {
  test::TestApp();
  TFramerateForm form;
  struct Row { int sec, tenths; std::int32_t ms; };
  for (const Row& r : {Row{-2, 5, -2500}, Row{0, 5, 500}, Row{-1, 0, -1000}, Row{4, 9, 4900}}) {
    form.OffsetSec->setValue(r.sec);
    form.OffsetMSec->setValue(r.tenths);
    EXPECT_EQ(form.OffsetMs(), r.ms) << r.sec << "." << r.tenths;
  }
  form.FramerateBox->setEditText("23,976");
  EXPECT_FALSE(form.Framerate().has_value());
  form.FramerateBox->setEditText("23.976");
  ASSERT_TRUE(form.Framerate().has_value());
  EXPECT_DOUBLE_EQ(*form.Framerate(), 23.976);
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
