// The class registry: which component classes exist and how to create them.
//
// Filter modules register their classes here: the built-in modules by calling their own
// registration function at program start, shared libraries in the program's
// "Components/Filters/" folder through the exported C function KavelloRegisterFilters
// (see LoadFilterModules). Each registration records the class identifier, friendly name,
// merit, categories and the media types the filter's pins accept (intelligent connect
// uses the last three). CoCreateInstance creates objects of registered classes; the
// system device enumerator (device_enum.h) lists them by category.
//
// Threads: every call may come from any thread; the registry's own mutex guards its
// tables, and factories and device providers are always called without it held.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/com/com_ptr.h"

namespace kv {

// Class contexts; every class here is in process, so any of them is accepted.
inline constexpr uint32_t CLSCTX_INPROC_SERVER = 0x1;
inline constexpr uint32_t CLSCTX_INPROC_HANDLER = 0x2;

// Merits: intelligent connect tries higher merits first and never uses filters below
// MERIT_DO_NOT_USE + 1.
inline constexpr uint32_t MERIT_PREFERRED = 0x800000;
inline constexpr uint32_t MERIT_NORMAL = 0x600000;
inline constexpr uint32_t MERIT_UNLIKELY = 0x400000;
inline constexpr uint32_t MERIT_DO_NOT_USE = 0x200000;

inline constexpr CLSID CLSID_LegacyAmFilterCategory = GuidLiteral("{083863F1-70DE-11D0-BD40-00A0C911CE86}");
inline constexpr CLSID CLSID_AudioRendererCategory = GuidLiteral("{E0F158E1-CB04-11D0-BD4E-00A0C911CE86}");
inline constexpr CLSID CLSID_VideoInputDeviceCategory = GuidLiteral("{860BB310-5D01-11D0-BD3B-00A0C911CE86}");

// A media type a pin handles, by major type and subtype; GUID_NULL matches anything.
struct TRegPinTypes {
  GUID majorType;
  GUID subType;
};

// Creates a new object and returns the interface iid of it (an added reference in *object).
using TClassFactory = std::function<HRESULT(const IID& iid, void** object)>;

struct TClassRegistration {
  CLSID clsid;
  std::string friendlyName;
  uint32_t merit = MERIT_NORMAL;
  std::vector<GUID> categories;             // device categories the class is listed under
  std::vector<TRegPinTypes> inputTypes;     // types its input pins accept (empty: no input pins)
  std::vector<TRegPinTypes> outputTypes;    // types its output pins produce (empty: none or unknown)
  TClassFactory factory;
};

// A device that exists now (an audio output, a capture device): listed in a category like a
// class, but found by asking a provider at enumeration time. properties always include
// "FriendlyName"; factory creates the filter bound to that device.
struct TDeviceEntry {
  std::string friendlyName;
  std::map<std::string, std::string> properties;
  TClassFactory factory;
};
using TDeviceProvider = std::function<std::vector<TDeviceEntry>()>;

class TClassRegistry {
 public:
  // Registers a filter class: like RegisterClass, and also lists it under the legacy filter
  // category (every filter is found by friendly name there). E_INVALIDARG without a factory
  // or friendly name; S_FALSE when it replaced a registration of the same CLSID.
  HRESULT RegisterFilter(TClassRegistration registration);
  // Registers a class that is not a filter (graph manager, enumerators, clocks).
  HRESULT RegisterClass(TClassRegistration registration);
  HRESULT Unregister(const CLSID& clsid);
  // Adds a source of devices for a category; providers are asked in the order added.
  // Returns an id for RemoveDeviceProvider (a module that goes away removes its own).
  int AddDeviceProvider(const GUID& category, TDeviceProvider provider);
  void RemoveDeviceProvider(int id);

  // Creates an object of a registered class. REGDB_E_CLASSNOTREG for an unknown class.
  HRESULT CreateInstance(const CLSID& clsid, const IID& iid, void** object) const;
  bool Find(const CLSID& clsid, TClassRegistration* out) const;
  // Every registered class, in registration order.
  std::vector<TClassRegistration> Classes() const;
  // What a category lists: classes of that category in registration order, then the
  // providers' devices. Providers run on the calling thread without the registry lock.
  std::vector<TDeviceEntry> CategoryEntries(const GUID& category) const;

  // Loads every "*.so" in `folder` (sorted by name), calling its KavelloRegisterFilters.
  // Returns the number of modules that registered; a file that does not load or lacks the
  // export is skipped and noted in `errors`. Modules stay loaded for the process's life.
  // A module with a fresh class list beside it (class_list.h) is not loaded here: its
  // classes are registered from the list and the module is loaded when one of them is
  // first created (a failure to load then is that creation's result).
  int LoadFilterModules(const std::string& folder, std::vector<std::string>* errors = nullptr);
  // Whether any device provider was added (a module that adds one cannot be loaded late).
  bool HasDeviceProviders() const;

 private:
  HRESULT Add(TClassRegistration registration);
  struct Provider {
    int id;
    GUID category;
    TDeviceProvider provider;
  };
  mutable std::mutex mutex_;  // guards classes_, providers_ and nextProviderId_
  std::vector<TClassRegistration> classes_;
  std::vector<Provider> providers_;
  int nextProviderId_ = 1;
};

// The process's registry.
TClassRegistry& ClassRegistry();

// Creates an object of a registered class; outer must be null (no aggregation:
// CLASS_E_NOAGGREGATION is not needed by any caller, E_INVALIDARG is returned instead).
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, uint32_t clsContext, const IID& iid,
                         void** object);

template <class I>
HRESULT CoCreateInstance(const CLSID& clsid, ComPtr<I>* out) {
  if (!out) return E_POINTER;
  return CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, I::kIid, out->PutVoid());
}

}  // namespace kv

// The one export of a filter module in Components/Filters/:
//   extern "C" kv::HRESULT KavelloRegisterFilters(kv::TClassRegistry* registry);
// It registers the module's classes and returns S_OK. Modules must be built against the
// same headers as the program.
extern "C" {
using KavelloRegisterFiltersFn = kv::HRESULT (*)(kv::TClassRegistry* registry);
}
inline constexpr const char* kKavelloRegisterFiltersExport = "KavelloRegisterFilters";
