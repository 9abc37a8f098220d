// TOptionsDialog: the options library's dialog. It edits, in tabs, every setting under
// "Software\Tessaland\Kavello" that the player only reads, straight in the registry.
//
// Load reads the registry (a missing value shows its default; the capture and teletext
// folders default to the user's pictures folder). Save writes only what the user changed,
// plus defaults that differ from the player's own (the folders) when nothing was stored,
// and then "Version" = "2.3.0.0", so that the player does not ask again.
// User-interface thread only; the registry accessor is the dialog's own.
#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QTabWidget>

#include <vector>

#include "associations_page.h"
#include "option_editors.h"
#include "platform/registry/registry.h"

namespace kv::options {

class TOptionsDialog : public QDialog {
 public:
  explicit TOptionsDialog(QWidget* owner);

  void Load();
  // False when the registry could not be written.
  bool Save();

  QTabWidget* Tabs() const { return tabs_; }
  QDialogButtonBox* Buttons() const { return buttons_; }

 private:
  struct Binding {
    const OptionField* field;
    Editor editor;
    FieldValue loaded;    // what the editor showed after Load
    bool stored = false;  // the registry held a value of the right type
  };
  QWidget* TabPage(const char* tab);
  FieldValue DefaultValue(const OptionField& field) const;
  // The stored value of the field's type; false when there is none.
  bool ReadStored(const OptionField& field, FieldValue& value);
  bool Write(const OptionField& field, const FieldValue& value);
  bool OpenSection(const char* section);

  registry::TRegistry registry_;
  QTabWidget* tabs_;
  QDialogButtonBox* buttons_;
  AssociationsPage* associations_ = nullptr;
  std::vector<Binding> bindings_;
};

}  // namespace kv::options
