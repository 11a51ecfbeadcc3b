// Start-up seams: the network session and the panel GUI.
#include <cstdio>
#include <string>

#include "app/app.h"
#include "core/ui_hooks.h"
#include "devices/net.h"
#include "editors/dialog_keywords.h"
#include "editors/dialog_network.h"
#include "editors/gui.h"

namespace korva {

namespace {

// "Could not connect, launch anyway?": OK runs without the network, Cancel ends the program.
NetStart launch_anyway(App& app) {
  if (ask_question(*app.core, "Could not connect, launch anyway?", " OK ", "Cancel") == 1) {
    if (app.network) net_stop(*app.network);
    return NetStart::NoNetwork;
  }
  return NetStart::Failed;
}

}  // namespace

// "netmode.ini" asks for a session: it is made from "network.ini" (host or join). Without
// "network.ini", or with a connection other than LAN (0) or an address (1), the connection is
// chosen in the "Network connection" dialog once the panel screen is up. A failed set-up asks
// whether to go on without the network.
NetStart network_start(App& app) {
  Core& c = *app.core;
  const std::string base(c.base_folder->view());
  if (!file_exists(c, base + "netmode.ini")) return NetStart::NoNetwork;
  app.network = net_create();
  Net& n = *app.network;
  n.ask = [&c](std::string_view text) { return ask_question(c, text, " OK ", "Cancel"); };
  const std::string ini = base + "network.ini";
  if (!file_exists(c, ini)) return NetStart::Dialog;
  const NetSettings settings = net_settings_read(ini);
  app.net_port = net_port(settings);  // the dialog's port and LAN target too
  app.net_lan_target = settings.address;
  if (settings.connection != 0 && settings.connection != 1) return NetStart::Dialog;
  std::string why;
  if (net_session_start(n, settings, why)) return NetStart::Started;
  if (!why.empty()) std::fprintf(stderr, "korva: network: %s\n", why.c_str());
  show_message(c, "Connection failed!");
  return launch_anyway(app);
}

NetStart network_dialog_start(App& app) {
  if (app.gui && app.network && network_dialog(*app.gui, *app.network, app.net_port, app.net_lan_target))
    return NetStart::Started;
  return launch_anyway(app);
}

void network_close(App& app) {
  if (app.network) net_stop(*app.network);
  app.net = NetStart::NoNetwork;
}

void panels_setup(App& app) {
  app_wire(app);
  app.gui = std::make_unique<Gui>();
  gui_start(*app.gui, *app.core, &app.input, &app.screen);
  app.gui->script = app.script.get();
  app.system.gui = app.gui.get();
  connect_dialog_hooks(app.system);
}

}  // namespace korva
