#include "platform/com/class_registry.h"

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/com/class_list.h"

namespace kv {

std::string HResultText(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<uint32_t>(hr));
  return buf;
}

HRESULT TClassRegistry::Add(TClassRegistration registration) {
  if (!registration.factory) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  for (auto& c : classes_) {
    if (c.clsid == registration.clsid) {
      c = std::move(registration);
      return S_FALSE;
    }
  }
  classes_.push_back(std::move(registration));
  return S_OK;
}

HRESULT TClassRegistry::RegisterFilter(TClassRegistration registration) {
  if (registration.friendlyName.empty()) return E_INVALIDARG;
  auto& cats = registration.categories;
  if (std::find(cats.begin(), cats.end(), CLSID_LegacyAmFilterCategory) == cats.end())
    cats.insert(cats.begin(), CLSID_LegacyAmFilterCategory);
  return Add(std::move(registration));
}

HRESULT TClassRegistry::RegisterClass(TClassRegistration registration) { return Add(std::move(registration)); }

HRESULT TClassRegistry::Unregister(const CLSID& clsid) {
  std::lock_guard lock(mutex_);
  auto it = std::find_if(classes_.begin(), classes_.end(), [&](auto& c) { return c.clsid == clsid; });
  if (it == classes_.end()) return S_FALSE;
  classes_.erase(it);
  return S_OK;
}

int TClassRegistry::AddDeviceProvider(const GUID& category, TDeviceProvider provider) {
  std::lock_guard lock(mutex_);
  int id = nextProviderId_++;
  providers_.push_back(Provider{id, category, std::move(provider)});
  return id;
}

void TClassRegistry::RemoveDeviceProvider(int id) {
  std::lock_guard lock(mutex_);
  std::erase_if(providers_, [id](const Provider& p) { return p.id == id; });
}

HRESULT TClassRegistry::CreateInstance(const CLSID& clsid, const IID& iid, void** object) const {
  if (!object) return E_POINTER;
  *object = nullptr;
  TClassFactory factory;
  {
    std::lock_guard lock(mutex_);
    for (auto& c : classes_)
      if (c.clsid == clsid) factory = c.factory;
  }
  if (!factory) return REGDB_E_CLASSNOTREG;
  return factory(iid, object);
}

bool TClassRegistry::Find(const CLSID& clsid, TClassRegistration* out) const {
  std::lock_guard lock(mutex_);
  for (auto& c : classes_) {
    if (c.clsid == clsid) {
      if (out) *out = c;
      return true;
    }
  }
  return false;
}

std::vector<TClassRegistration> TClassRegistry::Classes() const {
  std::lock_guard lock(mutex_);
  return classes_;
}

std::vector<TDeviceEntry> TClassRegistry::CategoryEntries(const GUID& category) const {
  std::vector<TDeviceEntry> entries;
  std::vector<TDeviceProvider> providers;
  {
    std::lock_guard lock(mutex_);
    for (auto& c : classes_) {
      if (std::find(c.categories.begin(), c.categories.end(), category) == c.categories.end()) continue;
      TDeviceEntry e;
      e.friendlyName = c.friendlyName;
      e.properties["FriendlyName"] = c.friendlyName;
      e.properties["CLSID"] = GuidToString(c.clsid);
      e.factory = c.factory;
      entries.push_back(std::move(e));
    }
    for (auto& p : providers_)
      if (p.category == category) providers.push_back(p.provider);
  }
  for (auto& p : providers) {
    for (auto& d : p()) {
      d.properties["FriendlyName"] = d.friendlyName;
      entries.push_back(std::move(d));
    }
  }
  return entries;
}

namespace {
// A module registered from its class list: loaded, with its classes registered into a
// registry of its own, when one of them is first created. Shared by its classes'
// factories; lives as long as they do.
struct TLazyModule {
  std::string path;
  std::once_flag once;
  HRESULT loaded = E_FAIL;
  TClassRegistry classes;
};

void LoadLazyModule(TLazyModule& module) {
  void* handle = dlopen(module.path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) return;
  auto fn = reinterpret_cast<KavelloRegisterFiltersFn>(dlsym(handle, kKavelloRegisterFiltersExport));
  // Left loaded even when it fails: it may have registered part of its classes.
  module.loaded = fn ? fn(&module.classes) : E_FAIL;
  if (!fn) dlclose(handle);
}
}  // namespace

int TClassRegistry::LoadFilterModules(const std::string& folder, std::vector<std::string>* errors) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* e = readdir(dir)) {
      std::string n = e->d_name;
      if (n.size() > 3 && n.compare(n.size() - 3, 3, ".so") == 0) names.push_back(n);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  int loaded = 0;
  for (auto& n : names) {
    std::string path = folder + "/" + n;
    if (auto list = FreshClassList(path)) {
      auto module = std::make_shared<TLazyModule>();
      module->path = path;
      for (TClassRegistration& c : *list) {
        c.factory = [module, clsid = c.clsid](const IID& iid, void** object) -> HRESULT {
          std::call_once(module->once, [&] { LoadLazyModule(*module); });
          if (FAILED(module->loaded)) return module->loaded;
          return module->classes.CreateInstance(clsid, iid, object);
        };
        RegisterClass(std::move(c));  // the list keeps the categories as the module gave them
      }
      ++loaded;
      continue;
    }
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      if (errors) errors->push_back(path + ": " + dlerror());
      continue;
    }
    auto fn = reinterpret_cast<KavelloRegisterFiltersFn>(dlsym(handle, kKavelloRegisterFiltersExport));
    if (!fn) {
      if (errors) errors->push_back(path + ": no " + kKavelloRegisterFiltersExport);
      dlclose(handle);
      continue;
    }
    HRESULT hr = fn(this);
    if (FAILED(hr)) {
      if (errors) errors->push_back(path + ": registration failed " + HResultText(hr));
      continue;  // it may have registered part of its classes; keep it loaded
    }
    ++loaded;
  }
  return loaded;
}

bool TClassRegistry::HasDeviceProviders() const {
  std::lock_guard lock(mutex_);
  return !providers_.empty();
}

TClassRegistry& ClassRegistry() {
  static TClassRegistry registry;
  return registry;
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t clsContext, const IID& iid,
                         void** object) {
  if (!object) return E_POINTER;
  *object = nullptr;
  if (outer) return E_INVALIDARG;
  if ((clsContext & (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)) == 0) return REGDB_E_CLASSNOTREG;
  return ClassRegistry().CreateInstance(clsid, iid, object);
}

}  // namespace kv
