#include "app/keytable.h"

#include <gtest/gtest.h>

namespace kv::keys {
namespace {

TEST(KeyTable, EveryCharacterRow) {
  struct Row {
    int code;
    CharCommand cmd;
  } rows[] = {
      {'*', CharCommand::Mute},         {'f', CharCommand::Fullscreen},   {'F', CharCommand::Fullscreen},
      {'o', CharCommand::AlwaysOnTop},  {'k', CharCommand::AspectOriginal}, {'l', CharCommand::Aspect43},
      {'j', CharCommand::AspectNone},   {'m', CharCommand::OsdMenu},      {'x', CharCommand::Clock},
      {'s', CharCommand::SaveOrCapture}, {19, CharCommand::SaveAllPages}, {'t', CharCommand::Teletext},
      {20, CharCommand::TeletextTransparent}, {'d', CharCommand::Status}, {' ', CharCommand::Pause},
      {26, CharCommand::ZoomOff},       {3, CharCommand::CropOff},        {'z', CharCommand::ZoomMode},
      {'c', CharCommand::CropMode},     {'+', CharCommand::Plus},         {'-', CharCommand::Minus},
      {'0', CharCommand::Digit},        {'9', CharCommand::Digit},        {'a', CharCommand::None},
      {'[', CharCommand::None},         {'{', CharCommand::None},         {200, CharCommand::None},
      {-5, CharCommand::None},
  };
  for (const Row& r : rows) EXPECT_EQ(ClassifyChar(r.code), r.cmd) << "code " << r.code;
}

TEST(KeyTable, ArrowDirections) {
  EXPECT_EQ(ArrowDirection(kUp), 0);
  EXPECT_EQ(ArrowDirection(kLeft), 1);
  EXPECT_EQ(ArrowDirection(kRight), 2);
  EXPECT_EQ(ArrowDirection(kDown), 3);
  EXPECT_EQ(ArrowDirection(kAdd), -1);
}

}  // namespace
}  // namespace kv::keys
