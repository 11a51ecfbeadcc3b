// The korva executable: one mode per process, chosen by "runmode.ini" in the current folder.
#include <memory>

#include "app/app.h"

int main(int argc, char** argv) {
  auto app = std::make_unique<korva::App>();
  korva::use_editor_modes(*app);
  return korva::korva_run(*app, korva::command_line_text(argc, argv));
}
