// korva-player: the engine without the editors. A stand-alone game's folder holds a copy of it
// (named "korvaexe"), which plays the folder's levels.
#include <memory>

#include "app/app.h"

int main(int argc, char** argv) {
  auto app = std::make_unique<korva::App>();
  app->player_only = true;
  return korva::korva_run(*app, korva::command_line_text(argc, argv));
}
