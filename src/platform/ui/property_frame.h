// The property frame: a dialog with one tab per property page of an object (a filter).
//
// ShowPropertyFrame asks the object for ISpecifyPropertyPages, creates each page class
// through the class registry, and shows them modally under `owner`, captioned `caption`,
// with OK / Cancel / Apply. Pages are refreshed once a second while the frame is shown so
// that live figures (frames decoded, buffer levels) move. Apply and OK call every page's
// Apply; Cancel drops what was not applied. User-interface thread only.
#pragma once

#include <string>

#include "platform/com/unknown.h"

class QWidget;

namespace kv::ui {

// S_OK after the frame closed; E_NOINTERFACE when the object has no pages, or an error of
// the class registry when no page could be created (then nothing is shown).
HRESULT ShowPropertyFrame(QWidget* owner, const std::string& caption, IUnknown* object);

// True when the object offers at least one page.
bool HasPropertyPages(IUnknown* object);

}  // namespace kv::ui
