#include "proppages/builtin_pages.h"

#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSpinBox>
#include <QTableWidget>

#include <mutex>
#include <vector>

#include "filters/info/filter_info.h"
#include "platform/com/class_registry.h"
#include "proppages/page_base.h"

namespace kv::proppages {
namespace {

QString Text(const std::string& s) { return s.empty() ? QStringLiteral("-") : QString::fromStdString(s); }
QString Size(int32_t w, int32_t h) { return w > 0 && h > 0 ? QStringLiteral("%1x%2").arg(w).arg(h) : QStringLiteral("-"); }

// A page of read-only rows over one info interface I, whose getter fills an Info record.
// Each row is a caption, the label's object name (tests find it) and how the record reads
// there; a page with more than rows (a setting, a table) adds them in BuildExtra/UpdateExtra.
template <class I, class Info>
class TRowsPage : public TInfoPage {
 public:
  struct TRow {
    const char* caption;
    const char* name;
    QString (*text)(const Info&);
  };
  using TGetter = HRESULT (I::*)(Info*);

  TRowsPage(const char* title, TGetter getter, std::vector<TRow> rows)
      : TInfoPage(title), getter_(getter), rows_(std::move(rows)) {}

 protected:
  bool Bind(IUnknown* object) override {
    return SUCCEEDED(object->QueryInterface(I::kIid, info_.PutVoid())) && info_;
  }
  void Unbind() override { info_.Reset(); }
  void Build(QWidget* root, QFormLayout* form) override {
    labels_.clear();
    for (const TRow& row : rows_) labels_.push_back(AddRow(root, form, row.caption, row.name));
    BuildExtra(root, form);
  }
  void Update() override {
    Info info;
    if (!Read(&info)) return;
    for (size_t i = 0; i < rows_.size(); ++i) labels_[i]->setText(rows_[i].text(info));
    UpdateExtra(info);
  }
  virtual void BuildExtra(QWidget*, QFormLayout*) {}
  virtual void UpdateExtra(const Info&) {}
  bool Read(Info* info) { return info_ && SUCCEEDED((info_.Get()->*getter_)(info)); }

  ComPtr<I> info_;

 private:
  TGetter getter_;
  std::vector<TRow> rows_;
  std::vector<QLabel*> labels_;
};

QString Dash(bool empty, const QString& text) { return empty ? QStringLiteral("-") : text; }
QString Kbits(int64_t bitrate) {
  return Dash(bitrate <= 0, QStringLiteral("%1 kbit/s").arg(bitrate / 1000));
}

class TVideoDecoderPage final : public TRowsPage<IVideoDecoderInfo, TVideoDecoderInfo> {
 public:
  TVideoDecoderPage()
      : TRowsPage("Video decoder", &IVideoDecoderInfo::GetVideoDecoderInfo,
                  {{"Codec:", "Codec", [](const TVideoDecoderInfo& i) { return Text(i.Codec); }},
                   {"Picture size:", "PictureSize", [](const TVideoDecoderInfo& i) { return Size(i.Width, i.Height); }},
                   {"Threads in use:", "ThreadsInUse",
                    [](const TVideoDecoderInfo& i) { return Dash(i.ThreadsInUse <= 0, QString::number(i.ThreadsInUse)); }},
                   {"Frames decoded:", "FramesDecoded", [](const TVideoDecoderInfo& i) { return Count(i.FramesDecoded); }},
                   {"Frames dropped:", "FramesDropped", [](const TVideoDecoderInfo& i) { return Count(i.FramesDropped); }},
                   {"Output format:", "OutputFormat", [](const TVideoDecoderInfo& i) { return Text(i.OutputFormat); }}}) {}

 protected:
  void BuildExtra(QWidget* root, QFormLayout* form) override {
    setting_ = new QSpinBox(root);
    setting_->setObjectName("ThreadSetting");
    setting_->setRange(0, 16);
    setting_->setSpecialValueText("One per core");
    form->addRow("Decoding threads (next file):", setting_);
    TVideoDecoderInfo info;
    if (Read(&info)) setting_->setValue(info.ThreadSetting);
    QObject::connect(setting_, &QSpinBox::valueChanged, root, [this](int) { MarkDirty(); });
  }
  HRESULT ApplySetting() override { return info_ ? info_->SetThreadSetting(setting_->value()) : E_UNEXPECTED; }

 private:
  QSpinBox* setting_ = nullptr;
};

class TAudioDecoderPage final : public TRowsPage<IAudioDecoderInfo, TAudioDecoderInfo> {
 public:
  TAudioDecoderPage()
      : TRowsPage("Audio decoder", &IAudioDecoderInfo::GetAudioDecoderInfo,
                  {{"Codec:", "Codec", [](const TAudioDecoderInfo& i) { return Text(i.Codec); }},
                   {"Input format:", "InputFormat", &Input},
                   {"Output format:", "OutputFormat", &Output},
                   {"Frames decoded:", "FramesDecoded", [](const TAudioDecoderInfo& i) { return Count(i.FramesDecoded); }}}) {}

 private:
  static QString Input(const TAudioDecoderInfo& i) {
    QString in = QStringLiteral("%1 Hz, %2 channels").arg(i.InputRate).arg(i.InputChannels);
    if (i.InputBitrate > 0) in += QStringLiteral(", %1 kbit/s").arg(i.InputBitrate / 1000);
    return Dash(i.Codec.empty(), in);
  }
  static QString Output(const TAudioDecoderInfo& i) {
    return Dash(i.OutputFormat.empty(), QStringLiteral("%1, %2 Hz, %3 channels")
                                            .arg(QString::fromStdString(i.OutputFormat))
                                            .arg(i.OutputRate)
                                            .arg(i.OutputChannels));
  }
};

class TDemuxPage final : public TRowsPage<IDemuxInfo, TDemuxInfo> {
 public:
  TDemuxPage()
      : TRowsPage("Demultiplexer", &IDemuxInfo::GetDemuxInfo,
                  {{"Container:", "Container", [](const TDemuxInfo& i) { return Text(i.Container); }},
                   {"Bit rate:", "Bitrate", [](const TDemuxInfo& i) { return Kbits(i.Bitrate); }}}) {}

 protected:
  void BuildExtra(QWidget* root, QFormLayout* form) override {
    streams_ = new QTableWidget(0, 6, root);
    streams_->setObjectName("Streams");
    streams_->setHorizontalHeaderLabels({"#", "Type", "Codec", "Language", "Bit rate", "Pin"});
    streams_->verticalHeader()->hide();
    streams_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    streams_->horizontalHeader()->setStretchLastSection(true);
    streams_->setMinimumWidth(460);
    form->addRow(streams_);
  }
  void UpdateExtra(const TDemuxInfo& info) override {
    streams_->setRowCount(static_cast<int>(info.Streams.size()));
    for (int r = 0; r < static_cast<int>(info.Streams.size()); ++r) {
      const TDemuxStreamInfo& s = info.Streams[static_cast<size_t>(r)];
      const QString cells[] = {QString::number(s.Index), Text(s.Kind),      Text(s.Codec),
                               Text(s.Language),         Kbits(s.Bitrate), Text(s.PinName)};
      for (int c = 0; c < 6; ++c) streams_->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
    streams_->resizeColumnsToContents();
  }

 private:
  QTableWidget* streams_ = nullptr;
};

class TAudioRendererPage final : public TRowsPage<IAudioRendererInfo, TAudioRendererInfo> {
 public:
  TAudioRendererPage()
      : TRowsPage("Audio renderer", &IAudioRendererInfo::GetAudioRendererInfo,
                  {{"Sink:", "Sink",
                    [](const TAudioRendererInfo& i) {
                      return QString::fromStdString(i.Sink) + (i.Connected ? QString() : QStringLiteral(" (no sound server)"));
                    }},
                   {"Format:", "Format", [](const TAudioRendererInfo& i) { return Text(i.Format); }},
                   {"Latency:", "Latency",
                    [](const TAudioRendererInfo& i) {
                      return Dash(i.Format.empty(), QStringLiteral("%1 ms").arg(i.LatencyUs / 1000.0, 0, 'f', 1));
                    }},
                   {"Buffered:", "Buffered",
                    [](const TAudioRendererInfo& i) {
                      return Dash(i.Format.empty(), QStringLiteral("%1 bytes").arg(i.BufferedBytes));
                    }},
                   {"Volume:", "Volume",
                    [](const TAudioRendererInfo& i) {
                      return i.Muted ? QStringLiteral("muted") : QStringLiteral("%1 dB").arg(i.Volume / 100.0, 0, 'f', 2);
                    }}}) {}
};

class TVideoRendererPage final : public TRowsPage<IVideoRendererInfo, TVideoRendererInfo> {
 public:
  TVideoRendererPage()
      : TRowsPage("Video renderer", &IVideoRendererInfo::GetVideoRendererInfo,
                  {{"Picture size:", "PictureSize", [](const TVideoRendererInfo& i) { return Size(i.Width, i.Height); }},
                   {"Input format:", "InputFormat", [](const TVideoRendererInfo& i) { return Text(i.InputFormat); }},
                   {"Presenter:", "Presenter", [](const TVideoRendererInfo& i) { return Text(i.Presenter); }},
                   {"Frames drawn:", "FramesDrawn", [](const TVideoRendererInfo& i) { return Count(i.FramesDrawn); }},
                   {"Frames dropped:", "FramesDropped", [](const TVideoRendererInfo& i) { return Count(i.FramesDropped); }},
                   {"Frames late:", "FramesLate", [](const TVideoRendererInfo& i) { return Count(i.FramesLate); }},
                   {"Average lateness:", "AverageLateness",
                    [](const TVideoRendererInfo& i) { return QStringLiteral("%1 ms").arg(i.AverageLatenessUs / 1000.0, 0, 'f', 1); }}}) {}
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
