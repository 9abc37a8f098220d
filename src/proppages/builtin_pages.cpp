#include "proppages/builtin_pages.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>

#include <mutex>

#include "filters/info/filter_info.h"
#include "platform/com/class_registry.h"
#include "proppages/page_base.h"

namespace kv::proppages {
namespace {

QString Text(const std::string& s) { return s.empty() ? QStringLiteral("-") : QString::fromStdString(s); }
QString Size(int32_t w, int32_t h) { return w > 0 && h > 0 ? QStringLiteral("%1x%2").arg(w).arg(h) : QStringLiteral("-"); }

// Binds the page to interface I of its object.
template <class I>
class TPageOf : public TInfoPage {
 public:
  using TInfoPage::TInfoPage;

 protected:
  bool Bind(IUnknown* object) override {
    return SUCCEEDED(object->QueryInterface(I::kIid, info_.PutVoid())) && info_;
  }
  void Unbind() override { info_.Reset(); }
  ComPtr<I> info_;
};

class TVideoDecoderPage final : public TPageOf<IVideoDecoderInfo> {
 public:
  TVideoDecoderPage() : TPageOf("Video decoder") {}

 protected:
  void Build(QWidget* root, QFormLayout* form) override {
    codec_ = AddRow(root, form, "Codec:", "Codec");
    size_ = AddRow(root, form, "Picture size:", "PictureSize");
    threads_ = AddRow(root, form, "Threads in use:", "ThreadsInUse");
    decoded_ = AddRow(root, form, "Frames decoded:", "FramesDecoded");
    dropped_ = AddRow(root, form, "Frames dropped:", "FramesDropped");
    output_ = AddRow(root, form, "Output format:", "OutputFormat");
    setting_ = new QSpinBox(root);
    setting_->setObjectName("ThreadSetting");
    setting_->setRange(0, 16);
    setting_->setSpecialValueText("One per core");
    form->addRow("Decoding threads (next file):", setting_);
    TVideoDecoderInfo info;
    if (info_ && SUCCEEDED(info_->GetVideoDecoderInfo(&info))) setting_->setValue(info.ThreadSetting);
    QObject::connect(setting_, &QSpinBox::valueChanged, root, [this](int) { MarkDirty(); });
  }
  void Update() override {
    TVideoDecoderInfo info;
    if (!info_ || FAILED(info_->GetVideoDecoderInfo(&info))) return;
    codec_->setText(Text(info.Codec));
    size_->setText(Size(info.Width, info.Height));
    threads_->setText(info.ThreadsInUse > 0 ? QString::number(info.ThreadsInUse) : QStringLiteral("-"));
    decoded_->setText(Count(info.FramesDecoded));
    dropped_->setText(Count(info.FramesDropped));
    output_->setText(Text(info.OutputFormat));
  }
  HRESULT ApplySetting() override { return info_ ? info_->SetThreadSetting(setting_->value()) : E_UNEXPECTED; }

 private:
  QLabel *codec_ = nullptr, *size_ = nullptr, *threads_ = nullptr, *decoded_ = nullptr, *dropped_ = nullptr,
         *output_ = nullptr;
  QSpinBox* setting_ = nullptr;
};

class TAudioDecoderPage final : public TPageOf<IAudioDecoderInfo> {
 public:
  TAudioDecoderPage() : TPageOf("Audio decoder") {}

 protected:
  void Build(QWidget* root, QFormLayout* form) override {
    codec_ = AddRow(root, form, "Codec:", "Codec");
    input_ = AddRow(root, form, "Input format:", "InputFormat");
    output_ = AddRow(root, form, "Output format:", "OutputFormat");
    decoded_ = AddRow(root, form, "Frames decoded:", "FramesDecoded");
  }
  void Update() override {
    TAudioDecoderInfo info;
    if (!info_ || FAILED(info_->GetAudioDecoderInfo(&info))) return;
    codec_->setText(Text(info.Codec));
    QString in = QStringLiteral("%1 Hz, %2 channels").arg(info.InputRate).arg(info.InputChannels);
    if (info.InputBitrate > 0) in += QStringLiteral(", %1 kbit/s").arg(info.InputBitrate / 1000);
    input_->setText(info.Codec.empty() ? QStringLiteral("-") : in);
    output_->setText(info.OutputFormat.empty() ? QStringLiteral("-")
                                               : QStringLiteral("%1, %2 Hz, %3 channels")
                                                     .arg(QString::fromStdString(info.OutputFormat))
                                                     .arg(info.OutputRate)
                                                     .arg(info.OutputChannels));
    decoded_->setText(Count(info.FramesDecoded));
  }

 private:
  QLabel *codec_ = nullptr, *input_ = nullptr, *output_ = nullptr, *decoded_ = nullptr;
};

class TDemuxPage final : public TPageOf<IDemuxInfo> {
 public:
  TDemuxPage() : TPageOf("Demultiplexer") {}

 protected:
  void Build(QWidget* root, QFormLayout* form) override {
    container_ = AddRow(root, form, "Container:", "Container");
    bitrate_ = AddRow(root, form, "Bit rate:", "Bitrate");
    streams_ = new QTableWidget(0, 6, root);
    streams_->setObjectName("Streams");
    streams_->setHorizontalHeaderLabels({"#", "Type", "Codec", "Language", "Bit rate", "Pin"});
    streams_->verticalHeader()->hide();
    streams_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    streams_->horizontalHeader()->setStretchLastSection(true);
    streams_->setMinimumWidth(460);
    form->addRow(streams_);
  }
  void Update() override {
    TDemuxInfo info;
    if (!info_ || FAILED(info_->GetDemuxInfo(&info))) return;
    container_->setText(Text(info.Container));
    bitrate_->setText(info.Bitrate > 0 ? QStringLiteral("%1 kbit/s").arg(info.Bitrate / 1000) : QStringLiteral("-"));
    streams_->setRowCount(static_cast<int>(info.Streams.size()));
    for (int r = 0; r < static_cast<int>(info.Streams.size()); ++r) {
      const TDemuxStreamInfo& s = info.Streams[static_cast<size_t>(r)];
      const QString cells[] = {QString::number(s.Index), Text(s.Kind), Text(s.Codec), Text(s.Language),
                               s.Bitrate > 0 ? QStringLiteral("%1 kbit/s").arg(s.Bitrate / 1000) : QStringLiteral("-"),
                               Text(s.PinName)};
      for (int c = 0; c < 6; ++c) streams_->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    streams_->resizeColumnsToContents();
  }

 private:
  QLabel *container_ = nullptr, *bitrate_ = nullptr;
  QTableWidget* streams_ = nullptr;
};

class TAudioRendererPage final : public TPageOf<IAudioRendererInfo> {
 public:
  TAudioRendererPage() : TPageOf("Audio renderer") {}

 protected:
  void Build(QWidget* root, QFormLayout* form) override {
    sink_ = AddRow(root, form, "Sink:", "Sink");
    format_ = AddRow(root, form, "Format:", "Format");
    latency_ = AddRow(root, form, "Latency:", "Latency");
    buffer_ = AddRow(root, form, "Buffered:", "Buffered");
    volume_ = AddRow(root, form, "Volume:", "Volume");
  }
  void Update() override {
    TAudioRendererInfo info;
    if (!info_ || FAILED(info_->GetAudioRendererInfo(&info))) return;
    sink_->setText(QString::fromStdString(info.Sink) + (info.Connected ? QString() : QStringLiteral(" (no sound server)")));
    format_->setText(Text(info.Format));
    latency_->setText(info.Format.empty() ? QStringLiteral("-") : QStringLiteral("%1 ms").arg(info.LatencyUs / 1000.0, 0, 'f', 1));
    buffer_->setText(info.Format.empty() ? QStringLiteral("-") : QStringLiteral("%1 bytes").arg(info.BufferedBytes));
    volume_->setText(info.Muted ? QStringLiteral("muted")
                                : QStringLiteral("%1 dB").arg(info.Volume / 100.0, 0, 'f', 2));
  }

 private:
  QLabel *sink_ = nullptr, *format_ = nullptr, *latency_ = nullptr, *buffer_ = nullptr, *volume_ = nullptr;
};

class TVideoRendererPage final : public TPageOf<IVideoRendererInfo> {
 public:
  TVideoRendererPage() : TPageOf("Video renderer") {}

 protected:
  void Build(QWidget* root, QFormLayout* form) override {
    size_ = AddRow(root, form, "Picture size:", "PictureSize");
    input_ = AddRow(root, form, "Input format:", "InputFormat");
    presenter_ = AddRow(root, form, "Presenter:", "Presenter");
    drawn_ = AddRow(root, form, "Frames drawn:", "FramesDrawn");
    dropped_ = AddRow(root, form, "Frames dropped:", "FramesDropped");
    late_ = AddRow(root, form, "Frames late:", "FramesLate");
    lateness_ = AddRow(root, form, "Average lateness:", "AverageLateness");
  }
  void Update() override {
    TVideoRendererInfo info;
    if (!info_ || FAILED(info_->GetVideoRendererInfo(&info))) return;
    size_->setText(Size(info.Width, info.Height));
    input_->setText(Text(info.InputFormat));
    presenter_->setText(Text(info.Presenter));
    drawn_->setText(Count(info.FramesDrawn));
    dropped_->setText(Count(info.FramesDropped));
    late_->setText(Count(info.FramesLate));
    lateness_->setText(QStringLiteral("%1 ms").arg(info.AverageLatenessUs / 1000.0, 0, 'f', 1));
  }

 private:
  QLabel *size_ = nullptr, *input_ = nullptr, *presenter_ = nullptr, *drawn_ = nullptr, *dropped_ = nullptr,
         *late_ = nullptr, *lateness_ = nullptr;
};

template <class T>
TClassRegistration Page(const CLSID& clsid, const char* name) {
  TClassRegistration r;
  r.clsid = clsid;
  r.friendlyName = name;
  r.factory = [](const IID& iid, void** out) -> HRESULT {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<T> page(new T());
    return page->QueryInterface(iid, out);
  };
  return r;
}

}  // namespace

HRESULT RegisterBuiltinPropertyPages() {
  static std::once_flag once;
  std::call_once(once, [] {
    TClassRegistry& registry = ClassRegistry();
    registry.RegisterClass(Page<TVideoDecoderPage>(CLSID_VideoDecoderPage, "Video decoder page"));
    registry.RegisterClass(Page<TAudioDecoderPage>(CLSID_AudioDecoderPage, "Audio decoder page"));
    registry.RegisterClass(Page<TDemuxPage>(CLSID_DemuxPage, "Demultiplexer page"));
    registry.RegisterClass(Page<TAudioRendererPage>(CLSID_AudioRendererPage, "Audio renderer page"));
    registry.RegisterClass(Page<TVideoRendererPage>(CLSID_VideoRendererPage, "Video renderer page"));
  });
  return S_OK;
}

}  // namespace kv::proppages
