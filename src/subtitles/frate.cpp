#include "subtitles/frate.h"

#include <QLineEdit>
#include <QStyle>

#include <limits>

#include "subtitles/framerate_values.h"

namespace kv {
namespace {

template <class W>
W* Place(W* widget, const char* name, int left, int top, int width, int height) {
  widget->setObjectName(QLatin1String(name));
  widget->setGeometry(left, top, width, height);
  return widget;
}

}  // namespace

TFramerateForm::TFramerateForm(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FramerateForm"));
  setWindowTitle(QStringLiteral("Select framerate"));
  setFixedSize(282, 155);
  QFont small = font();
  small.setPointSize(8);
  setFont(small);

  FramerateLabel = Place(new QLabel(QStringLiteral("Subtitle framerate"), this), "FramerateLabel",
                         8, 16, 82, 13);
  FramerateBox = Place(new QComboBox(this), "FramerateBox", 128, 8, 145, 21);
  FramerateBox->setEditable(true);
  FramerateBox->setInsertPolicy(QComboBox::NoInsert);
  FramerateBox->addItems({QStringLiteral("15"), QStringLiteral("20"), QStringLiteral("23.976"),
                          QStringLiteral("24"), QStringLiteral("25"), QStringLiteral("29.97"),
                          QStringLiteral("30")});
  FramerateBox->setCurrentIndex(-1);
  TimeOffsetLabel =
      Place(new QLabel(QStringLiteral("Time offset"), this), "TimeOffsetLabel", 8, 48, 52, 13);
  OffsetSec = Place(new QSpinBox(this), "OffsetSec", 128, 40, 41, 22);
  OffsetSec->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
  OffsetSec->setValue(0);
  TimeOffsetSecLabel =
      Place(new QLabel(QStringLiteral("sec"), this), "TimeOffsetSecLabel", 176, 48, 17, 13);
  OffsetMSec = Place(new QSpinBox(this), "OffsetMSec", 208, 40, 33, 22);
  OffsetMSec->setRange(0, 9);
  OffsetMSec->setValue(0);
  TimeOffsetDSecLabel =
      Place(new QLabel(QStringLiteral("1/10s"), this), "TimeOffsetDSecLabel", 248, 48, 28, 13);
  FramerateDescr = Place(
      new QLabel(QStringLiteral("Framerate of video cannot be automatically determined. It is "
                                "required for right loading of subtitles. Please select it "
                                "from box bellow"),
                 this),
      "FramerateDescr", 8, 72, 257, 49);
  FramerateDescr->setAlignment(Qt::AlignCenter);
  FramerateDescr->setWordWrap(true);
  CancelBut = Place(new QPushButton(QStringLiteral("Cancel"), this), "CancelBut", 72, 128, 71, 22);
  CancelBut->setFlat(true);
  CancelBut->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
  OKBut = Place(new QPushButton(QStringLiteral("OK"), this), "OKBut", 144, 128, 71, 22);
  OKBut->setFlat(true);
  OKBut->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
  // Enter must not press a button the user has not reached (OK may be disabled).
  CancelBut->setAutoDefault(false);
  OKBut->setAutoDefault(false);

  connect(FramerateBox, &QComboBox::editTextChanged, this, [this] { FramerateBoxChange(); });
  connect(FramerateBox, &QComboBox::currentIndexChanged, this, [this] { FramerateBoxChange(); });
  connect(OffsetSec, &QSpinBox::valueChanged, this, [this] { FramerateBoxChange(); });
  connect(OffsetMSec, &QSpinBox::valueChanged, this, [this] { FramerateBoxChange(); });
  connect(OKBut, &QPushButton::clicked, this, [this] { OKButClick(); });
  connect(CancelBut, &QPushButton::clicked, this, [this] { CancelButClick(); });
}

int TFramerateForm::ShowModal(bool alwaysOnTop) {
  // Changing the flags of a hidden dialog neither moves nor activates anything.
  setWindowFlag(Qt::WindowStaysOnTopHint, alwaysOnTop);
  return exec();
}

std::optional<double> TFramerateForm::Framerate() const {
  return ParseFramerateText(FramerateBox->currentText().toStdString());
}

std::int32_t TFramerateForm::OffsetMs() const {
  return FramerateOffsetMs(OffsetSec->value(), OffsetMSec->value());
}

void TFramerateForm::SetFramerateText(double framerate) {
  // Always with ".": the box is read with "." whatever the system's decimal separator.
  FramerateBox->setEditText(QString::number(framerate, 'g', 15));
}

void TFramerateForm::FormShow() { OKBut->setEnabled(false); }

void TFramerateForm::FramerateBoxChange() { OKBut->setEnabled(true); }

void TFramerateForm::OKButClick() { done(kResultOk); }

void TFramerateForm::CancelButClick() { done(kResultCancel); }

void TFramerateForm::reject() { done(kResultCancel); }

void TFramerateForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
}

}  // namespace kv
