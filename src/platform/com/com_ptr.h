// ComPtr<T>: an owning reference to a component interface.
//
// Holds one reference; copying adds one, destruction or Reset drops it. Not synchronised:
// one ComPtr variable is used by one thread at a time (the object it points to may be
// shared freely, its count is atomic).
#pragma once

#include <cstddef>
#include <utility>

#include "platform/com/unknown.h"

namespace kv {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(std::nullptr_t) {}
  // Takes a new reference on p.
  ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U>
  ComPtr(const ComPtr<U>& o) : ComPtr(static_cast<T*>(o.Get())) {}
  ~ComPtr() { Reset(); }

  ComPtr& operator=(const ComPtr& o) {
    ComPtr(o).Swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    ComPtr(std::move(o)).Swap(*this);
    return *this;
  }
  ComPtr& operator=(T* p) {
    ComPtr(p).Swap(*this);
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) {
    Reset();
    return *this;
  }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  // Adopts a reference the caller already owns (no AddRef).
  void Attach(T* p) {
    Reset();
    p_ = p;
  }
  // Gives up the reference without releasing it.
  T* Detach() { return std::exchange(p_, nullptr); }
  // Releases the current reference and returns the slot for an out parameter.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  void Swap(ComPtr& o) noexcept { std::swap(p_, o.p_); }

  // QueryInterface for U::kIid into *out.
  template <class U>
  HRESULT As(ComPtr<U>* out) const {
    if (!out) return E_POINTER;
    if (!p_) {
      out->Reset();
      return E_POINTER;
    }
    return p_->QueryInterface(U::kIid, out->PutVoid());
  }
  // QueryInterface for U::kIid; empty on failure.
  template <class U>
  ComPtr<U> Query() const {
    ComPtr<U> out;
    if (p_) p_->QueryInterface(U::kIid, out.PutVoid());
    return out;
  }

  friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.p_ == b.p_; }
  friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

// Creates an object of class T and returns the first reference to it.
template <class T, class... Args>
ComPtr<T> MakeComObject(Args&&... args) {
  return ComPtr<T>(new T(std::forward<Args>(args)...));
}

// Two references name the same object when their IUnknown identities are equal.
inline bool IsSameObject(IUnknown* a, IUnknown* b) {
  if (!a || !b) return a == b;
  ComPtr<IUnknown> ua, ub;
  a->QueryInterface(IID_IUnknown, ua.PutVoid());
  b->QueryInterface(IID_IUnknown, ub.PutVoid());
  return ua.Get() == ub.Get();
}

}  // namespace kv
