// The menus rebuilt at run time: titles, audio, renderers, and the rate and subtitle heads.
#include <QAction>
#include <QMenu>

#include "app/mainform.h"
#include "app/mainmenu.h"
#include "app/playback_logic.h"
#include "settings/optunit.h"

namespace kv {
namespace {

QMenu* SubMenu(QMenu* root, const char* name) {
  QAction* a = FindMenuAction(root, QString::fromLatin1(name));
  return a ? a->menu() : nullptr;
}

QAction* AddItem(QMenu* menu, const std::string& caption, int tag, bool checked) {
  QAction* a = menu->addAction(QString::fromStdString(caption));
  SetMenuTag(a, tag);
  a->setCheckable(true);
  a->setChecked(checked);
  return a;
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

}  // namespace

void TMainForm::RebuildTitlesMenu() {
  QMenu* titles = SubMenu(MainMenu, "MMTitles");
  if (!titles) return;
  titles->clear();
  for (int i : Playlist.Titles()) {
    QAction* a = AddItem(titles, FileNameOf(Playlist.Text(i)), i, i == TitleIndex);
    connect(a, &QAction::triggered, this, [this, a]() { TitleSelect(a); });
  }
}

void TMainForm::UpdateTitleChecks() {
  QMenu* titles = SubMenu(MainMenu, "MMTitles");
  if (!titles) return;
  for (QAction* a : titles->actions()) a->setChecked(MenuTag(a) == TitleIndex);
}

void TMainForm::TitleSelect(QAction* item) {
  if (SelectTitle(MenuTag(item))) UpdateTitleChecks();
  else UpdateTitleChecks();  // the click toggled the item's own check: put it back
}

void TMainForm::UpdateRateChecks() {
  const int32_t r = playback::RateTag(Player ? Player->GetRate() : 1.0);
  QMenu* playback = SubMenu(MainMenu, "MMPlayback");
  if (!playback) return;
  for (QAction* a : playback->actions())
    if (a->objectName().startsWith(QLatin1String("MMRate"))) a->setChecked(MenuTag(a) == r);
}

void TMainForm::BuildRendererMenus() {
  if (!Player) return;
  QMenu* video = SubMenu(MainMenu, "MMVideoRenderers");
  QMenu* audio = SubMenu(MainMenu, "MMAudioRenderers");
  auto refreshChecks = [this, video, audio]() {
    if (video)
      for (QAction* a : video->actions()) a->setChecked(SameText(a->text().toStdString(), Player->VideoRendererName));
    if (audio)
      for (QAction* a : audio->actions()) a->setChecked(SameText(a->text().toStdString(), Player->AudioRendererName));
    Options->VideoRenderer = Player->VideoRendererName;
    Options->AudioRenderer = Player->AudioRendererName;
  };
  if (video) {
    video->clear();
    for (size_t i = 0; i < Player->VideoRendererNames.size(); ++i) {
      QAction* a = AddItem(video, Player->VideoRendererNames[i], static_cast<int>(i), false);
      connect(a, &QAction::triggered, this, [this, a, refreshChecks]() {
        UseSurfaceFor(a->text().toStdString());
        Player->ChangeVideoRenderer(a->text().toStdString());
        UseSurfaceFor(Player->VideoRendererName);  // the engine may have kept the old one
        refreshChecks();
      });
    }
  }
  if (audio) {
    audio->clear();
    for (size_t i = 0; i < Player->AudioRendererNames.size(); ++i) {
      QAction* a = AddItem(audio, Player->AudioRendererNames[i], static_cast<int>(i), false);
      connect(a, &QAction::triggered, this, [this, a, refreshChecks]() {
        Player->ChangeAudioRenderer(a->text().toStdString());
        refreshChecks();
      });
    }
  }
  refreshChecks();
}

void TMainForm::BuildAudioMenu() {
  QMenu* menu = SubMenu(MainMenu, "MMAudio");
  if (!menu) return;
  menu->clear();
  if (!Player) return;
  for (const std::string& name : Player->AudioStreams) {
    QAction* a = AddItem(menu, name, -1, name == Player->AudioStreamName);
    connect(a, &QAction::triggered, this, [this, a]() {
      Player->SelectAudioStream(a->text().toStdString());
      BuildAudioMenu();
      SendMediaInfoToPanel();
    });
  }
  bool first = true;
  for (int child : Playlist.ChildrenOf(TitleIndex)) {
    const std::string& path = Playlist.Text(child);
    if (!Player->IsAudioFile(path)) continue;
    if (first) {
      first = false;
      SetMenuTag(menu->addSeparator(), 0);
      QAction* own = AddItem(menu, FileNameOf(CurrentFile), TitleIndex, Player->AudioFileName == CurrentFile);
      connect(own, &QAction::triggered, this, [this]() {
        Player->OpenAudio(CurrentFile);
        BuildAudioMenu();
        SendMediaInfoToPanel();
      });
    }
    QAction* a = AddItem(menu, FileNameOf(path), child, Player->AudioFileName == path);
    connect(a, &QAction::triggered, this, [this, child]() {
      Player->OpenAudio(Playlist.Text(child));
      BuildAudioMenu();
      SendMediaInfoToPanel();
    });
  }
}

}  // namespace kv
