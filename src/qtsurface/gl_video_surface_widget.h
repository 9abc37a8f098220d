// The OpenGL video surface: a QOpenGLWidget that converts YUV pictures to RGB, scales them
// and mixes the second picture in a shader.
//
// What it is: the surface for "Video Mixing Renderer 9". It answers SupportsYuv(), so the
// renderer hands it cropped I420 pictures (TYuvFrame) and leaves the colour conversion
// (BT.601 or BT.709, limited range), the scaling into the destination rectangle and the
// keyed or alpha-blended second picture to the graphics card. RGB frames from the other
// renderers are drawn too, as a texture.
//
// It lives in a module of its own (Components/GlSurface.so, gl_surface_module.cpp), loaded
// when the renderer is first chosen: Qt's OpenGL libraries then load only into the runs
// that draw with OpenGL. So it does not enter itself in the surface table (the module's
// copy of that table is not the program's): whoever makes it registers Surface().
//
// Ownership and threads: as TVideoSurfaceWidget (video_surface_widget.h): the renderer
// holds a shared state object that outlives the widget harmlessly; Present/PresentYuv
// come on the streaming thread and only store the frame and post a repaint; textures are
// uploaded in paintGL on the widget's thread.
#pragma once

#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>
#include <memory>

#include "platform/video/video_surface.h"

namespace kv::qtsurface {

class TGlSurfaceState;

class TGlVideoSurfaceWidget : public QOpenGLWidget, protected QOpenGLFunctions {
  Q_OBJECT
 public:
  explicit TGlVideoSurfaceWidget(QWidget* parent = nullptr);
  ~TGlVideoSurfaceWidget() override;

  std::shared_ptr<video::IVideoSurface> Surface() const;
  quint64 PresentedFrames() const;

 signals:
  void framePresented();

 protected:
  void initializeGL() override;
  void paintGL() override;
  void resizeGL(int w, int h) override;

 private:
  void Upload(unsigned texture, int w, int h, unsigned format, const void* data, bool linear);
  void UploadYuv(const video::TYuvFrame& frame);
  void UploadRgb(const video::TRgbImage& image);
  std::shared_ptr<TGlSurfaceState> State_;
  QOpenGLShaderProgram Program_;
  unsigned Textures_[4] = {0, 0, 0, 0};  // Y, U, V, second picture / RGB picture
  bool Ready_ = false;
};

}  // namespace kv::qtsurface
