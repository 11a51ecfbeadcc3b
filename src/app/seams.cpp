// Start-up seams for the network session layer and the panel GUI, which arrive later.
#include <cstdio>

#include "app/app.h"
#include "editors/dialog_keywords.h"
#include "editors/gui.h"

namespace korva {

NetStart network_start(App& app) {
  Core& c = *app.core;
  FixedString& path = str_temp(c);
  str_set(path, *c.base_folder);
  str_cat(path, "netmode.ini");
  const bool wanted = file_exists(c, path) != 0;
  str_release(c, path);
  if (wanted) std::fprintf(stderr, "korva: netmode.ini found, but this build has no network; running alone\n");
  return NetStart::NoNetwork;
}

void network_close(App& app) { app.net = NetStart::NoNetwork; }

void panels_setup(App& app) {
  app_wire(app);
  app.gui = std::make_unique<Gui>();
  gui_start(*app.gui, *app.core, &app.input, &app.screen);
  app.gui->script = app.script.get();
  app.system.gui = app.gui.get();
  connect_dialog_hooks(app.system);
}

}  // namespace korva
