// The media information texts and the "Media properties" window.
#include <QAction>

#include "app/mainform.h"
#include "app/mainmenu.h"
#include "filt/filt.h"
#include "platform/ui/property_frame.h"
#include "proppages/builtin_pages.h"
#include "settings/optunit.h"

namespace kv {

void TMainForm::CreateFiltersForm() {
  if (FiltersForm) return;
  proppages::RegisterBuiltinPropertyPages();
  FiltersForm = new TFiltersForm(this);
  FiltersForm->setWindowFlag(Qt::Window, true);
  FillVideoInfo();
  FillAudioInfo();
  RefreshFilterList();
}

void TMainForm::FillVideoInfo() {
  mediainfo::TMediaValues v;
  v.Opened = Player && Player->State != psNone && Player->State != psEmpty;
  if (v.Opened) {
    v.FileName = CurrentFile;
    v.Duration = Player->GetDuration();
    v.VideoWidth = Player->VideoWidth;
    v.VideoHeight = Player->VideoHeight;
    v.DisplayWidth = Player->DisplayWidth;
    v.DisplayHeight = Player->DisplayHeight;
    v.FrameRate = Player->FrameRate;
    v.VideoCodec = Player->VideoCodec;
  }
  mediainfo::FillVideoTexts(v, &MediaTexts, &FileSize, &Duration);
  if (!v.Opened) Duration = 0;
  if (FiltersForm) FiltersForm->SetTexts(MediaTexts);
}

void TMainForm::FillAudioInfo() {
  mediainfo::TMediaValues v;
  v.HaveAudio = Player != nullptr;
  if (Player) {
    v.SampleRate = Player->SampleRate;
    v.Channels = Player->Channels;
    v.BitsPerSample = Player->BitsPerSample;
    v.AudioBitrate = Player->AudioBitrate;
    v.AudioCodec = Player->AudioCodec;
  }
  mediainfo::FillAudioTexts(v, &MediaTexts);
  if (FiltersForm) FiltersForm->SetTexts(MediaTexts);
}

void TMainForm::RefreshFilterList() {
  if (!FiltersForm) return;
  FiltersForm->SetPlayer(Player.get());
  if (Player) FiltersForm->SetFilterNames(Player->FilterNames());
  else FiltersForm->ClearLists();
}

void TMainForm::MMPropertiesClick() {
  CreateFiltersForm();
  CursorHideAllowed = false;
  FiltersForm->exec();
  CursorHideAllowed = true;
}

void TMainForm::ShowFilterProperties(IBaseFilter* filter, const std::string& name) {
  QWidget* owner = FiltersForm && FiltersForm->isVisible() ? static_cast<QWidget*>(FiltersForm) : this;
  ui::ShowPropertyFrame(owner, name, filter);
}

}  // namespace kv
