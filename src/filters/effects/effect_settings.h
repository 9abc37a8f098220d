// IKavelloEffect: the settings side of a shipped effect filter, for its property page.
//
// The page (Qt, components/Filters) reads the effect's class to find its parameter rows in
// the catalogue (effect_catalogue.h), reads the current values and sets new ones. A new
// value takes effect on the next frame the filter processes, while the graph runs; nothing
// is stopped. Values are in catalogue row order and are clamped by the filter.
// Any thread: the filter guards its values with its own lock.
#pragma once

#include <vector>

#include "platform/com/unknown.h"

namespace kv::effects {

struct IKavelloEffect : IUnknown {
  static constexpr IID kIid = GuidLiteral("{0663DE0F-33C8-40AE-A4CD-3DFA6A7CB49C}");
  virtual HRESULT GetEffectClass(CLSID* clsid) = 0;
  virtual HRESULT GetValues(std::vector<double>* values) = 0;
  virtual HRESULT SetValues(const std::vector<double>& values) = 0;
  // Keeps the current values for every later instance of this effect, in this run and the
  // next ones (effect_store.h); the property page calls it when the user applies. A new
  // instance starts from the values last kept, else from the defaults.
  virtual HRESULT SaveValues() = 0;
  // True when the values set would change the output picture's size (a quarter turn),
  // which the current connection cannot carry: the chain must be connected again. Until
  // then the filter keeps the last values that fit.
  virtual bool NeedsReconnect() = 0;
};

// The class of the one property page every shipped effect names.
inline constexpr CLSID CLSID_KavelloEffectPage = GuidLiteral("{26D6B8BF-6D34-4AFA-BB9B-5B4494CEBCC4}");

}  // namespace kv::effects
