// The brain runtime library's public face: the keyword families of values, element data,
// globals, run control, ports, the core and memory blocks, and their bindings.
#pragma once

#include "runtime/core_keywords.h"
#include "runtime/element_data_keywords.h"
#include "runtime/globals_keywords.h"
#include "runtime/memory_blocks.h"
#include "runtime/port_keywords.h"
#include "runtime/run_control_keywords.h"
#include "runtime/text_argument.h"
#include "runtime/value_keywords.h"

namespace korva {
// Binds every keyword family of the runtime library.
void bind_runtime_keywords(KeywordBindings& b);
}  // namespace korva
