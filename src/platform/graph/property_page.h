// Property pages: how a filter offers settings pages without the engine knowing any widget.
//
// A filter that has pages answers ISpecifyPropertyPages with the class identifiers of its
// pages. Each page is an ordinary registered class (TClassRegistry::RegisterClass, built-in
// or from a module in Components/Filters/) implementing IPropertyPage; pages are the only
// objects here that touch the window system, so they live in Qt-linked code (a module, or a
// page library of the program), never in the Qt-free filters themselves.
//
// The property frame (platform/ui/property_frame.h) shows one tab per page:
//   CoCreateInstance(page) -> SetPageSite -> SetObjects(filter) -> Activate(tab widget)
//   -> Refresh() once a second while shown -> Apply() on OK/Apply -> Deactivate.
// A page keeps its reference to the object until SetObjects(nullptr) or its release.
// Everything here runs on the user-interface thread; a page reads the live state of its
// filter through the filter's own thread-safe interfaces.
#pragma once

#include <string>
#include <vector>

#include "platform/com/unknown.h"

namespace kv {

// Filters with settings pages name the page classes here; the user interface shows them.
struct ISpecifyPropertyPages : IUnknown {
  static constexpr IID kIid = GuidLiteral("{B196B28B-BAB4-101A-B69C-00AA00341D07}");
  // Page classes in tab order; S_OK with an empty list means "no pages".
  virtual HRESULT GetPages(std::vector<CLSID>* pages) = 0;
};

// What a page tells its frame.
struct IPropertyPageSite : IUnknown {
  static constexpr IID kIid = GuidLiteral("{B196B28C-BAB4-101A-B69C-00AA00341D07}");
  // The page's values changed (dirty) or were applied (clean): enables the frame's Apply.
  virtual HRESULT OnStatusChange(bool dirty) = 0;
};

struct IPropertyPage : IUnknown {
  static constexpr IID kIid = GuidLiteral("{B196B28D-BAB4-101A-B69C-00AA00341D07}");
  virtual HRESULT SetPageSite(IPropertyPageSite* site) = 0;
  // The object the page edits (a filter); nullptr lets it go.
  virtual HRESULT SetObjects(IUnknown* object) = 0;
  // The tab's caption.
  virtual HRESULT GetTitle(std::string* title) = 0;
  // Builds the page's widgets inside `parent` (a QWidget*; void* keeps Qt out of this header).
  virtual HRESULT Activate(void* parent) = 0;
  // Tears the widgets down (the frame closes); the parent is still alive.
  virtual HRESULT Deactivate() = 0;
  // Writes the edited values to the object; a failure keeps the frame open.
  virtual HRESULT Apply() = 0;
  virtual HRESULT IsPageDirty() = 0;  // S_OK when dirty, S_FALSE when not
  // Re-reads the live figures the page shows (counters, formats); called once a second.
  virtual HRESULT Refresh() = 0;
};

inline constexpr IID IID_ISpecifyPropertyPages = ISpecifyPropertyPages::kIid;
inline constexpr IID IID_IPropertyPage = IPropertyPage::kIid;

}  // namespace kv
