// The "Network connection" dialog driven by keys: the connection choice, the LAN session list
// of a host on this machine, the fields, and what closing it or hosting from it does.
#include <gtest/gtest.h>

#include <functional>

#include "devices/net_transport.h"
#include "editors/dialog_network.h"
#include "golden.h"
#include "gui_fixture.h"

namespace korva {
namespace {

// A port of its own for each test process, so that test runs side by side do not meet.
uint16_t free_port() { return static_cast<uint16_t>(20000 + (::getpid() * 7919) % 30000); }

// Feeds one action per pump: keys (scan, character) in order; the callback runs at a pump.
struct Keys {
  struct Step {
    int32_t scan;
    char ch;
  };
  std::vector<Step> steps;
  size_t next = 0;
  int32_t pumps = 0;
};

void drive(test::GuiFixture& fx, Keys& keys, std::function<void(int32_t pump)> at_pump) {
  fx.gui.io.input_exhausted = [] { return false; };
  fx.gui.io.pump = [&fx, &keys, at_pump] {
    ++keys.pumps;
    if (at_pump) at_pump(keys.pumps);
    if (keys.pumps % 3 != 0 || keys.next >= keys.steps.size()) return;
    const Keys::Step s = keys.steps[keys.next++];
    if (s.ch)
      input_character(fx.input, s.ch, s.scan);
    else
      input_key_down(fx.input, s.scan, false);
  };
}

TEST(NetworkDialog, ListsLanSessionsAndClosesWithoutASession) {
  test::GuiFixture fx;
  const uint16_t port = free_port();
  auto host = net_create();
  NetSettings hs;
  hs.connection = 0;
  hs.session_name = "Friday race";
  hs.port = port;
  std::string why;
  ASSERT_TRUE(net_session_start(*host, hs, why)) << why;

  Keys keys;
  keys.steps = {{kScanF1, 0}, {kScanEnd, 0}};
  for (int k = 0; k < 210; ++k) keys.steps.push_back({kScanBackspace, 0});  // any computer name
  for (char ch : std::string("Lobby")) keys.steps.push_back({0x26, ch});
  keys.steps.push_back({kScanEscape, 0});
  platform::Surface picture;
  const size_t picture_at = keys.steps.size() - 1;
  drive(fx, keys, [&](int32_t) {
    if (keys.next == picture_at && picture.pixels.empty()) picture = fx.screen.primary;
  });
  auto n = net_create();
  EXPECT_FALSE(network_dialog(fx.gui, *n, port, "127.0.0.1"));
  EXPECT_EQ(n->active, 0);
  ASSERT_FALSE(picture.pixels.empty());
  golden::expect_surface(picture, "editors", "network_dialog", golden::kExact);
}

TEST(NetworkDialog, HostsFromTheDialogAndJoinersFindIt) {
  test::GuiFixture fx;
  const uint16_t port = static_cast<uint16_t>(free_port() + 1);
  Keys keys;
  keys.steps = {{kScanF1, 0}, {kScanEnd, 0}};
  for (int k = 0; k < 210; ++k) keys.steps.push_back({kScanBackspace, 0});  // any computer name
  for (char ch : std::string("Mine")) keys.steps.push_back({0x26, ch});
  keys.steps.push_back({63, 0});  // F5: Host
  drive(fx, keys, nullptr);
  auto n = net_create();
  ASSERT_TRUE(network_dialog(fx.gui, *n, port, "127.0.0.1"));
  EXPECT_EQ(n->active, -1);
  {
    std::lock_guard<std::mutex> hold(n->lock);
    EXPECT_TRUE(n->tables.host);
  }
  bool found = false;
  for (const NetFound& f : net_lan_find(port, 500, "127.0.0.1")) found = found || f.name == "Mine";
  EXPECT_TRUE(found);
}

}  // namespace
}  // namespace korva
