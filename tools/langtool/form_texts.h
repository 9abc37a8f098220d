// The translatable texts of the program's forms, as language-file entries.
//
// CollectFormTexts walks every form that exists (windows whose object name ends in "Form") and
// lists "Form.Object.Property" = text for each named object with a caption or a hint, in the
// forms' own order. Objects whose text is set at run time (file names, counters) carry the
// dynamic property "kvNoTranslate" and are left out, as are Qt's internal objects. UI thread.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

#include "i18n/lang_file.h"

namespace kv::langtool {

std::vector<i18n::TLangEntry> CollectFormTexts(const QList<QWidget*>& forms, QStringList* warnings);

// The English file's text for these entries.
std::string EnglishFile(const std::vector<i18n::TLangEntry>& entries);

}  // namespace kv::langtool
