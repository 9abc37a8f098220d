// TFiltersForm: the "Media properties" window.
//
// What it shows: the media information texts of the current title (filled by the main
// window, app/mediainfo.h), the filters of the playing graph, and the pins of the selected
// filter with their connections; the connection media type of the selected pin shows
// below the pin lists. From the filter list the user opens a filter's property pages
// (double click, or "Properties" in the list's popup menu, enabled only for filters that
// have pages). The window keeps no state of its own: the texts and the filter list stay as
// the main window last set them.
// Ownership: created once by the main window, parented to it; it borrows the engine
// (SetPlayer) and never outlives it in use.
// Threads: user-interface thread only.
#pragma once

#include <QDialog>

#include <string>
#include <vector>

#include "app/mediainfo.h"

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QPushButton;

namespace kv {

class TCOMPlay;

class TFiltersForm : public QDialog {
  Q_OBJECT
 public:
  explicit TFiltersForm(QWidget* parent = nullptr);

  // The engine the lists and pages are read from (null: none; the lists stay empty).
  void SetPlayer(TCOMPlay* player) { player_ = player; }
  // The labels.
  void SetTexts(const mediainfo::TMediaTexts& texts);
  // Fills "Used filters" with the graph's filter names and empties the pin lists.
  void SetFilterNames(const std::vector<std::string>& names);
  // Empties the three lists.
  void ClearLists();
  // Stays above other windows (AlwaysOnTop setting); applied at creation and at each show.
  void SetTopmost(bool on);

  // The filter list's click and double click / "Properties" (FiltersClick, FPropertiesClick).
  void FiltersClick();
  void FPropertiesClick();

  // Components, named as the form names them.
  QLabel *MediaName, *MediaSize, *MediaLength;
  QLabel *VideoSize, *Framerate, *VideoCompression;
  QLabel *AudioFreq, *AudioChannels, *AudioBits, *AudioBitrate, *AudioCompression;
  QListWidget *Filters, *InPins, *OutPins;
  QLabel* PinMediaType;
  QMenu* FiltersMenu;
  QAction* FProperties;
  QPushButton* OKBut;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ShowPinType(QListWidget* list);
  TCOMPlay* player_ = nullptr;
};

}  // namespace kv
