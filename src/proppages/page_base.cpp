#include "proppages/page_base.h"

#include <QFormLayout>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QWidget>

namespace kv::proppages {

HRESULT TInfoPage::NonDelegatingQueryInterface(const IID& iid, void** out) {
  if (iid == IPropertyPage::kIid) return GetInterface(static_cast<IPropertyPage*>(this), out);
  return TUnknown::NonDelegatingQueryInterface(iid, out);
}

HRESULT TInfoPage::SetPageSite(IPropertyPageSite* site) {
  site_ = ComPtr<IPropertyPageSite>(site);
  return S_OK;
}

HRESULT TInfoPage::SetObjects(IUnknown* object) {
  Unbind();
  if (!object) return S_OK;
  return Bind(object) ? S_OK : E_NOINTERFACE;
}

HRESULT TInfoPage::GetTitle(std::string* title) {
  if (!title) return E_POINTER;
  *title = title_;
  return S_OK;
}

HRESULT TInfoPage::Activate(void* parent) {
  auto* tab = static_cast<QWidget*>(parent);
  if (!tab) return E_POINTER;
  auto* root = new QWidget(tab);
  auto* form = new QFormLayout(root);
  form->setLabelAlignment(Qt::AlignLeft);
  Build(root, form);
  if (tab->layout()) tab->layout()->addWidget(root);
  root_ = root;
  dirty_ = false;
  Update();
  return S_OK;
}

HRESULT TInfoPage::Deactivate() {
  delete root_.data();
  root_.clear();
  return S_OK;
}

HRESULT TInfoPage::Apply() {
  if (!dirty_) return S_OK;
  const HRESULT hr = ApplySetting();
  if (SUCCEEDED(hr)) {
    dirty_ = false;
    if (site_) site_->OnStatusChange(false);
  }
  return hr;
}

HRESULT TInfoPage::Refresh() {
  if (Active()) Update();
  return S_OK;
}

QLabel* TInfoPage::AddRow(QWidget* root, QFormLayout* form, const QString& caption, const char* objectName) {
  auto* value = new QLabel(root);
  value->setObjectName(QString::fromLatin1(objectName));
  value->setTextInteractionFlags(Qt::TextSelectableByMouse);
  form->addRow(caption, value);
  return value;
}

void TInfoPage::MarkDirty() {
  dirty_ = true;
  if (site_) site_->OnStatusChange(true);
}

QString Count(int64_t value) { return QString::number(static_cast<qlonglong>(value)); }

}  // namespace kv::proppages
