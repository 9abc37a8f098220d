// TLanguage: translates the program's forms at run time from a language file.
//
// LoadTranslation reads `LanguageFile` (lang_file.h) and applies each entry "Form.Name.Prop
// = value": the form is a window of the application whose object name matches the head of the
// path, each further piece names an object owned (at any depth) by the one before, the last
// piece is the property. Names are compared case-insensitively; an unknown form, object or
// property leaves the entry unused, silently. Property names are the ones the language files
// use, mapped onto the Qt widgets by one table (property_setters.h): "Caption", "Hint",
// "Items", "Lines", and any property of the object's meta-object by name.
//
// Forms created after a load (dialogs, the options library's dialog, forms shown later) are
// translated when they are first shown: the translator watches the application's show events
// and applies the entries whose head names that window. User-interface thread only.
#pragma once

#include <QObject>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

#include "i18n/lang_file.h"

class QWidget;

namespace kv::i18n {

class TLanguage : public QObject {
 public:
  explicit TLanguage(QObject* owner);
  ~TLanguage() override;

  std::string LanguageFile;
  QStringList Properties;  // kept for callers; loading does not use it
  std::function<void()> OnBeforeTranslation;
  std::function<void()> OnAfterTranslation;
  // Called before each assignment with the new value (it may change it) and the current text.
  std::function<void(std::string& value, const std::string& current)> OnTranslate;

  const std::string& Separator() const { return separator_; }
  // Empty or blank gives ",".
  void SetSeparator(const std::string& separator);

  // Reads LanguageFile and applies it to every window that exists. False (and no
  // OnAfterTranslation) when the file cannot be read.
  bool LoadTranslation();
  // Applies the loaded entries whose head names `form`; the number of properties set.
  int TranslateForm(QWidget* form);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  int Apply(const TLangEntry& entry, QWidget* onlyForm);

  std::string separator_ = ",";
  std::vector<TLangEntry> entries_;
};

}  // namespace kv::i18n
