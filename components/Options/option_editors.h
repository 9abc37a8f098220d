// One Qt editor per kind of option field, with a uniform way to put a value in and take it out.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <variant>

#include "option_fields.h"

namespace kv::options {

// A setting's value as the registry holds it: string, 32-bit integer, Boolean or double.
using FieldValue = std::variant<std::string, int32_t, bool, double>;

struct Editor {
  QWidget* widget = nullptr;  // owned by the parent given to MakeEditor
  std::function<FieldValue()> get;
  std::function<void(const FieldValue&)> set;  // a value of the field's type
};

// Builds the editor of `field` as a child of `parent`; its object name is the section without
// blanks followed by the value name ("SubtitlesFontSize", "FrameCaptureDirectory").
Editor MakeEditor(const OptionField& field, QWidget* parent);

// Converts between the registry's 0x00BBGGRR colours and Qt's.
uint32_t ColorToValue(int red, int green, int blue);

}  // namespace kv::options
