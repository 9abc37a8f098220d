// The property pages of the built-in filters (video and audio decoder, demultiplexer, audio
// renderer, video renderers): Qt widgets over the Qt-free record interfaces of
// filters/info/filter_info.h. The program registers them once at start; a process that
// does not (the command-line tools) simply shows no pages.
#pragma once

#include "platform/com/hresult.h"

namespace kv::proppages {

// Registers the five page classes with the class registry. Safe to call more than once.
HRESULT RegisterBuiltinPropertyPages();

}  // namespace kv::proppages
