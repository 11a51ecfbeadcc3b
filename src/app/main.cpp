// The korva executable: one mode per process, chosen by "runmode.ini" in the current folder.
#include "app/app.h"

int main(int argc, char** argv) {
  korva::App app;
  return korva::korva_run(app, korva::command_line_text(argc, argv));
}
