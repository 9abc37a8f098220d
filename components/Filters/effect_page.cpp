#include "effect_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLayout>
#include <QSlider>
#include <QWidget>
#include <cmath>

#include "platform/com/class_registry.h"

namespace kv::effects {
namespace {

int Steps(const TEffectParam& p) { return static_cast<int>(std::lround((p.Max - p.Min) / p.Step)); }
int ToPosition(const TEffectParam& p, double v) { return static_cast<int>(std::lround((v - p.Min) / p.Step)); }
double FromPosition(const TEffectParam& p, int position) { return p.Min + position * p.Step; }

QString ValueText(const TEffectParam& p, double v) {
  QString text = QString::number(v, 'f', p.Step < 0.1 ? 2 : (p.Step < 1 ? 1 : 0));
  if (!p.Unit.empty()) text += (p.Unit[0] == ':' ? "" : " ") + QString::fromStdString(p.Unit);
  return text;
}

}  // namespace

TEffectPage::~TEffectPage() = default;

HRESULT TEffectPage::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IPropertyPage::kIid) return GetInterface(static_cast<IPropertyPage*>(this), out);
  return TUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT TEffectPage::SetPageSite(IPropertyPageSite* site) {
  site_ = site;
  return S_OK;
}

HRESULT TEffectPage::SetObjects(IUnknown* object) {
  effect_ = nullptr;
  desc_ = nullptr;
  if (!object) return S_OK;
  ComPtr<IKavelloEffect> effect;
  if (FAILED(object->QueryInterface(IKavelloEffect::kIid, effect.PutVoid())) || !effect) return E_NOINTERFACE;
  CLSID clsid;
  if (FAILED(effect->GetEffectClass(&clsid)) || !(desc_ = FindEffect(clsid))) return E_NOINTERFACE;
  effect_ = effect;
  effect_->GetValues(&values_);
  values_ = ClampValues(*desc_, values_);
  original_ = values_;
  dirty_ = false;
  return S_OK;
}

HRESULT TEffectPage::GetTitle(std::string* title) {
  if (!title) return E_POINTER;
  *title = "Settings";
  return S_OK;
}

HRESULT TEffectPage::Activate(void* parent) {
  auto* tab = static_cast<QWidget*>(parent);
  if (!tab || !desc_) return E_UNEXPECTED;
  root_ = new QWidget(tab);
  root_->setObjectName("EffectPage");
  auto* form = new QFormLayout(root_);
  for (size_t i = 0; i < desc_->Params.size(); ++i) {
    const TEffectParam& p = desc_->Params[i];
    const QString key = QString::fromStdString(p.Key);
    const QString caption = QString::fromStdString(p.Caption);
    switch (p.Kind) {
      case TParamKind::Slider: {
        auto* row = new QWidget(root_);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        auto* slider = new QSlider(Qt::Horizontal, row);
        slider->setObjectName(key);
        slider->setRange(0, Steps(p));
        slider->setValue(ToPosition(p, values_[i]));
        slider->setMinimumWidth(220);
        auto* value = new QLabel(ValueText(p, values_[i]), row);
        value->setMinimumWidth(64);
        h->addWidget(slider);
        h->addWidget(value);
        QObject::connect(slider, &QSlider::valueChanged, row, [this, i, value](int position) {
          const TEffectParam& param = desc_->Params[i];
          value->setText(ValueText(param, FromPosition(param, position)));
          Changed(i, FromPosition(param, position));
        });
        form->addRow(caption, row);
        break;
      }
      case TParamKind::Switch: {
        auto* box = new QCheckBox(caption, root_);
        box->setObjectName(key);
        box->setChecked(values_[i] != 0);
        QObject::connect(box, &QCheckBox::toggled, root_, [this, i](bool on) { Changed(i, on ? 1 : 0); });
        form->addRow(QString(), box);
        break;
      }
      case TParamKind::Choice: {
        auto* list = new QComboBox(root_);
        list->setObjectName(key);
        for (const std::string& c : p.Choices) list->addItem(QString::fromStdString(c));
        list->setCurrentIndex(static_cast<int>(values_[i]));
        QObject::connect(list, &QComboBox::currentIndexChanged, root_, [this, i](int index) { Changed(i, index); });
        form->addRow(caption, list);
        break;
      }
    }
  }
  if (tab->layout()) tab->layout()->addWidget(root_);
  return S_OK;
}

void TEffectPage::Changed(size_t row, double value) {
  if (!effect_ || row >= values_.size()) return;
  values_[row] = value;
  effect_->SetValues(values_);  // live: the next frame uses it
  dirty_ = true;
  if (site_) site_->OnStatusChange(true);
}

HRESULT TEffectPage::Deactivate() {
  if (dirty_ && effect_) effect_->SetValues(original_);  // closed without applying
  dirty_ = false;
  delete root_;
  root_ = nullptr;
  return S_OK;
}

HRESULT TEffectPage::Apply() {
  if (effect_) {
    effect_->SetValues(values_);
    // Kept for the next instances and runs. A hive that cannot be written loses only that:
    // the values apply now all the same, so the page does not refuse to close.
    effect_->SaveValues();
  }
  original_ = values_;
  dirty_ = false;
  if (site_) site_->OnStatusChange(false);
  return S_OK;
}

HRESULT RegisterEffectPage(TClassRegistry& registry) {
  TClassRegistration r;
  r.clsid = CLSID_KavelloEffectPage;
  r.friendlyName = "Kavello Effect Settings";
  r.factory = [](const IID& iid, void** out) {
    if (!out) return E_POINTER;
    ComPtr<TEffectPage> page(new TEffectPage);
    return page->QueryInterface(iid, out);
  };
  return registry.RegisterClass(std::move(r));
}

}  // namespace kv::effects
