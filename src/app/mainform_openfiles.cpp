// "Open files": the dialog where the playlist is built, and starting its first title.
#include <QDir>

#include "app/mainform.h"
#include "openfiles/open.h"
#include "platform/ui/messagebox.h"
#include "settings/optunit.h"
#include "subtitles/subtitle_controller.h"

namespace kv {

TOpenfilesForm* TMainForm::OpenfilesDialog() {
  if (!OpenfilesForm) OpenfilesForm = new TOpenfilesForm(Playlist, *Options, this);
  OpenfilesForm->Catalogue = Player.get();
  return OpenfilesForm;
}

void TMainForm::MMOpenFilesClick() {
  const QString saved = QDir::currentPath();
  CursorHideAllowed = false;
  const int result = OpenfilesDialog()->exec();
  QDir::setCurrent(saved);
  CursorHideAllowed = true;
  if (result != TOpenfilesForm::OK) return;
  CurrentFile.clear();
  TitleIndex = 0;
  const std::vector<int> titles = Playlist.Titles();
  if (!titles.empty()) {
    TitleIndex = titles.front();
    CurrentFile = Playlist.Text(TitleIndex);
  }
  RebuildTitlesMenu();
  if (Subtitles) Subtitles->PlaylistReplaced(false);
  BuildAudioMenu();
  if (!PlayCurrent()) ui::ShowMessageBox("Cannot play file " + CurrentFile, "Error");
  if (mpris_) mpris_->NotifyChanged();
}

}  // namespace kv
