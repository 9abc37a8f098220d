// TInfoPage: the common frame of the built-in filters' property pages.
//
// A page is a registered class (IPropertyPage) that the property frame creates, gives the
// filter (SetObjects), lets build its widgets in a tab (Activate), refreshes once a second
// (Refresh) and tears down (Deactivate). This base does the protocol; a page says which
// interface it reads (Bind), which rows it shows (Build) and how it fills them (Update),
// and may offer a setting (MarkDirty / Apply).
// Ownership: the page holds its interface reference from SetObjects until SetObjects(null)
// or its release; its widgets belong to the tab and are deleted by Deactivate.
// Threads: user-interface thread only; the filters' interfaces it reads are thread-safe.
#pragma once

#include <QPointer>
#include <QString>

#include <string>

#include "platform/com/com_ptr.h"
#include "platform/graph/property_page.h"

class QFormLayout;
class QLabel;
class QWidget;

namespace kv::proppages {

class TInfoPage : public TUnknown, public IPropertyPage {
 public:
  explicit TInfoPage(std::string title) : title_(std::move(title)) {}
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  HRESULT SetPageSite(IPropertyPageSite* site) override;
  HRESULT SetObjects(IUnknown* object) override;
  HRESULT GetTitle(std::string* title) override;
  HRESULT Activate(void* parent) override;
  HRESULT Deactivate() override;
  HRESULT Apply() override;
  HRESULT IsPageDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT Refresh() override;

 protected:
  // Must implement: take the interface of `object` (false: not this page's kind of filter);
  // let it go; add the rows to `form` (parent widget `root`); fill them from the interface.
  virtual bool Bind(IUnknown* object) = 0;
  virtual void Unbind() = 0;
  virtual void Build(QWidget* root, QFormLayout* form) = 0;
  virtual void Update() = 0;
  // May override: write the edited setting; a failure keeps the frame open.
  virtual HRESULT ApplySetting() { return S_OK; }

  // A read-only row "caption: value"; the value label is named objectName (tests find it).
  QLabel* AddRow(QWidget* root, QFormLayout* form, const QString& caption, const char* objectName);
  // The user edited a setting: the frame's Apply button lights up.
  void MarkDirty();
  bool Active() const { return !root_.isNull(); }

 private:
  std::string title_;
  ComPtr<IPropertyPageSite> site_;
  QPointer<QWidget> root_;
  bool dirty_ = false;
};

// A counter as the pages show it.
QString Count(int64_t value);

}  // namespace kv::proppages
