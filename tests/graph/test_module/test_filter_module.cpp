// A filter module as Components/Filters/ holds them: one exported registration function.
#include "platform/com/class_registry.h"
#include "platform/graph/filter.h"

namespace {

constexpr kv::CLSID kModuleClassId = kv::GuidLiteral("{56466BA7-F3FA-47F4-840D-9B887FD72332}");

class TModuleObject : public kv::TUnknown, public kv::IPersist {
 public:
  KV_DECLARE_IUNKNOWN
  kv::HRESULT NonDelegatingQueryInterface(const kv::IID& iid, void** out) override {
    if (iid == kv::IPersist::kIid) return kv::GetInterface(static_cast<kv::IPersist*>(this), out);
    return TUnknown::NonDelegatingQueryInterface(iid, out);
  }
  kv::HRESULT GetClassID(kv::CLSID* clsid) override {
    *clsid = kModuleClassId;
    return kv::S_OK;
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) kv::HRESULT KavelloRegisterFilters(kv::TClassRegistry* registry) {
  kv::TClassRegistration r;
  r.clsid = kModuleClassId;
  r.friendlyName = "Module Test Filter";
  r.merit = kv::MERIT_DO_NOT_USE;
  r.factory = [](const kv::IID& iid, void** out) {
    kv::ComPtr<TModuleObject> object(new TModuleObject);
    return object->QueryInterface(iid, out);
  };
  return registry->RegisterFilter(std::move(r));
}
