// The component model: IUnknown, reference counts and QueryInterface.
//
// Every component interface derives from IUnknown and names its identifier as the static
// member `kIid` (the platform's published GUID, or this program's own for its interfaces).
// Objects are reference counted: a new object starts with no reference, the first ComPtr
// takes one, and the last Release deletes it. Reference counts are atomic, so references
// may be taken and dropped on any thread; everything else about an object's threads is in
// that object's own header.
//
// Writing an object: derive from TUnknown and from the interfaces it offers, put
// KV_DECLARE_IUNKNOWN in the class body, and override NonDelegatingQueryInterface:
//
//   class TMyFilter : public TUnknown, public IBaseFilter, public IMyThing {
//    public:
//     KV_DECLARE_IUNKNOWN
//     HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
//       if (iid == IMyThing::kIid) return GetInterface(static_cast<IMyThing*>(this), out);
//       return TUnknown::NonDelegatingQueryInterface(iid, out);
//     }
//   };
//
// Objects owned by another object (pins of a filter) pass an owner to TUnknown: their
// AddRef and Release then count on the owner, so a pin keeps its filter alive and there is
// no reference cycle between them.
#pragma once

#include <atomic>

#include "platform/com/guid.h"
#include "platform/com/hresult.h"

namespace kv {

struct IUnknown {
  static constexpr IID kIid = GuidLiteral("{00000000-0000-0000-C000-000000000046}");
  // On success stores an added reference in *object and returns S_OK; otherwise stores
  // nullptr and returns E_NOINTERFACE (E_POINTER when object is null).
  virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;  // objects are deleted through Release, never through an interface
};

inline constexpr IID IID_IUnknown = IUnknown::kIid;

// Stores `object` (with an added reference) into *out; S_OK, or E_POINTER for a null out.
template <class I>
HRESULT GetInterface(I* object, void** out) {
  if (!out) return E_POINTER;
  *out = object;
  object->AddRef();
  return S_OK;
}

// Reference counting and identity for an object; see the top of this file.
class TUnknown : public IUnknown {
 public:
  // owner: the object whose count this one shares (nullptr: its own count).
  explicit TUnknown(IUnknown* owner = nullptr) : owner_(owner) {}
  TUnknown(const TUnknown&) = delete;
  TUnknown& operator=(const TUnknown&) = delete;
  virtual ~TUnknown() = default;

  // Answers IUnknown with this object; derived classes add their interfaces first.
  virtual HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown) return GetInterface(static_cast<IUnknown*>(this), out);
    return E_NOINTERFACE;
  }
  ULONG NonDelegatingAddRef() {
    if (owner_) return owner_->AddRef();
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
  }
  ULONG NonDelegatingRelease() {
    if (owner_) return owner_->Release();
    ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  HRESULT QueryInterface(const IID& iid, void** out) override { return NonDelegatingQueryInterface(iid, out); }
  ULONG AddRef() override { return NonDelegatingAddRef(); }
  ULONG Release() override { return NonDelegatingRelease(); }

  // The count right now; for tests and diagnostics only.
  ULONG RefCountForTesting() const { return refs_.load(); }

 private:
  IUnknown* owner_;
  std::atomic<ULONG> refs_{0};
};

}  // namespace kv

// Routes the IUnknown methods of every interface base of a class to its TUnknown base.
#define KV_DECLARE_IUNKNOWN                                                                          \
  ::kv::HRESULT QueryInterface(const ::kv::IID& iid, void** out) override {                          \
    return NonDelegatingQueryInterface(iid, out);                                                    \
  }                                                                                                  \
  ::kv::ULONG AddRef() override { return NonDelegatingAddRef(); }                                    \
  ::kv::ULONG Release() override { return NonDelegatingRelease(); }
