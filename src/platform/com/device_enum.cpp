#include "platform/com/device_enum.h"

#include <mutex>

namespace kv {
namespace {

class TPropertyBag : public TUnknown, public IPropertyBag {
 public:
  explicit TPropertyBag(std::map<std::string, std::string> p) : props_(std::move(p)) {}
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IPropertyBag::kIid) return GetInterface(static_cast<IPropertyBag*>(this), out);
    return TUnknown::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT Read(const std::string& name, std::string* value) override {
    if (!value) return E_POINTER;
    std::lock_guard lock(mutex_);
    auto it = props_.find(name);
    if (it == props_.end()) return E_INVALIDARG;
    *value = it->second;
    return S_OK;
  }
  HRESULT Write(const std::string& name, const std::string& value) override {
    std::lock_guard lock(mutex_);
    props_[name] = value;
    return S_OK;
  }

 private:
  std::mutex mutex_;  // guards props_
  std::map<std::string, std::string> props_;
};

class TDeviceMoniker : public TUnknown, public IMoniker {
 public:
  TDeviceMoniker(const GUID& category, TDeviceEntry e) : category_(category), entry_(std::move(e)) {}
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IMoniker::kIid) return GetInterface(static_cast<IMoniker*>(this), out);
    return TUnknown::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT BindToObject(IBindCtx*, IMoniker*, const IID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!entry_.factory) return MK_E_UNAVAILABLE;
    return entry_.factory(iid, object);
  }
  HRESULT BindToStorage(IBindCtx*, IMoniker*, const IID& iid, void** object) override {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (iid != IPropertyBag::kIid) return E_NOINTERFACE;
    auto bag = CreatePropertyBag(entry_.properties);
    *object = bag.Detach();
    return S_OK;
  }
  HRESULT GetDisplayName(IBindCtx*, IMoniker*, std::string* name) override {
    if (!name) return E_POINTER;
    *name = "@device:sw:" + GuidToString(category_) + "\\" + entry_.friendlyName;
    return S_OK;
  }

 private:
  GUID category_;
  TDeviceEntry entry_;
};

class TSystemDeviceEnum : public TUnknown, public ICreateDevEnum {
 public:
  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == ICreateDevEnum::kIid) return GetInterface(static_cast<ICreateDevEnum*>(this), out);
    return TUnknown::NonDelegatingQueryInterface(iid, out);
  }
  HRESULT CreateClassEnumerator(const GUID& category, IEnumMoniker** out, uint32_t) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    std::vector<ComPtr<IMoniker>> monikers;
    for (auto& e : ClassRegistry().CategoryEntries(category))
      monikers.push_back(CreateDeviceMoniker(category, std::move(e)));
    if (monikers.empty()) return S_FALSE;
    // Reset re-reads the category, so devices that came or went show up.
    GUID cat = category;
    bool first = true;
    return CreateEnumerator<IEnumMoniker, IMoniker>(
        [cat, first, initial = std::move(monikers)]() mutable {
          if (first) {
            first = false;
            return std::move(initial);
          }
          std::vector<ComPtr<IMoniker>> fresh;
          for (auto& e : ClassRegistry().CategoryEntries(cat))
            fresh.push_back(CreateDeviceMoniker(cat, std::move(e)));
          return fresh;
        },
        out);
  }
};

}  // namespace

ComPtr<IMoniker> CreateDeviceMoniker(const GUID& category, TDeviceEntry entry) {
  return ComPtr<IMoniker>(new TDeviceMoniker(category, std::move(entry)));
}

ComPtr<IPropertyBag> CreatePropertyBag(std::map<std::string, std::string> properties) {
  return ComPtr<IPropertyBag>(new TPropertyBag(std::move(properties)));
}

void RegisterComClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    TClassRegistration r;
    r.clsid = CLSID_SystemDeviceEnum;
    r.friendlyName = "System Device Enumerator";
    r.factory = [](const IID& iid, void** out) {
      ComPtr<TSystemDeviceEnum> e(new TSystemDeviceEnum);
      return e->QueryInterface(iid, out);
    };
    ClassRegistry().RegisterClass(std::move(r));
  });
}

}  // namespace kv
