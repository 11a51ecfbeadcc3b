// The hardware port keywords. A brain must not reach the machine's I/O ports (on this platform
// a port instruction would end the process), so they read 0 and write nothing.
#pragma once
#include <cstdint>

#include "core/system.h"

namespace korva {

struct KeywordBindings;

int32_t input_b(System& s, int32_t port);
int32_t input_w(System& s, int32_t port);
int32_t input_d(System& s, int32_t port);
void output_b(System& s, int32_t port, int32_t v);
void output_w(System& s, int32_t port, int32_t v);
void output_d(System& s, int32_t port, int32_t v);

void bind_port_keywords(KeywordBindings& b);

}  // namespace korva
