#include <cstdio>

#include "core/core.h"

namespace korva {

static void print_stderr(std::string_view text) {
  std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

void show_message(Core& c, std::string_view text) {
  if (c.ui.message_box)
    c.ui.message_box(text, " OK ", "");
  else
    print_stderr(text);
}

int32_t ask_question(Core& c, std::string_view text, std::string_view left,
                     std::string_view right) {
  if (c.ui.message_box) return c.ui.message_box(text, left, right);
  print_stderr(text);
  return 1;
}

void show_status(Core& c, std::string_view text) {
  if (c.ui.status)
    c.ui.status(text);
  else if (!text.empty())
    print_stderr(text);
}

std::string ask_text(Core& c, int32_t min_width, std::string_view initial,
                     std::string_view prompt) {
  if (c.ui.input_box) return c.ui.input_box(min_width, initial, prompt);
  print_stderr(prompt);
  return std::string(initial);
}

}  // namespace korva
