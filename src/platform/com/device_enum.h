// The system device enumerator: monikers and property bags over the class registry.
//
// ICreateDevEnum::CreateClassEnumerator(category) lists what a category holds (registered
// filter classes and the devices of providers, class_registry.h) as monikers. A moniker's
// property bag (BindToStorage) has "FriendlyName" (and "CLSID" for registered classes); the
// moniker creates its filter with BindToObject. Create the enumerator with
// CoCreateInstance(CLSID_SystemDeviceEnum) once RegisterComClasses() has run.
// Threads: any; monikers and bags are immutable snapshots.
#pragma once

#include <map>
#include <string>

#include "platform/com/class_registry.h"
#include "platform/com/enumerator.h"

namespace kv {

struct IBindCtx : IUnknown {
  static constexpr IID kIid = GuidLiteral("{0000000E-0000-0000-C000-000000000046}");
};

struct IPropertyBag : IUnknown {
  static constexpr IID kIid = GuidLiteral("{55272A00-42CB-11CE-8135-00AA004BB851}");
  // Reads a text property; E_INVALIDARG when the bag has no property of that name.
  virtual HRESULT Read(const std::string& name, std::string* value) = 0;
  virtual HRESULT Write(const std::string& name, const std::string& value) = 0;
};

struct IMoniker : IUnknown {
  static constexpr IID kIid = GuidLiteral("{0000000F-0000-0000-C000-000000000046}");
  // Creates the object the moniker names and returns interface iid of it. The context and
  // left moniker are accepted for the familiar signature and ignored (pass nullptr).
  virtual HRESULT BindToObject(IBindCtx* context, IMoniker* left, const IID& iid, void** object) = 0;
  // IID_IPropertyBag gives the moniker's properties; other iids E_NOINTERFACE.
  virtual HRESULT BindToStorage(IBindCtx* context, IMoniker* left, const IID& iid, void** object) = 0;
  // "@device:sw:{category}\name" for devices, the item text for item monikers.
  virtual HRESULT GetDisplayName(IBindCtx* context, IMoniker* left, std::string* name) = 0;
};

using IEnumMoniker = IEnumInterface<IMoniker, GuidLiteral("{00000102-0000-0000-C000-000000000046}")>;

struct ICreateDevEnum : IUnknown {
  static constexpr IID kIid = GuidLiteral("{29840822-5B84-11D0-BD3B-00A0C911CE86}");
  // S_OK with an enumerator, or S_FALSE and *out = nullptr when the category is empty.
  virtual HRESULT CreateClassEnumerator(const GUID& category, IEnumMoniker** out, uint32_t flags) = 0;
};

inline constexpr IID IID_IPropertyBag = IPropertyBag::kIid;
inline constexpr IID IID_IMoniker = IMoniker::kIid;
inline constexpr IID IID_ICreateDevEnum = ICreateDevEnum::kIid;
inline constexpr CLSID CLSID_SystemDeviceEnum = GuidLiteral("{62BE5D10-60EB-11D0-BD3B-00A0C911CE86}");

// A moniker for one device entry of `category`.
ComPtr<IMoniker> CreateDeviceMoniker(const GUID& category, TDeviceEntry entry);

// A property bag over a map of texts.
ComPtr<IPropertyBag> CreatePropertyBag(std::map<std::string, std::string> properties);

// Registers the classes of the component model itself (the system device enumerator) with
// the process's class registry. Idempotent, any thread.
void RegisterComClasses();

}  // namespace kv
