// The network session layer: received messages (well-formed, truncated, hostile), the text
// queue's mask rule, the settings file, and sessions between in-process players on 127.0.0.1.
#include <enet/enet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "devices/net.h"
#include "core/system.h"
#include "devices/net_transport.h"

namespace korva {
namespace {

void put(std::vector<uint8_t>& m, int32_t v) {
  uint8_t b[4];
  std::memcpy(b, &v, 4);
  m.insert(m.end(), b, b + 4);
}

std::vector<uint8_t> state_head(uint32_t id, uint16_t machine) {
  std::vector<uint8_t> m;
  put(m, static_cast<int32_t>(id));
  m.push_back(static_cast<uint8_t>(machine));
  m.push_back(static_cast<uint8_t>(machine >> 8));
  return m;
}

// Tables of a running project of four elements: 0 sends a position, 1 nothing on the wire,
// 2 rotation and velocity plus the flags byte, 3 everything at once; three shared variables.
std::unique_ptr<Net> running_tables() {
  auto n = net_create();
  NetTables& t = n->tables;
  t.running = true;
  t.game_id = 0x1234;
  t.element_count = 4;
  t.net_flags[0] = 0x01;
  t.net_flags[1] = 0xCC;
  t.net_flags[2] = 0x02 | 0x100;
  t.net_flags[3] = 0x01 | 0x02 | 0x10 | 0x20 | 0x200 | 0x400;
  t.shared_global = {5, 6, 7};
  t.shared_received.assign(3, 0);
  t.shared_pending.assign(3, 0);
  return n;
}

TEST(NetReceive, TextMessagesQueueWithTheirValue) {
  auto n = running_tables();
  const auto m = net_text_message("hello", 6);
  ASSERT_EQ(m.size(), 5u + 9u);
  EXPECT_EQ(net_receive(n->tables, m.data(), m.size()), NetReceived::Text);
  std::string text;
  EXPECT_FALSE(net_text_take(n->tables, 1, text));  // 6 & 1 == 0: not taken, queue kept
  EXPECT_EQ(text, "");
  EXPECT_TRUE(net_text_take(n->tables, 4, text));
  EXPECT_EQ(text, "hello");
  EXPECT_FALSE(net_text_take(n->tables, -1, text));  // empty queue
}

TEST(NetReceive, ANonMatchingFirstMessageHidesALaterMatchingOne) {
  auto n = running_tables();
  for (auto [text, value] : {std::pair{"first", 1}, std::pair{"second", 2}}) {
    const auto m = net_text_message(text, value);
    net_receive(n->tables, m.data(), m.size());
  }
  std::string got;
  EXPECT_FALSE(net_text_take(n->tables, 2, got));
  EXPECT_EQ(got, "");
  EXPECT_TRUE(net_text_take(n->tables, 1, got));
  EXPECT_EQ(got, "first");
  EXPECT_TRUE(net_text_take(n->tables, 2, got));
  EXPECT_EQ(got, "second");
}

TEST(NetReceive, TextsAreCutOrDroppedSafely) {
  auto n = running_tables();
  NetTables& t = n->tables;
  // No terminating zero: the text ends with the message.
  std::vector<uint8_t> m;
  put(m, 0);
  put(m, 1);
  for (char ch : std::string("abc")) m.push_back(static_cast<uint8_t>(ch));
  EXPECT_EQ(net_receive(t, m.data(), m.size()), NetReceived::Text);
  std::string got;
  EXPECT_TRUE(net_text_take(t, 1, got));
  EXPECT_EQ(got, "abc");
  // Too short to be anything.
  for (size_t len : {0u, 1u, 3u, 7u}) EXPECT_EQ(net_receive(t, m.data(), len), NetReceived::Dropped) << len;
  EXPECT_EQ(net_receive(t, nullptr, 100), NetReceived::Dropped);
  // A flood fills the queue; what does not fit is dropped whole, and the queue stays readable.
  const auto big = net_text_message(std::string(1000, 'x'), 1);
  int taken = 0;
  for (int k = 0; k < 100; ++k)
    if (net_receive(t, big.data(), big.size()) == NetReceived::Text) ++taken;
  EXPECT_EQ(taken, kTextQueueBytes / 1005);
  EXPECT_LE(t.text_end, kTextQueueBytes);
  for (int k = 0; k < taken; ++k) {
    ASSERT_TRUE(net_text_take(t, 1, got));
    EXPECT_EQ(got.size(), 1000u);
  }
  EXPECT_EQ(t.text_end, 0);
  // Longer than any message: cut at the message size.
  std::vector<uint8_t> huge = net_text_message(std::string(30000, 'y'), 1);
  EXPECT_EQ(net_receive(t, huge.data(), huge.size()), NetReceived::Text);
  ASSERT_TRUE(net_text_take(t, 1, got));
  EXPECT_EQ(got.size(), static_cast<size_t>(kNetMessageBytes - 8));
}

TEST(NetReceive, StateFillsSlotsMachinesAndSharedVariables) {
  auto n = running_tables();
  NetTables& t = n->tables;
  auto m = state_head(0x1234, 7);
  put(m, 0);
  put(m, 10), put(m, 20), put(m, 30);
  put(m, 2);
  for (int k = 0; k < 6; ++k) put(m, 100 + k);
  m.push_back(0x41);
  put(m, -1);
  put(m, 2);
  put(m, 1), put(m, 66);
  put(m, 3), put(m, 99);  // offset outside the three shared variables: dropped
  EXPECT_EQ(net_receive(t, m.data(), m.size()), NetReceived::State);
  EXPECT_EQ(t.slots[0][0], 0);
  EXPECT_EQ(t.slots[0][1], 10);
  EXPECT_EQ(t.slots[0][3], 30);
  EXPECT_EQ(t.slots[2][0], 0);
  EXPECT_EQ(t.slots[2][6], 105);
  EXPECT_EQ(t.slots[2][7], 0x41);
  EXPECT_EQ(t.slots[1][0], -1);
  EXPECT_EQ(t.machine_count[6], 1);
  EXPECT_EQ(t.shared_pending[1], 1);
  EXPECT_EQ(t.shared_received[1], 66);
  EXPECT_EQ(t.shared_pending[0] + t.shared_pending[2], 0);
  EXPECT_EQ(t.mismatch, 0);
}

TEST(NetReceive, HostileStateMessages) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int32_t slot0_of_0;   // expected value 0 of slot 0
    int32_t shared_pending;
  };
  auto with = [](std::initializer_list<int32_t> words, uint16_t machine = 1) {
    auto m = state_head(0x1234, machine);
    for (int32_t w : words) put(m, w);
    return m;
  };
  const std::vector<Case> cases = {
      {"index beyond the elements ends the message", with({9, 1, 2, 3, 0, 1, 2, 3}), -1, 0},
      {"negative index ends it", with({-7, 0, 1, 2, 3}), -1, 0},
      {"a quiet element ends it", with({1, 0, 1, 2, 3}), -1, 0},
      {"a record cut short is not kept", with({0, 1, 2}), -1, 0},
      {"records before the cut are kept", with({0, 1, 2, 3, 2, 5}), 0, 0},
      {"count above 2048 is ignored", with({-1, 2049, 0, 5}), -1, 0},
      {"negative count is ignored", with({-1, -1, 0, 5}), -1, 0},
      {"pairs cut short", with({-1, 3, 0, 5, 1}), -1, 1},
      {"offsets outside the table", with({-1, 3, -1, 5, 3, 5, 100000, 5}), -1, 0},
      {"machine number 0 and 65535", with({-1, 0}, 0xFFFF), -1, 0},
  };
  for (const Case& c : cases) {
    auto n = running_tables();
    EXPECT_EQ(net_receive(n->tables, c.bytes.data(), c.bytes.size()), NetReceived::State) << c.what;
    EXPECT_EQ(n->tables.slots[0][0], c.slot0_of_0) << c.what;
    int32_t pending = 0;
    for (uint8_t p : n->tables.shared_pending) pending += p;
    EXPECT_EQ(pending, c.shared_pending) << c.what;
  }
}

TEST(NetReceive, AnotherProjectsStateOnlyRaisesTheMismatch) {
  auto n = running_tables();
  auto m = state_head(0x9999, 3);
  put(m, 0), put(m, 1), put(m, 2), put(m, 3);
  EXPECT_EQ(net_receive(n->tables, m.data(), m.size()), NetReceived::Mismatch);
  EXPECT_EQ(n->tables.mismatch, -1);
  EXPECT_EQ(n->tables.slots[0][0], -1);
  EXPECT_EQ(n->tables.machine_count[2], 0);
  // Before the run's game id is known, state is not taken at all.
  n->tables.running = false;
  n->tables.mismatch = 0;
  EXPECT_EQ(net_receive(n->tables, m.data(), m.size()), NetReceived::Dropped);
  EXPECT_EQ(n->tables.mismatch, 0);
}

TEST(NetReceive, EveryElementFlagPayloadFitsItsSlot) {
  // All 2048 combinations of the payload bits: a full record is read, its slot never overrun.
  for (int32_t flags = 0; flags < 0x800; ++flags) {
    if ((flags & ~kNetQuietBits) == 0) continue;
    auto n = running_tables();
    n->tables.net_flags[0] = flags;
    auto m = state_head(0x1234, 1);
    put(m, 0);
    for (int32_t k = 0; k < net_record_values(flags); ++k) put(m, k + 1);
    ASSERT_EQ(net_receive(n->tables, m.data(), m.size()), NetReceived::State) << flags;
    EXPECT_EQ(n->tables.slots[0][0], 0) << flags;
    EXPECT_EQ(n->tables.slots[1][0], -1) << flags;  // the next slot untouched
  }
}

TEST(NetReceive, RandomAndTruncatedMessagesNeverBreakTheTables) {
  std::mt19937 rng(1234);
  auto n = running_tables();
  NetTables& t = n->tables;
  std::vector<uint8_t> seed = state_head(0x1234, 2);
  for (int32_t w : {0, 1, 2, 3, 3, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19,
                    20, 21, 22, 23, -1, 2, 0, 1, 2, 2})
    put(seed, w);
  std::string got;
  for (int k = 0; k < 20000; ++k) {
    std::vector<uint8_t> m = seed;
    m.resize(rng() % (seed.size() + 8));
    for (int f = rng() % 6; f > 0 && !m.empty(); --f) m[rng() % m.size()] = static_cast<uint8_t>(rng());
    if (k % 7 == 0) {  // a plain text message now and then, possibly cut
      m = net_text_message(std::string(rng() % 40, 'z'), static_cast<int32_t>(rng()));
      m.resize(rng() % (m.size() + 1));
    }
    net_receive(t, m.data(), m.size());
    if (k % 3 == 0) net_text_take(t, -1, got);
    ASSERT_GE(t.text_end, 0);
    ASSERT_LE(t.text_end, kTextQueueBytes);
  }
}

TEST(NetSharedList, ItemsAndRanges) {
  EXPECT_EQ(net_shared_list(""), std::vector<int32_t>{});
  EXPECT_EQ(net_shared_list("5"), (std::vector<int32_t>{5}));
  EXPECT_EQ(net_shared_list("5, 10(3),x, 2047(2)"), (std::vector<int32_t>{5, 10, 11, 12, 2047, 0}));
  EXPECT_EQ(net_shared_list("1(99999)").size(), 2048u);
}

TEST(NetSettings, DefaultsAndValues) {
  const auto dir = std::filesystem::temp_directory_path() / "korva-net-settings";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "network.ini").string();
  std::filesystem::remove(path);
  NetSettings s = net_settings_read(path);
  EXPECT_EQ(s.connection, 0);
  EXPECT_EQ(s.mode, 0);
  EXPECT_EQ(s.timeout, 0);
  EXPECT_FALSE(s.session_name.empty());  // the computer's name when hosting
  EXPECT_FALSE(s.player_name.empty());
  EXPECT_EQ(net_port(s), kDefaultNetPort);
  std::ofstream(path) << "[Settings]\r\nConnection=1\r\nMode=1\r\nTimeout=3\r\nIPAddress=127.0.0.1\r\n"
                         "PortNumber=99999\r\nPlayerName=Ann\r\n";
  s = net_settings_read(path);
  EXPECT_EQ(s.connection, 1);
  EXPECT_EQ(s.mode, 1);
  EXPECT_EQ(s.timeout, 3);
  EXPECT_EQ(s.address, "127.0.0.1");
  EXPECT_EQ(net_port(s), kDefaultNetPort);  // a port out of range falls back
  EXPECT_EQ(s.session_name, "");            // joining without a name: only an unnamed session
  EXPECT_EQ(s.player_name, "Ann");
  std::filesystem::remove_all(dir);
}

// ---- Sessions between players in this process, on 127.0.0.1 ----

// A free UDP port, as the system hands one out.
uint16_t free_port() {
  enet_initialize();
  ENetSocket s = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
  ENetAddress a{ENET_HOST_ANY, 0};
  enet_socket_bind(s, &a);
  enet_socket_get_address(s, &a);
  enet_socket_destroy(s);
  return a.port;
}

NetSettings settings(int32_t connection, int32_t mode, uint16_t port, const char* name) {
  NetSettings s;
  s.connection = connection;
  s.mode = mode;
  s.timeout = 5;
  s.address = "127.0.0.1";
  s.port = port;
  s.session_name = name;
  s.player_name = mode == 0 ? "Hostess" : "Guest";
  return s;
}

// Waits (bounded) until a text message with the mask arrives at n.
std::string wait_text(Net& n, int32_t mask, int seconds = 10) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  std::string got;
  while (std::chrono::steady_clock::now() < until) {
    {
      std::lock_guard<std::mutex> hold(n.lock);
      if (net_text_take(n.tables, mask, got)) return got;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return "(nothing)";
}

bool wait_notice(Net& n, const std::string& text, int seconds = 10) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (std::chrono::steady_clock::now() < until) {
    {
      std::lock_guard<std::mutex> hold(n.lock);
      for (const auto& s : n.tables.notices)
        if (s == text) return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return false;
}

TEST(NetSession, HostRelaysTextsBetweenJoiners) {
  const uint16_t port = free_port();
  auto h = net_create(), a = net_create(), b = net_create();
  std::string why;
  ASSERT_TRUE(net_session_start(*h, settings(1, 0, port, "Game"), why)) << why;
  ASSERT_TRUE(net_session_start(*a, settings(1, 1, port, "Game"), why)) << why;
  ASSERT_TRUE(net_session_start(*b, settings(1, 1, port, "Game"), why)) << why;
  EXPECT_TRUE(h->tables.host);
  EXPECT_FALSE(a->tables.host);
  EXPECT_TRUE(wait_notice(*h, "\"Guest\" has joined\r\n"));
  EXPECT_TRUE(wait_notice(*a, "\"Guest\" has joined\r\n"));  // b's arrival, told by the host
  net_send(*a, net_text_message("from a", 3));
  EXPECT_EQ(wait_text(*b, 2), "from a");
  EXPECT_EQ(wait_text(*h, 1), "from a");
  net_send(*h, net_text_message("from host", 1));
  EXPECT_EQ(wait_text(*a, 1), "from host");
  EXPECT_EQ(wait_text(*b, 1), "from host");
  // Junk datagrams at the session port change nothing.
  ENetSocket junk = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
  ENetAddress to{0, net_listen_port(*h)};
  enet_address_set_host_ip(&to, "127.0.0.1");
  std::mt19937 rng(9);
  for (int k = 0; k < 300; ++k) {
    uint8_t bytes[200];
    for (auto& x : bytes) x = static_cast<uint8_t>(rng());
    ENetBuffer buf{bytes, static_cast<size_t>(rng() % sizeof bytes)};
    enet_socket_send(junk, &to, &buf, 1);
  }
  enet_socket_destroy(junk);
  net_send(*b, net_text_message("after junk", 1));
  EXPECT_EQ(wait_text(*a, 1), "after junk");
  net_stop(*b);
  EXPECT_TRUE(wait_notice(*h, "\"Guest\" has left\r\n"));
}

TEST(NetSession, SessionNamesMatchExactly) {
  const uint16_t port = free_port();
  auto h = net_create(), j = net_create();
  std::string why;
  ASSERT_TRUE(net_session_start(*h, settings(1, 0, port, "Game"), why)) << why;
  NetSettings s = settings(1, 1, port, "game");
  s.timeout = 1;
  EXPECT_FALSE(net_session_start(*j, s, why));
  s.timeout = 0;  // no attempt at all
  s.session_name = "Game";
  EXPECT_FALSE(net_session_start(*j, s, why));
}

TEST(NetSession, LanSessionsAreFoundByBroadcast) {
  const uint16_t port = free_port();
  auto h = net_create(), j = net_create();
  std::string why;
  ASSERT_TRUE(net_session_start(*h, settings(0, 0, port, "Lan game"), why)) << why;
  const auto found = net_lan_find(port, 500, "127.0.0.1");
  ASSERT_FALSE(found.empty());
  EXPECT_EQ(found[0].name, "Lan game");
  ASSERT_TRUE(net_session_start(*j, settings(0, 1, port, "Lan game"), why)) << why;
  net_send(*j, net_text_message("lan", 1));
  EXPECT_EQ(wait_text(*h, 1), "lan");
  // Junk at the discovery port is ignored and the host still answers.
  enet_initialize();
  ENetSocket junk = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
  ENetAddress to{0, port};
  enet_address_set_host_ip(&to, "127.0.0.1");
  std::mt19937 rng(5);
  for (int k = 0; k < 200; ++k) {
    uint8_t bytes[80];
    for (auto& x : bytes) x = static_cast<uint8_t>(rng());
    ENetBuffer buf{bytes, static_cast<size_t>(rng() % sizeof bytes)};
    enet_socket_send(junk, &to, &buf, 1);
  }
  enet_socket_destroy(junk);
  EXPECT_FALSE(net_lan_find(port, 500, "127.0.0.1").empty());
}

TEST(NetSession, TheLowestPlayerBecomesHostWhenTheHostLeaves) {
  const uint16_t port = free_port();
  auto h = net_create(), a = net_create(), b = net_create();
  std::string why;
  NetSettings hs = settings(1, 0, port, "Game");
  ASSERT_TRUE(net_session_start(*h, hs, why)) << why;
  NetSettings as = settings(1, 1, port, "Game");
  as.player_name = "Ann";
  ASSERT_TRUE(net_session_start(*a, as, why)) << why;
  NetSettings bs = settings(1, 1, port, "Game");
  bs.player_name = "Bob";
  ASSERT_TRUE(net_session_start(*b, bs, why)) << why;
  // Both joiners know the whole player list before the host goes.
  ASSERT_TRUE(wait_notice(*a, "\"Bob\" has joined\r\n"));
  net_send(*h, net_text_message("list sent", 1));
  ASSERT_EQ(wait_text(*b, 1), "list sent");
  net_stop(*h);
  EXPECT_TRUE(wait_notice(*a, "You have become the host\r\n"));
  {
    std::lock_guard<std::mutex> hold(a->lock);
    EXPECT_TRUE(a->tables.host);
  }
  // Bob reaches Ann and play goes on.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  std::string got;
  while (got != "still here" && std::chrono::steady_clock::now() < until) {
    net_send(*b, net_text_message("still here", 1));
    got = wait_text(*a, 1, 1);
  }
  EXPECT_EQ(got, "still here");
}

}  // namespace
}  // namespace korva

namespace korva {
namespace {

TEST(NetKeywords, WithoutASessionEveryKeywordIsNeutral) {
  System s;  // no session at all
  auto idle = net_create();  // and a session object that was never opened
  for (Net* n : {static_cast<Net*>(nullptr), idle.get()}) {
    s.net = n;
    machine_number_set(s, 5);
    EXPECT_EQ(machine_number(s), 0);
    EXPECT_EQ(machine_status(s, 1), 0);
    EXPECT_EQ(network_mismatch(s), 0);
    EXPECT_EQ(network_mode(s), 0);
    EXPECT_EQ(host(s), 0);
    EXPECT_EQ(machine_element(s, 1), 0);
    EXPECT_EQ(machine_element_find(s, 0x00100000, -1, 1, 1), 0);
    str_send(s, 0, 1);
    str_poll(s, 0, 1);
  }
}

TEST(NetKeywords, MachineNumbersAndStatuses) {
  System s;
  auto n = net_create();
  n->active = -1;  // open, with no one to talk to
  s.net = n.get();
  const std::pair<int32_t, int32_t> numbers[] = {{250, 100}, {100, 100}, {7, 7}, {-3, 0}, {0, 0}};
  for (auto [given, stored] : numbers) {
    machine_number_set(s, given);
    EXPECT_EQ(machine_number(s), stored) << given;
  }
  machine_number_set(s, 7);
  n->tables.machine_count[2] = 5;   // machine 3
  n->tables.machine_count[99] = 9;  // machine 100
  EXPECT_EQ(machine_status(s, 0), 0);
  EXPECT_EQ(machine_status(s, 3), 5);
  EXPECT_EQ(machine_status(s, 250), 9);  // above 99 counts as 100
  EXPECT_EQ(machine_status(s, 7), 1);    // this machine, nobody else with its number
  n->tables.machine_count[6] = 1;
  EXPECT_EQ(machine_status(s, 7), 2);    // another machine sends with the same number
  EXPECT_EQ(network_mode(s), -1);
  EXPECT_EQ(host(s), 0);
  n->tables.host = true;
  EXPECT_EQ(host(s), -1);
}

TEST(NetProject, UsesTheNetworkWhenItSharesSomething) {
  EXPECT_FALSE(net_project_uses_network("", {0, 0x04, 0x08, 0x40, 0x80, 0xCC}));
  EXPECT_FALSE(net_project_uses_network("  ", {}));
  EXPECT_TRUE(net_project_uses_network("3", {}));
  EXPECT_TRUE(net_project_uses_network("", {0, 0x01}));
  EXPECT_TRUE(net_project_uses_network("", {0x400 | 0x04}));
}

}  // namespace
}  // namespace korva

#include "core/core.h"
#include "model/instance_record.h"
#include "model/model.h"

namespace korva {
namespace {

// What this machine sends is what a receiver of the same project reads back whole, in
// messages no longer than a receiver takes, however many elements and variables it shares.
TEST(NetSend, StateMessagesRoundTripThroughTheReceiver) {
  auto core = core_create();
  auto model = model_create();
  model->last_index = kStateSlots - 1;
  System s;
  s.core = core.get();
  s.model = model.get();
  auto n = net_create();
  n->active = -1;
  n->machine_number = 4;
  s.net = n.get();
  NetTables& t = n->tables;
  t.running = true;
  t.game_id = 99;
  t.element_count = kStateSlots;
  for (int32_t i = 0; i < kStateSlots; ++i) {
    t.net_flags[i] = i == 7 ? 0xCC : 0x7FF;  // element 7 has nothing to send
    uint8_t* r = core->pool(Pool::Instances) + i * kInstanceRecordBytes;
    ir_set(r, ir::kMachine, i == 9 ? 5 : 4);  // element 9 belongs to machine 5
    ir_set(r, ir::kPosX, 1000 + i);
    ir_set(r, ir::kScore, -i);
  }
  t.shared_global = net_shared_list("0(2048)");
  n->shared_sent.assign(2048, 0);
  n->shared_sent_ok.assign(2048, 0);
  int32_t* g = core->pool_as<int32_t>(Pool::BrainVars);
  for (int32_t k = 0; k < 2048; ++k) g[k] = k * 3;

  const auto messages = net_state_messages(s);
  EXPECT_GT(messages.size(), 1u);
  auto other = net_create();
  NetTables& u = other->tables;
  u = t;  // the same project on the other machine
  u.shared_received.assign(2048, 0);
  u.shared_pending.assign(2048, 0);
  for (auto& slot : u.slots) std::fill(std::begin(slot), std::end(slot), -1);
  for (const auto& m : messages) {
    EXPECT_LE(m.size(), static_cast<size_t>(kNetMessageBytes));
    EXPECT_EQ(net_receive(u, m.data(), m.size()), NetReceived::State);
  }
  for (int32_t i = 0; i < kStateSlots; ++i) {
    const bool sent = i != 7 && i != 9;
    EXPECT_EQ(u.slots[i][0], sent ? 0 : -1) << i;
    if (sent) {
      EXPECT_EQ(u.slots[i][1], 1000 + i) << i;
    }
  }
  EXPECT_EQ(u.machine_count[3], static_cast<int32_t>(messages.size()));
  for (int32_t k = 0; k < 2048; ++k) {
    ASSERT_EQ(u.shared_pending[k], 1) << k;
    EXPECT_EQ(u.shared_received[k], k * 3);
  }
  // Nothing changed since: the next state carries no variables and fits one message again...
  for (int32_t i = 0; i < kStateSlots; ++i) t.net_flags[i] = 0x01;
  auto again = net_state_messages(s);
  ASSERT_EQ(again.size(), 1u);
  // ...whose tail is -1 and a pair count of 0.
  const auto& m = again[0];
  int32_t tail[2];
  std::memcpy(tail, m.data() + m.size() - 8, 8);
  EXPECT_EQ(tail[0], -1);
  EXPECT_EQ(tail[1], 0);
}

}  // namespace
}  // namespace korva
