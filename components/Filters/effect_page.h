// TEffectPage: the property page of every shipped effect filter ("Settings" tab).
//
// Builds one control per parameter row of the effect's catalogue entry (a slider with its
// value, a check box for a switch, a list for a choice), named after the row's key. Every
// change goes to the filter at once (IKavelloEffect::SetValues), so the picture or sound
// changes while playing; Apply/OK keeps the values (also for the next runs:
// IKavelloEffect::SaveValues), Cancel (Deactivate while dirty) puts back the values the
// page found. User-interface thread only.
#pragma once

#include <vector>

#include "filters/effects/effect_catalogue.h"
#include "filters/effects/effect_settings.h"
#include "platform/com/class_registry.h"
#include "platform/com/com_ptr.h"
#include "platform/graph/property_page.h"

class QWidget;

namespace kv::effects {

class TEffectPage final : public TUnknown, public IPropertyPage {
 public:
  TEffectPage() = default;
  ~TEffectPage() override;
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override;

  HRESULT SetPageSite(IPropertyPageSite* site) override;
  HRESULT SetObjects(IUnknown* object) override;
  HRESULT GetTitle(std::string* title) override;
  HRESULT Activate(void* parent) override;
  HRESULT Deactivate() override;
  HRESULT Apply() override;
  HRESULT IsPageDirty() override { return dirty_ ? S_OK : S_FALSE; }
  HRESULT Refresh() override { return S_OK; }

 private:
  void Changed(size_t row, double value);

  ComPtr<IPropertyPageSite> site_;
  ComPtr<IKavelloEffect> effect_;
  const TEffectDesc* desc_ = nullptr;
  std::vector<double> values_, original_;
  bool dirty_ = false;
  QWidget* root_ = nullptr;  // owned by the frame's tab until Deactivate
};

// Registers the page class with the registry (the module's export calls this).
HRESULT RegisterEffectPage(TClassRegistry& registry);

}  // namespace kv::effects
