// Mode 13, editing the current element's brain, and mode 5, its parameter panel. Leaving the
// brain editor compiles the brain, so that a mistake shows at once with its line; the line is
// remembered and shown highlighted when the same text is edited again.
#include <cstdio>
#include <string>
#include <vector>

#include "app/app.h"
#include "brain/brain.h"
#include "editors/editors.h"

namespace korva {
namespace {

constexpr std::string_view kLastErrorFile = "temp/brainerr.txt";  // checksum and line

std::string base_path(App& app, std::string_view relative) {
  return std::string(app.core->base_folder->view()) + std::string(relative);
}

// FNV-1a over the whole text: any change of the text, its end included, changes it.
uint32_t text_checksum(std::string_view path) {
  std::vector<uint8_t> bytes;
  if (!read_whole_file(path, bytes, kMaxBrainFileBytes)) return 0;
  uint32_t h = 2166136261u;
  for (uint8_t b : bytes) h = (h ^ b) * 16777619u;
  return h;
}

// The line of the last failed compile when the brain's text is still the one that failed.
int32_t remembered_error_line(App& app, std::string_view brain) {
  std::vector<uint8_t> bytes;
  if (!read_whole_file(base_path(app, kLastErrorFile), bytes, 256)) return 0;
  LineCursor lines{reinterpret_cast<const char*>(bytes.data()), static_cast<int64_t>(bytes.size())};
  const std::string sum(lines.at_end() ? std::string_view() : lines.next());
  const int32_t line = lines.at_end() ? 0 : str_to_int(lines.next());
  return sum == std::to_string(text_checksum(brain)) ? line : 0;
}

void remember_error_line(App& app, std::string_view brain, int32_t line) {
  const std::string path = base_path(app, kLastErrorFile);
  if (line <= 0) {
    file_delete(*app.core, path);
    return;
  }
  const std::string text = std::to_string(text_checksum(brain)) + "\r\n" + std::to_string(line) + "\r\n";
  if (!file_write_safely(path, text.data(), static_cast<int64_t>(text.size())))
    std::fprintf(stderr, "korva: %s could not be written\n", path.c_str());
}

// Compiles the brain on its own; shows the first error with its line. Returns the line (0 when
// the brain compiled).
int32_t compile_and_report(App& app, const std::string& brain) {
  Core& c = *app.core;
  auto state = brain_create();
  if (compile_brain(c, *state, brain, Pass::Normal)) return 0;
  const int32_t line = state->error_line > 0 ? state->error_line : 1;
  show_message(c, "The brain does not compile: the mistake is on line " + std::to_string(line) + "|" +
                      state->compile_error);
  return line;
}

}  // namespace

void run_brain_editing(App& app) {
  Core& c = *app.core;
  Model& m = *app.model;
  const int32_t e = m.current;
  if (e < 0 || e > m.last_index || !app.gui) return;
  Gui& g = *app.gui;
  check_header(c, e);
  TextEditorStore store;
  std::string brain(element_field(c, e, fld::kBrain).view());
  int32_t error_line = remembered_error_line(app, brain);
  while (true) {
    const int32_t code = brain_editor(g, brain, store, error_line);
    if (code == kEditorLoad) {
      if (gui_message_box(g, "The current brain modifications will be lost!", " CONTINUE ", " ABORT ") == 1 &&
          select_brain(g, m, e)) {
        brain = std::string(element_field(c, e, fld::kBrain).view());
        error_line = 0;
      }
      continue;
    }
    if (code == kEditorSaveAs) {
      save_brain_as(g, e);
      continue;
    }
    break;
  }
  // The header may have changed while editing: the configuration follows it.
  check_header(c, e);
  const int32_t line = compile_and_report(app, brain);
  remember_error_line(app, brain, line);
  if (line > 0 && app.exit_status == kStatusDone) app.exit_status = kStatusBrainError;
}

void run_parameter_editor(App& app) {
  Model& m = *app.model;
  if (m.current < 0 || m.current > m.last_index || !app.gui) return;
  check_header(*app.core, m.current);
  parameter_panel(*app.gui, m, m.current);
}

}  // namespace korva
