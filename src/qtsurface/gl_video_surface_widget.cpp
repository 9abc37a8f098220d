#include "qtsurface/gl_video_surface_widget.h"

#include <QMetaObject>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <cstring>
#include <mutex>
#include <vector>
#include <optional>

#include "qtsurface/frame_notifier.h"

namespace kv::qtsurface {

namespace {

const char* KVertexShader = R"(
attribute vec2 position;
attribute vec2 texcoord;
varying vec2 v_tex;
void main() {
  gl_Position = vec4(position, 0.0, 1.0);
  v_tex = texcoord;
}
)";

// mode 0: I420 planes (with an optional second picture); mode 1: an RGB frame.
const char* KFragmentShader = R"(
uniform sampler2D texY;
uniform sampler2D texU;
uniform sampler2D texV;
uniform sampler2D texRgb;
uniform mat3 yuvToRgb;
uniform int mode;
uniform int hasOverlay;
uniform int keyed;
uniform vec3 key;
uniform float overlayAlpha;
varying vec2 v_tex;
void main() {
  if (mode == 1) {
    gl_FragColor = vec4(texture2D(texRgb, v_tex).bgr, 1.0);
    return;
  }
  vec3 yuv = vec3(texture2D(texY, v_tex).r - 0.0627451, texture2D(texU, v_tex).r - 0.5019608,
                  texture2D(texV, v_tex).r - 0.5019608);
  vec3 rgb = clamp(yuvToRgb * yuv, 0.0, 1.0);
  if (hasOverlay == 1) {
    vec4 o = texture2D(texRgb, v_tex).bgra;
    float a = keyed == 1 ? (distance(o.rgb, key) < 0.002 ? 0.0 : overlayAlpha) : o.a * overlayAlpha;
    rgb = mix(rgb, o.rgb, a);
  }
  gl_FragColor = vec4(rgb, 1.0);
}
)";

// Limited-range YUV to RGB, columns for Y, U, V.
const GLfloat KBt601[9] = {1.164f, 1.164f, 1.164f, 0.0f, -0.392f, 2.017f, 1.596f, -0.813f, 0.0f};
const GLfloat KBt709[9] = {1.164f, 1.164f, 1.164f, 0.0f, -0.213f, 2.112f, 1.793f, -0.533f, 0.0f};

}  // namespace

class TGlSurfaceState final : public video::IVideoSurface {
 public:
  TGlSurfaceState(TGlVideoSurfaceWidget* widget, TFrameNotifier* notifier)
      : Widget_(widget), Notifier_(notifier), Thread_(widget->thread()) {}

  void Detach() {
    std::lock_guard<std::mutex> lock(Mutex_);
    Widget_ = nullptr;
    Notifier_ = nullptr;
  }
  bool SupportsYuv() const override { return true; }
  void PresentYuv(const video::TYuvFrame& frame) override {
    std::lock_guard<std::mutex> lock(Mutex_);
    Yuv_ = frame;
    Rgb_.reset();
    NewFrameLocked();
  }
  void Present(std::shared_ptr<const video::TRgbImage> frame) override {
    std::lock_guard<std::mutex> lock(Mutex_);
    Rgb_ = std::move(frame);
    Yuv_.reset();
    NewFrameLocked();
  }
  int Width() const override { return Width_.load(); }
  int Height() const override { return Height_.load(); }
  void SetGeometry(const video::TSurfaceRect& rect) override {
    OnWidgetThread([this, rect](TGlVideoSurfaceWidget* w) {
      w->setGeometry(rect.Left, rect.Top, rect.Width, rect.Height);
      SetSize(w->width(), w->height());
    });
  }
  void SetVisible(bool visible) override {
    OnWidgetThread([visible](TGlVideoSurfaceWidget* w) { w->setVisible(visible); });
  }
  void Repaint() override {
    OnWidgetThread([](TGlVideoSurfaceWidget* w) { w->update(); });
  }
  void SetBackground(uint32_t rgb) override { Background_.store(rgb); }

  void Take(std::optional<video::TYuvFrame>* yuv, std::shared_ptr<const video::TRgbImage>* rgb) const {
    std::lock_guard<std::mutex> lock(Mutex_);
    *yuv = Yuv_;
    *rgb = Rgb_;
  }
  quint64 Presented() const {
    std::lock_guard<std::mutex> lock(Mutex_);
    return Presented_;
  }
  uint32_t Background() const { return Background_.load(); }
  void SetSize(int w, int h) {
    Width_.store(w);
    Height_.store(h);
  }

 private:
  void NewFrameLocked() {
    ++Presented_;
    if (Notifier_) Notifier_->Notify();  // the widget's thread repaints (frame_notifier.h)
  }
  template <class F>
  void OnWidgetThread(F action) {
    std::unique_lock<std::mutex> lock(Mutex_);
    TGlVideoSurfaceWidget* widget = Widget_;
    if (!widget) return;
    if (QThread::currentThread() == Thread_) {
      lock.unlock();
      action(widget);
    } else {
      QPointer<TGlVideoSurfaceWidget> target(widget);
      QMetaObject::invokeMethod(
          widget, [target, action] { if (target) action(target.data()); }, Qt::QueuedConnection);
    }
  }

  mutable std::mutex Mutex_;  // guards Widget_, Notifier_, Yuv_, Rgb_ and Presented_
  TGlVideoSurfaceWidget* Widget_;
  TFrameNotifier* Notifier_;
  QThread* Thread_;
  std::optional<video::TYuvFrame> Yuv_;
  std::shared_ptr<const video::TRgbImage> Rgb_;
  quint64 Presented_ = 0;
  std::atomic<int> Width_{0};
  std::atomic<int> Height_{0};
  std::atomic<uint32_t> Background_{0};
};

TGlVideoSurfaceWidget::TGlVideoSurfaceWidget(QWidget* parent) : QOpenGLWidget(parent) {
  // Mouse input belongs to the video panel beneath (see TVideoSurfaceWidget).
  setAttribute(Qt::WA_TransparentForMouseEvents);
  auto* notifier = new TFrameNotifier(this);
  connect(notifier, &TFrameNotifier::notified, this, [this] {
    update();
    emit framePresented();
  });
  State_ = std::make_shared<TGlSurfaceState>(this, notifier);
  State_->SetSize(width(), height());
}

TGlVideoSurfaceWidget::~TGlVideoSurfaceWidget() {
  State_->Detach();
  makeCurrent();
  if (Ready_) glDeleteTextures(4, Textures_);
  doneCurrent();
}

std::shared_ptr<video::IVideoSurface> TGlVideoSurfaceWidget::Surface() const { return State_; }

quint64 TGlVideoSurfaceWidget::PresentedFrames() const { return State_->Presented(); }

void TGlVideoSurfaceWidget::initializeGL() {
  initializeOpenGLFunctions();
  Program_.addShaderFromSourceCode(QOpenGLShader::Vertex, KVertexShader);
  Program_.addShaderFromSourceCode(QOpenGLShader::Fragment, KFragmentShader);
  Program_.bindAttributeLocation("position", 0);
  Program_.bindAttributeLocation("texcoord", 1);
  Ready_ = Program_.link();
  glGenTextures(4, Textures_);
}

void TGlVideoSurfaceWidget::resizeGL(int w, int h) { State_->SetSize(w, h); }

void TGlVideoSurfaceWidget::Upload(unsigned texture, int w, int h, unsigned format, const void* data, bool linear) {
  glBindTexture(GL_TEXTURE_2D, texture);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glTexImage2D(GL_TEXTURE_2D, 0, format, w, h, 0, format, GL_UNSIGNED_BYTE, data);
  GLint filter = linear ? GL_LINEAR : GL_NEAREST;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

namespace {

// Texture rows must be tightly packed: a copy when the image's rows are padded.
const void* PackedPixels(const video::TRgbImage& image, std::vector<uint8_t>* packed) {
  if (image.Stride == image.Width * 4) return image.Pixels.data();
  size_t row = static_cast<size_t>(image.Width) * 4;
  packed->resize(row * image.Height);
  for (int y = 0; y < image.Height; ++y) std::memcpy(packed->data() + row * y, image.Row(y), row);
  return packed->data();
}

}  // namespace

void TGlVideoSurfaceWidget::UploadYuv(const video::TYuvFrame& frame) {
  const video::TYuvImage& p = *frame.Picture;
  int cw = (p.Width + 1) / 2, ch = (p.Height + 1) / 2;
  glActiveTexture(GL_TEXTURE0);
  Upload(Textures_[0], p.Width, p.Height, GL_LUMINANCE, p.Y.data(), true);
  glActiveTexture(GL_TEXTURE1);
  Upload(Textures_[1], cw, ch, GL_LUMINANCE, p.U.data(), true);
  glActiveTexture(GL_TEXTURE2);
  Upload(Textures_[2], cw, ch, GL_LUMINANCE, p.V.data(), true);
  bool overlay = frame.Overlay && !frame.Overlay->Empty();
  if (overlay) {
    std::vector<uint8_t> packed;
    glActiveTexture(GL_TEXTURE3);
    // Nearest sampling: a keyed picture must not blend the key into its neighbours.
    Upload(Textures_[3], frame.Overlay->Width, frame.Overlay->Height, GL_RGBA,
           PackedPixels(*frame.Overlay, &packed), false);
  }
  glUniformMatrix3fv(Program_.uniformLocation("yuvToRgb"), 1, GL_FALSE, p.Bt709 ? KBt709 : KBt601);
  Program_.setUniformValue("mode", 0);
  Program_.setUniformValue("hasOverlay", overlay ? 1 : 0);
  Program_.setUniformValue("keyed", frame.OverlayKeyed ? 1 : 0);
  uint32_t k = frame.KeyPixel;
  Program_.setUniformValue("key", QVector3D(((k >> 16) & 0xFF) / 255.0f, ((k >> 8) & 0xFF) / 255.0f, (k & 0xFF) / 255.0f));
  Program_.setUniformValue("overlayAlpha", frame.OverlayAlpha / 255.0f);
}

void TGlVideoSurfaceWidget::UploadRgb(const video::TRgbImage& image) {
  std::vector<uint8_t> packed;
  glActiveTexture(GL_TEXTURE3);
  Upload(Textures_[3], image.Width, image.Height, GL_RGBA, PackedPixels(image, &packed), true);
  Program_.setUniformValue("mode", 1);
}

void TGlVideoSurfaceWidget::paintGL() {
  uint32_t bg = State_->Background();
  glClearColor(((bg >> 16) & 0xFF) / 255.0f, ((bg >> 8) & 0xFF) / 255.0f, (bg & 0xFF) / 255.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT);
  std::optional<video::TYuvFrame> yuv;
  std::shared_ptr<const video::TRgbImage> rgb;
  State_->Take(&yuv, &rgb);
  if (!Ready_) return;
  video::TSurfaceRect dest;
  Program_.bind();
  Program_.setUniformValue("texY", 0);
  Program_.setUniformValue("texU", 1);
  Program_.setUniformValue("texV", 2);
  Program_.setUniformValue("texRgb", 3);
  if (yuv && yuv->Picture) {
    UploadYuv(*yuv);
    dest = yuv->Dest;
  } else if (rgb && !rgb->Empty()) {
    UploadRgb(*rgb);
    dest = {0, 0, rgb->Width, rgb->Height};
  } else {
    Program_.release();
    return;
  }
  const qreal ratio = devicePixelRatioF();
  glViewport(static_cast<GLint>(dest.Left * ratio), static_cast<GLint>((height() - dest.Top - dest.Height) * ratio),
             static_cast<GLsizei>(dest.Width * ratio), static_cast<GLsizei>(dest.Height * ratio));
  // Top-left of the picture at the top-left of the viewport.
  static const GLfloat positions[] = {-1, 1, 1, 1, -1, -1, 1, -1};
  static const GLfloat texcoords[] = {0, 0, 1, 0, 0, 1, 1, 1};
  Program_.enableAttributeArray(0);
  Program_.enableAttributeArray(1);
  Program_.setAttributeArray(0, GL_FLOAT, positions, 2);
  Program_.setAttributeArray(1, GL_FLOAT, texcoords, 2);
  glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  Program_.disableAttributeArray(0);
  Program_.disableAttributeArray(1);
  Program_.release();
}

}  // namespace kv::qtsurface
