// The "Network connection" dialog, which makes a session when network.ini does not say how.
#pragma once
#include <cstdint>
#include <string>

#include "devices/net.h"
#include "editors/gui.h"

namespace korva {

// Runs the dialog on the panel screen until a session is hosted or joined (true) or the dialog
// is closed (false). LAN sessions are looked for on port (by broadcast, or at lan_target when
// it is given); a direct address uses that port too.
bool network_dialog(Gui& g, Net& n, uint16_t port, const std::string& lan_target = "");

}  // namespace korva
