// The program's own states: the korva executable owns the Core, the screen, the rendering
// devices and the instance lock here, and wires the System context (core/system.h) to them.
// Later subsystems add their states beside these.
#pragma once
#include <memory>

#include "core/core.h"
#include "core/instance_lock.h"
#include "core/system.h"
#include "platform/platform.h"

namespace korva {

// What the network start found; the session layer arrives later and until then there is none.
enum class NetStart : int32_t { NoNetwork, Started, Failed };

struct App {
  std::unique_ptr<Core> core;
  platform::Screen screen;
  platform::Devices devices;
  InstanceLock lock;
  NetStart net = NetStart::NoNetwork;
  bool settings_write_failed = false;  // reported once on stderr
  System system;  // pointers into the states above, handed to every subsystem
};

}  // namespace korva
