// The software 3D device of the tests that render previews with the real device.
#pragma once
#include "platform/gl/gl.h"
#include "platform/platform.h"

namespace korva::test {

// The software 3D device, when the machine has one (for previews rendered by the real device).
struct SoftwareDevice {
  platform::Devices devices;
  gl::Device gl;
  bool ok = false;
  SoftwareDevice() {
    platform::Screen none;
    platform::devices_probe(devices, none);
    ok = platform::devices_select(devices, platform::DeviceKind::Software);
  }
  ~SoftwareDevice() {
    if (gl.ready) gl::device_release(gl);
    platform::devices_release(devices);
  }
};

}  // namespace korva::test
