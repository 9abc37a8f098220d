// A stand-in for the options library: records its call in the registry like the real dialog
// would ("Version" on confirm) and answers with the result it was built for.
#include <cstdint>

#include "platform/registry/registry.h"

#ifndef KAVELLO_DOUBLE_NO_EXPORT
extern "C" __attribute__((visibility("default"))) bool ShowOptions(void* owner, int mode) {
  kv::registry::TRegistry reg;
  if (!reg.OpenKey("Software\\Tessaland\\Kavello", true)) return false;
  reg.WriteInteger("DoubleCalls", reg.ReadInteger("DoubleCalls").value_or(0) + 1);
  reg.WriteInteger("DoubleMode", mode);
  reg.WriteInteger("DoubleOwnerLow", static_cast<int32_t>(reinterpret_cast<uintptr_t>(owner)));
  reg.WriteString("Language", "Deutsch");
  if (KAVELLO_DOUBLE_RESULT) reg.WriteString("Version", "2.3.0.0");
  // a value the program also saves, changed by the dialog
  if (reg.OpenKey("Software\\Tessaland\\Kavello\\Position", true)) reg.WriteInteger("Width", 640);
  return KAVELLO_DOUBLE_RESULT;
}
#else
extern "C" __attribute__((visibility("default"))) bool SomethingElse() { return true; }
#endif
