// The engine's creation and its window-system side.
#include <QAction>
#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include "app/mainform.h"
#include "debugsup/debugsup.h"
#include "platform/module/program_directory.h"
#include "filters/builtin/builtin_filters.h"
#include "platform/video/video_surface.h"
#include "qtsurface/video_surface_widget.h"
#include "settings/optunit.h"

namespace kv {

void TMainForm::CreatePlayer() {
  static bool registered = false;
  if (!registered) {
    registered = true;
    RegisterBuiltinFilters(true);
    prefetch_.WaitForModules();
    LoadComponentFilters(ProgramDirectory());
  }
  Player = std::make_unique<TCOMPlay>(this);
  if (!Options->VideoRenderer.empty()) {
    UseSurfaceFor(Options->VideoRenderer);
    Player->ChangeVideoRenderer(Options->VideoRenderer);
  }
  if (!Options->AudioRenderer.empty()) Player->ChangeAudioRenderer(Options->AudioRenderer);
  Player->DVNTSC = Options->DVNTSC;
  Player->VideoFilterChain = Options->VideoFilters;
  Player->AudioFilterChain = Options->AudioFilters;
  ApplyEngineSettings();
  // Graph events may be signalled from a streaming thread: the window drains them on its own.
  QPointer<TMainForm> self(this);
  Player->GraphNotify = [self]() {
    QMetaObject::invokeMethod(
        self.data(), [self]() { if (self) self->GraphEvent(); }, Qt::QueuedConnection);
  };
  BuildRendererMenus();
  RefreshFilterList();
}

void TMainForm::UseSurfaceFor(const std::string& rendererName) {
  const bool wantGl = rendererName == "Video Mixing Renderer 9" && CreateGlSurface();
  QWidget* next = wantGl ? GlSurface : static_cast<QWidget*>(PlainSurface);
  if (next == VideoSurface) return;
  const bool wasVisible = VideoSurface->isVisible();
  VideoSurface->hide();
  VideoSurface = next;
  VideoSurface->setGeometry(0, 0, VideoArea->width(), VideoArea->height());
  if (wasVisible) VideoSurface->show();
  SurfaceHandle = wantGl ? GlSurfaceHandle : static_cast<uintptr_t>(PlainSurface->Handle());
  if (Player) Player->VideoPanelHandle = SurfaceHandle;
}

bool TMainForm::CreateGlSurface() {
  if (GlSurface) return true;
  // Qt's OpenGL libraries come with the module: they load only into runs that use them.
  using TCreate = QWidget* (*)(QWidget*, std::shared_ptr<video::IVideoSurface>*);
  if (!GlSurfaceModule.IsLoaded() && !GlSurfaceModule.Load("Components/GlSurface.so")) {
    Debug.TextOut("Cannot load the OpenGL surface: " + GlSurfaceModule.ErrorText());
    return false;
  }
  auto create = GlSurfaceModule.Function<TCreate>("KavelloCreateGlSurface");
  std::shared_ptr<video::IVideoSurface> surface;
  QWidget* widget = create ? create(VideoArea, &surface) : nullptr;
  if (!widget || !surface) {
    delete widget;
    Debug.TextOut("The OpenGL surface module made no surface");
    return false;
  }
  GlSurface = widget;
  GlSurfaceHandle = static_cast<uintptr_t>(video::RegisterSurface(surface));
  const video::TSurfaceHandle handle = GlSurfaceHandle;
  connect(widget, &QObject::destroyed, [handle] { video::UnregisterSurface(handle); });
  GlSurface->setObjectName(QStringLiteral("VideoSurfaceGL"));
  GlSurface->setMouseTracking(true);
  GlSurface->hide();
  return true;
}

void TMainForm::VideoPanelSize(int32_t* width, int32_t* height) {
  *width = VideoArea ? VideoArea->width() : 0;
  *height = VideoArea ? VideoArea->height() : 0;
}

}  // namespace kv
