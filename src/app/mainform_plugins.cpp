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
    connect(a, &QAction::triggered, this, &TMainForm::VidFiltersConfigureClick);
  if (QAction* a = Action("AudFiltersConfigure"))
    connect(a, &QAction::triggered, this, &TMainForm::AudFiltersConfigureClick);
  // The items follow the settings whenever the submenus open.
  for (const char* name : {"MMFiltersVideo", "MMFiltersAudio"})
    if (QAction* a = Action(name); a && a->menu())
      connect(a->menu(), &QMenu::aboutToShow, this, &TMainForm::RefreshFilterMenus);
}

void TMainForm::VidFiltersConfigureClick() { FiltersConfigureClick(true); }

void TMainForm::AudFiltersConfigureClick() { FiltersConfigureClick(false); }

void TMainForm::FiltersConfigureClick(bool video) {
  if (!PluginsForm) PluginsForm = new TPluginsForm(this, ProgramPath("Filters"), Options->Language);
  PluginsForm->IsVideo = video;
  TFiltersInChain& setting = video ? Options->VideoFilters : Options->AudioFilters;
  if (PluginsForm->ShowModal(setting) != 1) return;
  setting = PluginsForm->Chain();
  RefreshFilterMenus();
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
