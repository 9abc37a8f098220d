// The plug-in chains: Filters > Video/Audio > Configure, the slot items and the plug-ins'
// property pages.
#include <QAction>
#include <QMenu>

#include "app/mainform.h"
#include "app/mainmenu.h"
#include "platform/module/program_directory.h"
#include "platform/ui/property_frame.h"
#include "plugins/pluginsform.h"
#include "settings/optunit.h"

namespace kv {

void TMainForm::ConnectPluginMenus() {
  if (QAction* a = Action("VidFiltersConfigure"))
    connect(a, &QAction::triggered, this, [this] { FiltersConfigureClick(true); });
  if (QAction* a = Action("AudFiltersConfigure"))
    connect(a, &QAction::triggered, this, [this] { FiltersConfigureClick(false); });
  for (int k = 1; k <= kFilterSlots; ++k) {
    if (QAction* a = Action(QString("VidFilter%1").arg(k).toLatin1().constData()))
      connect(a, &QAction::triggered, this, [this, a] {
        if (!Player) return;
        const int32_t width = Player->DisplayWidth, height = Player->DisplayHeight;
        if (Player->ShowVideoPluginProperties(MenuTag(a))) FollowPictureSize(width, height);
      });
    if (QAction* a = Action(QString("AudFilter%1").arg(k).toLatin1().constData()))
      connect(a, &QAction::triggered, this, [this, a] {
        if (Player) Player->ShowAudioPluginProperties(MenuTag(a));
      });
  }
  // The items follow the settings whenever the submenus open.
  for (const char* name : {"MMFiltersVideo", "MMFiltersAudio"})
    if (QAction* a = Action(name); a && a->menu())
      connect(a->menu(), &QMenu::aboutToShow, this, &TMainForm::RefreshPluginMenus);
}

void TMainForm::RefreshPluginMenus() {
  if (!Options) return;
  for (int k = 1; k <= kFilterSlots; ++k) {
    const TFilterStruct& video = Options->VideoFilters[k - 1];
    const TFilterStruct& audio = Options->AudioFilters[k - 1];
    if (QAction* a = Action(QString("VidFilter%1").arg(k).toLatin1().constData())) {
      a->setVisible(!video.FileName.empty());
      a->setText(QString::fromStdString(video.FileName));
    }
    if (QAction* a = Action(QString("AudFilter%1").arg(k).toLatin1().constData())) {
      a->setVisible(!audio.FileName.empty());
      a->setText(QString::fromStdString(audio.FileName));
    }
  }
}

void TMainForm::FiltersConfigureClick(bool video) {
  if (!PluginsForm) PluginsForm = new TPluginsForm(this, ProgramPath("Filters"), Options->Language);
  PluginsForm->IsVideo = video;
  TFiltersInChain& setting = video ? Options->VideoFilters : Options->AudioFilters;
  if (PluginsForm->ShowModal(setting) != 1) return;
  setting = PluginsForm->Chain();
  RefreshPluginMenus();
  if (!Player) return;
  if (!video) {
    Player->RerenderAudio(setting);
    return;
  }
  const int32_t width = Player->DisplayWidth, height = Player->DisplayHeight;
  Player->RerenderVideo(setting);
  FollowPictureSize(width, height);
}

void TMainForm::FollowPictureSize(int32_t oldWidth, int32_t oldHeight) {
  if (Player->DisplayWidth != oldWidth || Player->DisplayHeight != oldHeight) {
    // A plug-in turned the picture: the window takes the new shape.
    PictureWidth = Player->DisplayWidth > 0 ? Player->DisplayWidth : 4;
    PictureHeight = Player->DisplayHeight > 0 ? Player->DisplayHeight : 3;
    SizeWindowToPicture();
  }
  FormResize();
}

void TMainForm::ShowPluginProperties(IBaseFilter* filter, const std::string& caption) {
  ui::ShowPropertyFrame(this, caption, filter);
}

}  // namespace kv
