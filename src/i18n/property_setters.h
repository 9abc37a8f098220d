// How a language file's property names reach Qt objects: one table of the names the files
// use ("Caption", "Hint", "Items", "Lines") and their setters per widget kind, then any
// property of the object's meta-object by name (text, integer or string list). Also the
// reverse, for the tool that writes the English file from the forms. UI thread only.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class QObject;

namespace kv::i18n {

// The property's current value as text, or nullopt when the object has no such property.
std::optional<QString> ReadTranslatable(QObject* object, const QString& property, const QString& separator);

// Sets the property from the file's value; false when the object has no such property or
// an integer property gets a value that is not a number (the entry is then left unused).
bool WriteTranslatable(QObject* object, const QString& property, const QString& value, const QString& separator);

// The properties the English file lists for an object, with their current values.
QList<QPair<QString, QString>> TranslatableTexts(QObject* object, const QString& separator);

}  // namespace kv::i18n
