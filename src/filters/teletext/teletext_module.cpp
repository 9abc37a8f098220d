// The teletext decoder as a filter module of Components/Filters/: its one export registers
// the decoder's class with the program's class registry.
#include "filters/teletext/teletext_decoder_filter.h"

extern "C" __attribute__((visibility("default"))) kv::HRESULT KavelloRegisterFilters(kv::TClassRegistry* registry) {
  if (!registry) return kv::E_POINTER;
  return kv::teletext::RegisterTeletextDecoder(*registry);
}
