// IEnumInterface<Item>: the enumerator shape shared by IEnumPins, IEnumFilters and
// IEnumMoniker, and TInterfaceEnumerator, its one implementation.
//
// An enumerator holds a snapshot of the set it lists, taken when it is created and again
// at every Reset, so a caller that changes the set (removes a filter) resets and starts
// over. Next hands out added references. An enumerator object is used by one thread at a
// time; the source it snapshots locks whatever it reads.
#pragma once

#include <functional>
#include <vector>

#include "platform/com/com_ptr.h"

namespace kv {

template <class Item, GUID Iid>
struct IEnumInterface : IUnknown {
  static constexpr IID kIid = Iid;
  // Fetches up to count items into items[] (added references). S_OK when count items were
  // fetched, S_FALSE when fewer (fetched tells how many; it may be null only for count 1).
  virtual HRESULT Next(ULONG count, Item** items, ULONG* fetched) = 0;
  virtual HRESULT Skip(ULONG count) = 0;
  // Starts over with a fresh snapshot of the set.
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumInterface** out) = 0;
};

template <class IEnum, class Item>
class TInterfaceEnumerator : public TUnknown, public IEnum {
 public:
  using Source = std::function<std::vector<ComPtr<Item>>()>;
  explicit TInterfaceEnumerator(Source source) : source_(std::move(source)) { items_ = source_(); }

  KV_DECLARE_IUNKNOWN
  HRESULT NonDelegatingQueryInterface(const IID& iid, void** out) override {
    if (iid == IEnum::kIid) return GetInterface(static_cast<IEnum*>(this), out);
    return TUnknown::NonDelegatingQueryInterface(iid, out);
  }

  HRESULT Next(ULONG count, Item** items, ULONG* fetched) override {
    if (!items || (count > 1 && !fetched)) return E_POINTER;
    ULONG n = 0;
    while (n < count && pos_ < items_.size()) {
      items[n] = items_[pos_++].Get();
      items[n]->AddRef();
      ++n;
    }
    if (fetched) *fetched = n;
    return n == count ? S_OK : S_FALSE;
  }
  HRESULT Skip(ULONG count) override {
    size_t left = items_.size() - pos_;
    if (count > left) {
      pos_ = items_.size();
      return S_FALSE;
    }
    pos_ += count;
    return S_OK;
  }
  HRESULT Reset() override {
    items_ = source_();
    pos_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnum** out) override {
    if (!out) return E_POINTER;
    auto* copy = new TInterfaceEnumerator(source_, items_, pos_);
    *out = copy;
    copy->AddRef();
    return S_OK;
  }
  using IEnum::Clone;

 private:
  TInterfaceEnumerator(Source s, std::vector<ComPtr<Item>> items, size_t pos)
      : source_(std::move(s)), items_(std::move(items)), pos_(pos) {}
  Source source_;
  std::vector<ComPtr<Item>> items_;
  size_t pos_ = 0;
};

// Creates an enumerator over what `source` returns.
template <class IEnum, class Item>
HRESULT CreateEnumerator(typename TInterfaceEnumerator<IEnum, Item>::Source source, IEnum** out) {
  if (!out) return E_POINTER;
  *out = new TInterfaceEnumerator<IEnum, Item>(std::move(source));
  (*out)->AddRef();
  return S_OK;
}

}  // namespace kv
