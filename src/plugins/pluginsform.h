// TPluginsForm: the "Filters" dialog that edits one plug-in chain (video or audio).
//
// The caller sets IsVideo and the chain from the settings, then shows the dialog modally
// (ShowModal). Every showing reloads the list of descriptors in the filters folder and the
// working copy of the chain. A click on a list entry shows its description (the user's
// language, else English); a double click puts the entry into the first free slot. The
// chain row shows the used slots as panels with arrows between them; a click marks a
// panel, a double click removes its slot and closes the gap. OK returns 1 and leaves the
// edited chain in Chain(); Cancel returns 2. The profile controls are present and disabled.
// The chain logic lives in plugin_chain.h. User-interface thread only.
#pragma once

#include <QDialog>
#include <array>
#include <string>

#include "settings/filterstruct.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QTextEdit;

namespace kv {

class TPluginsForm : public QDialog {
  Q_OBJECT
 public:
  // filtersFolder: the program's "Filters" folder; language: the user-interface language.
  TPluginsForm(QWidget* parent, std::string filtersFolder, std::string language);

  bool IsVideo = true;
  // Loads `settingsChain` into the working copy and shows the dialog modally: 1 for OK, 2
  // for Cancel.
  int ShowModal(const TFiltersInChain& settingsChain);
  const TFiltersInChain& Chain() const { return chain_; }

  QListWidget* FiltersList = nullptr;
  QTextEdit* FilterDescr = nullptr;
  std::array<QLabel*, kFilterSlots> Filter{};
  std::array<QLabel*, kFilterSlots - 1> Arrow{};

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();
  void FiltersListClick(QListWidgetItem* item);
  void FiltersListDblClick(QListWidgetItem* item);
  void FilterClick(int index);
  void FilterDblClick(int index);
  void RefreshChainRow();

  std::string folder_, language_;
  TFiltersInChain settings_{}, chain_{};
};

}  // namespace kv
