// NameIndex: finds an item of a vector by its name, case-insensitively (ASCII), in O(1).
//
// An open-addressing table of positions; the names themselves stay in the items (nothing
// is copied or allocated per name), and every probe compares with the item's real name,
// so a position that went stale can only miss, never return a wrong item. The owner adds
// each item it appends and calls Clear() when items are inserted in the middle or removed;
// a table whose count differs from the vector's size is rebuilt by Sync().
// Not thread-safe; the owner's lock covers it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace kv::registry {

bool NamesEqual(std::string_view a, std::string_view b);
// A hash of the ASCII lower-case form of `name`.
uint64_t HashName(std::string_view name);

class NameIndex {
 public:
  static constexpr size_t npos = static_cast<size_t>(-1);

  // Rebuilds the table when it does not hold exactly `items.size()` positions.
  template <class Items, class NameOf>
  void Sync(const Items& items, NameOf nameOf) {
    if (count_ == items.size() && !slots_.empty()) return;
    size_t capacity = 16;
    while (capacity < 2 * items.size() + 2) capacity *= 2;
    slots_.assign(capacity, 0);
    for (size_t i = 0; i < items.size(); ++i) Place(HashName(nameOf(items[i])), i);
    count_ = items.size();
  }

  // The position of the item named `name`, or npos. Call Sync first.
  template <class Items, class NameOf>
  size_t Find(std::string_view name, const Items& items, NameOf nameOf) const {
    if (slots_.empty()) return npos;
    const size_t mask = slots_.size() - 1;
    const uint64_t hash = HashName(name);
    const uint64_t tag = hash >> 32;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const uint64_t slot = slots_[i];
      if (slot == 0) return npos;
      const size_t position = static_cast<uint32_t>(slot) - 1;
      // The tag spares reading the names of items that merely share the slot's neighbourhood.
      if ((slot >> 32) == tag && position < items.size() && NamesEqual(nameOf(items[position]), name))
        return position;
    }
  }

  // Records that items[position] (a name not in the table yet) was appended. Call Sync
  // before the append.
  template <class Items, class NameOf>
  void Added(size_t position, const Items& items, NameOf nameOf) {
    if (2 * (count_ + 1) + 2 > slots_.size()) {
      count_ = npos;  // forces the rebuild, which takes the new item in
      Sync(items, nameOf);
      return;
    }
    Place(HashName(nameOf(items[position])), position);
    ++count_;
  }

  void Clear() {
    slots_.clear();
    count_ = 0;
  }

 private:
  void Place(uint64_t hash, size_t position) {
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = ((hash >> 32) << 32) | static_cast<uint32_t>(position + 1);
  }

  // 0 = empty, else the high half of the name's hash over position + 1; size a power of two
  std::vector<uint64_t> slots_;
  size_t count_ = 0;             // positions held
};

}  // namespace kv::registry
