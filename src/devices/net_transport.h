// The ENet side of a session: the worker thread's state. Only net_transport.cpp and tests of
// the session layer look inside.
#pragma once
#include <enet/enet.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace korva {

struct Net;

struct NetPlayer {
  uint32_t id = 0;
  uint32_t ip = 0;      // as ENet keeps it (network order); 0 for the host itself
  uint16_t port = 0;    // where the player listens
  std::string name;
  ENetPeer* peer = nullptr;  // the host's connection to it
};

// A LAN session that answered a discovery request.
struct NetFound {
  std::string name;
  uint32_t ip = 0;
  uint16_t port = 0;
};
// Sends a discovery request to port and collects the answers that come within wait_ms. The
// request goes to target (an address or host name) when it is given, else it is broadcast (and
// also sent to 127.0.0.1, where broadcasts may not loop back).
std::vector<NetFound> net_lan_find(uint16_t port, int32_t wait_ms, const std::string& target = "");

struct NetTransport {
  struct Outgoing {
    std::vector<uint8_t> bytes;
    uint32_t flags = 0;
  };

  Net* net = nullptr;
  ENetHost* host = nullptr;
  ENetPeer* server = nullptr;   // a joiner's connection to the host
  ENetPeer* pending = nullptr;  // a connection being made
  bool welcomed = false;
  bool is_host = false;
  int32_t connection = 0;  // 0 LAN, 1 address
  uint32_t my_id = 0;
  uint32_t server_id = 0;
  uint32_t next_id = 2;
  std::string my_name, session_name;
  uint16_t listen_port = 0, discovery_port = 0;
  std::vector<NetPlayer> players;
  ENetSocket discovery = ENET_SOCKET_NULL;

  // After the host left: the new host to reach, until when, and the next attempt.
  NetPlayer reconnect_to;
  int64_t reconnect_until = 0;
  int64_t next_attempt = 0;

  std::thread worker;
  std::atomic<bool> stop{false};
  std::mutex out_lock;
  std::deque<Outgoing> outbox;

  ~NetTransport();
  void run();
  void flush_outbox();
  void handle(const ENetEvent& ev);
  void host_control(ENetPeer* peer, const uint8_t* data, size_t size);
  void joiner_control(const uint8_t* data, size_t size);
  void host_lost();
  void open_discovery();
  void answer_discovery();
  void tick_reconnect();
  void notice(const std::string& text);
  void deliver(const uint8_t* data, size_t size);
  NetPlayer* player_of(ENetPeer* peer);
  void send_list();
  void send_notice(uint8_t kind, const std::string& name, ENetPeer* except);
  void send_hello(ENetPeer* peer);
};

}  // namespace korva
