#include "platform/ui/property_frame.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <vector>

#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/graph/property_page.h"

namespace kv::ui {
namespace {

// The frame's side of the page protocol: a dirty page enables Apply.
class TPageSite : public TUnknown, public IPropertyPageSite {
 public:
  KV_DECLARE_IUNKNOWN
  explicit TPageSite(QPushButton* apply) : apply_(apply) {}
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IPropertyPageSite::kIid) return GetInterface(static_cast<IPropertyPageSite*>(this), out);
    return TUnknown::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT OnStatusChange(bool dirty) override {
    if (apply_ && dirty) apply_->setEnabled(true);
    return S_OK;
  }
  void Detach() { apply_ = nullptr; }

 private:
  QPushButton* apply_;
};

std::vector<CLSID> PagesOf(IUnknown* object) {
  std::vector<CLSID> pages;
  if (!object) return pages;
  ComPtr<ISpecifyPropertyPages> spp;
  if (FAILED(object->QueryInterface(ISpecifyPropertyPages::kIid, spp.PutVoid())) || !spp) return pages;
  if (FAILED(spp->GetPages(&pages))) pages.clear();
  return pages;
}

// Applies every dirty page; false when one refused (the frame stays open).
bool ApplyAll(const std::vector<ComPtr<IPropertyPage>>& pages) {
  bool ok = true;
  for (const auto& page : pages)
    if (page->IsPageDirty() == S_OK && FAILED(page->Apply())) ok = false;
  return ok;
}

}  // namespace

bool HasPropertyPages(IUnknown* object) { return !PagesOf(object).empty(); }

HRESULT ShowPropertyFrame(QWidget* owner, const std::string& caption, IUnknown* object) {
  const std::vector<CLSID> classes = PagesOf(object);
  if (classes.empty()) return E_NOINTERFACE;

  QDialog dialog(owner);
  dialog.setObjectName("PropertyFrame");
  dialog.setWindowTitle(QString::fromStdString(caption));
  auto* layout = new QVBoxLayout(&dialog);
  auto* tabs = new QTabWidget(&dialog);
  layout->addWidget(tabs);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, &dialog);
  layout->addWidget(buttons);
  QPushButton* apply = buttons->button(QDialogButtonBox::Apply);
  apply->setEnabled(false);

  ComPtr<TPageSite> site(new TPageSite(apply));
  std::vector<ComPtr<IPropertyPage>> pages;
  HRESULT lastError = E_FAIL;
  for (const CLSID& clsid : classes) {
    ComPtr<IPropertyPage> page;
    HRESULT hr = CoCreateInstance(clsid, &page);
    if (FAILED(hr) || !page) {
      lastError = FAILED(hr) ? hr : E_FAIL;
      continue;
    }
    page->SetPageSite(site.Get());
    if (FAILED(page->SetObjects(object))) continue;
    auto* tab = new QWidget(tabs);
    auto* tabLayout = new QVBoxLayout(tab);
    tabLayout->setContentsMargins(8, 8, 8, 8);
    if (FAILED(page->Activate(tab))) {
      delete tab;
      page->SetObjects(nullptr);
      continue;
    }
    std::string title;
    page->GetTitle(&title);
    tabs->addTab(tab, QString::fromStdString(title));
    pages.push_back(page);
  }
  if (pages.empty()) {
    site->Detach();
    return lastError;
  }

  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    if (ApplyAll(pages)) dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  QObject::connect(apply, &QPushButton::clicked, &dialog, [&] {
    if (ApplyAll(pages)) apply->setEnabled(false);
  });
  QTimer refresh;
  refresh.setInterval(1000);
  QObject::connect(&refresh, &QTimer::timeout, &dialog, [&] {
    for (const auto& page : pages) page->Refresh();
  });
  refresh.start();
  dialog.exec();
  refresh.stop();

  for (const auto& page : pages) {
    page->Deactivate();
    page->SetObjects(nullptr);
    page->SetPageSite(nullptr);
  }
  site->Detach();
  return S_OK;
}

}  // namespace kv::ui
