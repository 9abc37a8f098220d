// The menus rebuilt at run time: titles, audio, renderers, filter slots, the rate checks,
// and the menu's images.
#include <QAction>
#include <QApplication>
#include <QIcon>
#include <QMenu>
#include <QStyle>

#include "app/mainform.h"
#include "app/mainmenu.h"
#include "app/playback_logic.h"
#include "platform/ui/property_frame.h"
#include "settings/optunit.h"

namespace kv {
namespace {

QMenu* SubMenu(QMenu* root, const char* name) {
  QAction* a = FindMenuAction(root, QString::fromLatin1(name));
  return a ? a->menu() : nullptr;
}

// A caption shown as it stands: no access keys, so an "&" in a file name stays an "&".
QString LiteralCaption(const std::string& caption) {
  return QString::fromStdString(caption).replace(QLatin1Char('&'), QLatin1String("&&"));
}

// The caption an item was built with (its text with "&&" undone).
std::string CaptionOf(const QAction* a) {
  const QVariant raw = a->data();
  return raw.isValid() ? raw.toString().toStdString() : a->text().toStdString();
}

QAction* AddItem(QMenu* menu, const std::string& caption, int tag, bool checked) {
  QAction* a = menu->addAction(LiteralCaption(caption));
  a->setData(QString::fromStdString(caption));
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
      for (QAction* a : video->actions()) a->setChecked(SameText(CaptionOf(a), Player->VideoRendererName));
    if (audio)
      for (QAction* a : audio->actions()) a->setChecked(SameText(CaptionOf(a), Player->AudioRendererName));
    Options->VideoRenderer = Player->VideoRendererName;
    Options->AudioRenderer = Player->AudioRendererName;
  };
  // After a renderer choice the graph's tail changed: the texts and the filter list follow.
  auto refreshInfo = [this]() {
    FillVideoInfo();
    FillAudioInfo();
    SendMediaInfoToPanel();
    RefreshFilterList();
  };
  if (video) {
    video->clear();
    for (size_t i = 0; i < Player->VideoRendererNames.size(); ++i) {
      QAction* a = AddItem(video, Player->VideoRendererNames[i], static_cast<int>(i), false);
      connect(a, &QAction::triggered, this, [this, a, refreshChecks, refreshInfo]() {
        UseSurfaceFor(CaptionOf(a));
        Player->ChangeVideoRenderer(CaptionOf(a));
        UseSurfaceFor(Player->VideoRendererName);  // the engine may have kept the old one
        refreshChecks();
        refreshInfo();
      });
    }
  }
  if (audio) {
    audio->clear();
    for (size_t i = 0; i < Player->AudioRendererNames.size(); ++i) {
      QAction* a = AddItem(audio, Player->AudioRendererNames[i], static_cast<int>(i), false);
      connect(a, &QAction::triggered, this, [this, a, refreshChecks, refreshInfo]() {
        Player->ChangeAudioRenderer(CaptionOf(a));
        refreshChecks();
        refreshInfo();
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
  // AudioSelect: the menu, the audio texts, the control panel and the filter list follow
  // the new audio.
  auto audioSelected = [this]() {
    BuildAudioMenu();
    FillAudioInfo();
    SendMediaInfoToPanel();
    RefreshFilterList();
  };
  for (const std::string& name : Player->AudioStreams) {
    QAction* a = AddItem(menu, name, -1, name == Player->AudioStreamName);
    connect(a, &QAction::triggered, this, [this, a, audioSelected]() {
      Player->SelectAudioStream(CaptionOf(a));
      audioSelected();
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
      connect(own, &QAction::triggered, this, [this, audioSelected]() {
        Player->OpenAudio(CurrentFile);
        audioSelected();
      });
    }
    QAction* a = AddItem(menu, FileNameOf(path), child, Player->AudioFileName == path);
    connect(a, &QAction::triggered, this, [this, child, audioSelected]() {
      Player->OpenAudio(Playlist.Text(child));
      audioSelected();
    });
  }
}

void TMainForm::RefreshFilterMenus() {
  if (!Options) return;
  for (int k = 1; k <= kFilterSlots; ++k) {
    const TFilterStruct& video = Options->VideoFilters[static_cast<size_t>(k - 1)];
    const TFilterStruct& audio = Options->AudioFilters[static_cast<size_t>(k - 1)];
    if (QAction* a = Action(("VidFilter" + std::to_string(k)).c_str())) {
      a->setVisible(!video.FileName.empty());
      a->setText(LiteralCaption(video.FileName));
    }
    if (QAction* a = Action(("AudFilter" + std::to_string(k)).c_str())) {
      a->setVisible(!audio.FileName.empty());
      a->setText(LiteralCaption(audio.FileName));
    }
  }
}

void TMainForm::VidFilterClick(QAction* item) {
  if (!Player) return;
  // A plug-in's page may turn the picture (rotation): the window follows the new size.
  const int32_t width = Player->DisplayWidth, height = Player->DisplayHeight;
  if (Player->ShowVideoPluginProperties(MenuTag(item))) FollowPictureSize(width, height);
}

void TMainForm::AudFilterClick(QAction* item) {
  if (Player) Player->ShowAudioPluginProperties(MenuTag(item));
}

void TMainForm::MainMenuPopup() { PanelHasFocus = false; }

void TMainForm::SetMenuImages() {
  // The desktop's icon theme where it has the icon, else the icons Qt ships with its style.
  // Looked up when a menu first opens: the theme lookup costs every start some 10 ms.
  if (menuImagesSet_) return;
  menuImagesSet_ = true;
  QStyle* style = QApplication::style();
  const struct {
    const char* item;
    const char* theme;
    QStyle::StandardPixmap fallback;
  } images[] = {
      {"MMPlay", "media-playback-start", QStyle::SP_MediaPlay},
      {"MMPause", "media-playback-pause", QStyle::SP_MediaPause},
      {"MMStop", "media-playback-stop", QStyle::SP_MediaStop},
      {"MMNext", "media-skip-forward", QStyle::SP_MediaSkipForward},
      {"MMPrev", "media-skip-backward", QStyle::SP_MediaSkipBackward},
      {"MMForward10min", "media-seek-forward", QStyle::SP_MediaSeekForward},
      {"MMForward1min", "media-seek-forward", QStyle::SP_MediaSeekForward},
      {"MMForward10sec", "media-seek-forward", QStyle::SP_MediaSeekForward},
      {"MMBack10sec", "media-seek-backward", QStyle::SP_MediaSeekBackward},
      {"MMBack1min", "media-seek-backward", QStyle::SP_MediaSeekBackward},
      {"MMBack10min", "media-seek-backward", QStyle::SP_MediaSeekBackward},
      {"MMFullscreen", "view-fullscreen", QStyle::SP_TitleBarMaxButton},
      {"MMMinimize", "window-minimize", QStyle::SP_TitleBarMinButton},
      {"MMProperties", "document-properties", QStyle::SP_FileDialogDetailedView},
      {"MMOptions", "preferences-system", QStyle::SP_FileDialogListView},
      {"MMOpenFiles", "document-open", QStyle::SP_DialogOpenButton},
      {"MMOpenDir", "folder-open", QStyle::SP_DirOpenIcon},
      {"MMFileAnalyze", "document-open", QStyle::SP_FileIcon},
      {"MMCloseFile", "document-close", QStyle::SP_DialogCloseButton},
      {"MMAbout", "help-about", QStyle::SP_MessageBoxInformation},
      {"MMHelp", "help-contents", QStyle::SP_DialogHelpButton},
      {"MMExit", "application-exit", QStyle::SP_DialogCloseButton},
      {"MMDevices", "audio-card", QStyle::SP_DriveHDIcon},
      {"MMAudio", "audio-x-generic", QStyle::SP_MediaVolume},
  };
  for (const auto& image : images)
    if (QAction* a = Action(image.item))
      a->setIcon(QIcon::fromTheme(QString::fromLatin1(image.theme), style->standardIcon(image.fallback)));
}

void TMainForm::ConnectMediaMenus() {
  // Whichever menu opens first (the popup, or a submenu the control panel opens by itself).
  QList<QMenu*> menus = MainMenu->findChildren<QMenu*>();
  menus.prepend(MainMenu);
  for (QMenu* menu : menus) connect(menu, &QMenu::aboutToShow, this, &TMainForm::SetMenuImages);
  connect(MainMenu, &QMenu::aboutToShow, this, &TMainForm::MainMenuPopup);
  if (QAction* a = Action("MMProperties")) connect(a, &QAction::triggered, this, &TMainForm::MMPropertiesClick);
  for (int k = 1; k <= kFilterSlots; ++k) {
    if (QAction* a = Action(("VidFilter" + std::to_string(k)).c_str()))
      connect(a, &QAction::triggered, this, [this, a]() { VidFilterClick(a); });
    if (QAction* a = Action(("AudFilter" + std::to_string(k)).c_str()))
      connect(a, &QAction::triggered, this, [this, a]() { AudFilterClick(a); });
  }
  RefreshFilterMenus();
}

}  // namespace kv
