// The hardware port keywords: no port is ever touched.
#include "runtime/port_keywords.h"

#include "engine/keyword_table.h"

namespace korva {

int32_t input_b(System&, int32_t) { return 0; }
int32_t input_w(System&, int32_t) { return 0; }
int32_t input_d(System&, int32_t) { return 0; }
void output_b(System&, int32_t, int32_t) {}
void output_w(System&, int32_t, int32_t) {}
void output_d(System&, int32_t, int32_t) {}

void bind_port_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"input_b", keyword_routine<input_b>},
      {"input_w", keyword_routine<input_w>},
      {"input_d", keyword_routine<input_d>},
      {"output_b", keyword_routine<output_b>},
      {"output_w", keyword_routine<output_w>},
      {"output_d", keyword_routine<output_d>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
