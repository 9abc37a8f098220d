// TFramerateForm: the modal dialog that asks for the subtitle frame rate and a time offset.
//
// Frame-numbered subtitle files need the video's frame rate, and any subtitle file may need
// shifting. The dialog only collects the two values; the subtitle controller reads them back
// (Framerate, OffsetMs) and applies them to the subtitle list. One instance lives from start
// to exit, so what was typed last stays in the controls. OK is enabled only after the user
// changed the frame rate text or an offset since the dialog was shown.
// Threads: user-interface thread only.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include <cstdint>
#include <optional>

namespace kv {

class TFramerateForm : public QDialog {
 public:
  // Results of exec(): OK 1, Cancel 2 (also when the window is closed otherwise).
  static constexpr int kResultOk = 1;
  static constexpr int kResultCancel = 2;

  explicit TFramerateForm(QWidget* parent = nullptr);

  // The controls, named as the form names them.
  QLabel* FramerateLabel;
  QComboBox* FramerateBox;
  QLabel* TimeOffsetLabel;
  QSpinBox* OffsetSec;
  QLabel* TimeOffsetSecLabel;
  QSpinBox* OffsetMSec;
  QLabel* TimeOffsetDSecLabel;
  QLabel* FramerateDescr;
  QPushButton* CancelBut;
  QPushButton* OKBut;

  // Shows the dialog modally, above all other windows when `alwaysOnTop`; the result code.
  int ShowModal(bool alwaysOnTop);

  // The frame rate typed in the box, empty when it is not a decimal number with ".".
  std::optional<double> Framerate() const;
  // The offset of the spin edits in milliseconds (the tenths carry the seconds' sign).
  std::int32_t OffsetMs() const;
  // Puts a frame rate into the box as a decimal number with "." (the form the box reads).
  void SetFramerateText(double framerate);

  // Handlers.
  void FormShow();
  void FramerateBoxChange();
  void OKButClick();
  void CancelButClick();

  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
};

}  // namespace kv
