// Sessions over ENet. Every machine is an ENet host listening on a port; joiners connect to the
// session's host, which relays every game message to the other players, so that a message sent
// by one machine reaches all. Channel 0 carries the game messages in their wire formats,
// channel 1 the session's own control messages (hello, welcome, player list, notices). When the
// host leaves, the remaining player with the lowest id becomes the host where it already
// listens, and the others reconnect to it. LAN sessions answer discovery requests sent by UDP
// broadcast. One worker thread owns the ENet host once the session is made.
#include <enet/enet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>

#include "devices/net.h"
#include "devices/net_transport.h"

namespace korva {
namespace {

constexpr uint8_t kChannelGame = 0, kChannelControl = 1;
constexpr char kFindRequest[] = "KORVA?";
constexpr char kFindAnswer[] = "KORVA!";
constexpr uint32_t kRefusedName = 1;  // disconnect data: no session of that name here
constexpr int64_t kReconnectMs = 15000;

int64_t now_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool enet_ready() {
  static const bool ok = enet_initialize() == 0;
  return ok;
}

// Bounds-checked reading of a control message.
struct Reader {
  const uint8_t* p;
  size_t size, at = 0;
  bool ok = true;
  template <typename T>
  T get() {
    T v{};
    if (at + sizeof(T) > size) {
      ok = false;
      return v;
    }
    std::memcpy(&v, p + at, sizeof(T));
    at += sizeof(T);
    return v;
  }
  std::string text(size_t limit = 255) {
    const uint8_t* end = std::find(p + at, p + size, 0);
    if (end == p + size) {
      ok = false;
      return {};
    }
    std::string s(reinterpret_cast<const char*>(p + at), std::min<size_t>(end - (p + at), limit));
    at = end - p + 1;
    return s;
  }
};

struct Writer {
  std::vector<uint8_t> b;
  template <typename T>
  void put(T v) {
    uint8_t x[sizeof(T)];
    std::memcpy(x, &v, sizeof(T));
    b.insert(b.end(), x, x + sizeof(T));
  }
  void text(std::string_view s) {
    b.insert(b.end(), s.begin(), s.end());
    b.push_back(0);
  }
};

void send_to(ENetPeer* peer, uint8_t channel, const std::vector<uint8_t>& bytes, uint32_t flags) {
  if (!peer) return;
  ENetPacket* packet = enet_packet_create(bytes.data(), bytes.size(), flags);
  if (packet && enet_peer_send(peer, channel, packet) < 0) enet_packet_destroy(packet);
}

void tune_peer(ENetPeer* peer) {
  // Loopback and LAN peers: no throttling of unreliable packets, and a vanished peer is noticed
  // within seconds rather than half a minute.
  enet_peer_throttle_configure(peer, ENET_PEER_PACKET_THROTTLE_INTERVAL, ENET_PEER_PACKET_THROTTLE_SCALE, 0);
  enet_peer_timeout(peer, 0, 5000, 10000);
}

}  // namespace

void NetTransport::notice(const std::string& text) {
  std::lock_guard<std::mutex> hold(net->lock);
  if (net->tables.notices.size() < 64) net->tables.notices.push_back(text);
}

void NetTransport::deliver(const uint8_t* data, size_t size) {
  std::lock_guard<std::mutex> hold(net->lock);
  net_receive(net->tables, data, size);
}

NetPlayer* NetTransport::player_of(ENetPeer* peer) {
  for (auto& p : players)
    if (p.peer == peer && peer) return &p;
  return nullptr;
}

void NetTransport::send_list() {
  Writer w;
  w.put<uint8_t>('L');
  w.put<uint32_t>(static_cast<uint32_t>(players.size()));
  for (const auto& p : players) {
    w.put<uint32_t>(p.id);
    w.put<uint32_t>(p.ip);
    w.put<uint16_t>(p.port);
    w.put<uint8_t>(p.id == my_id ? 1 : 0);
    w.text(p.name);
  }
  for (const auto& p : players)
    if (p.peer) send_to(p.peer, kChannelControl, w.b, ENET_PACKET_FLAG_RELIABLE);
}

void NetTransport::send_notice(uint8_t kind, const std::string& name, ENetPeer* except) {
  Writer w;
  w.put<uint8_t>('N');
  w.put<uint8_t>(kind);
  w.text(name);
  for (const auto& p : players)
    if (p.peer && p.peer != except) send_to(p.peer, kChannelControl, w.b, ENET_PACKET_FLAG_RELIABLE);
}

void NetTransport::send_hello(ENetPeer* peer) {
  Writer w;
  w.put<uint8_t>('H');
  w.put<uint32_t>(my_id);
  w.put<uint16_t>(listen_port);
  w.text(session_name);
  w.text(my_name);
  send_to(peer, kChannelControl, w.b, ENET_PACKET_FLAG_RELIABLE);
}

std::string joined_text(const std::string& name) {
  return "\"" + (name.empty() ? std::string("unknown") : name) + "\" has joined\r\n";
}
std::string left_text(const std::string& name) {
  return "\"" + (name.empty() ? std::string("unknown") : name) + "\" has left\r\n";
}

void NetTransport::host_control(ENetPeer* peer, const uint8_t* data, size_t size) {
  Reader r{data, size};
  const uint8_t kind = r.get<uint8_t>();
  if (!r.ok || kind != 'H' || player_of(peer)) return;
  const uint32_t claimed = r.get<uint32_t>();
  const uint16_t port = r.get<uint16_t>();
  const std::string session = r.text();
  const std::string name = r.text();
  if (!r.ok || session != session_name || players.size() >= static_cast<size_t>(kMaxPlayers)) {
    enet_peer_disconnect(peer, kRefusedName);
    return;
  }
  NetPlayer* known = nullptr;
  for (auto& p : players)
    if (claimed != 0 && p.id == claimed && !p.peer && p.id != my_id) known = &p;
  if (known) {  // a player of this session reconnecting after the host changed
    known->peer = peer;
    known->ip = peer->address.host;
    known->port = port;
  } else {
    for (const auto& p : players) next_id = std::max(next_id, p.id + 1);
    players.push_back({next_id++, peer->address.host, port, name, peer});
    notice(joined_text(name));
    send_notice(1, name, peer);
  }
  Writer w;
  w.put<uint8_t>('W');
  w.put<uint32_t>(known ? known->id : players.back().id);
  send_to(peer, kChannelControl, w.b, ENET_PACKET_FLAG_RELIABLE);
  send_list();
}

void NetTransport::joiner_control(const uint8_t* data, size_t size) {
  Reader r{data, size};
  const uint8_t kind = r.get<uint8_t>();
  if (!r.ok) return;
  if (kind == 'W') {
    const uint32_t id = r.get<uint32_t>();
    if (r.ok && id != 0) my_id = id;
    welcomed = r.ok;
  } else if (kind == 'L') {
    const uint32_t count = r.get<uint32_t>();
    if (!r.ok || count > static_cast<uint32_t>(kMaxPlayers)) return;
    std::vector<NetPlayer> list;
    uint32_t host_id = 0;
    for (uint32_t k = 0; k < count; ++k) {
      NetPlayer p;
      p.id = r.get<uint32_t>();
      p.ip = r.get<uint32_t>();
      p.port = r.get<uint16_t>();
      const uint8_t is_host = r.get<uint8_t>();
      p.name = r.text();
      if (!r.ok) return;
      if (is_host) host_id = p.id;
      list.push_back(p);
    }
    players = std::move(list);
    server_id = host_id;
  } else if (kind == 'N') {
    const uint8_t what = r.get<uint8_t>();
    const std::string name = r.text();
    if (!r.ok) return;
    if (what == 1) notice(joined_text(name));
    if (what == 2) notice(left_text(name));
  }
}

// The host left: the remaining player with the lowest id takes over.
void NetTransport::host_lost() {
  server = nullptr;
  std::vector<NetPlayer> rest;
  for (const auto& p : players)
    if (p.id != server_id) rest.push_back(p);
  players = rest;
  if (players.empty() || my_id == 0) return;
  const auto lowest =
      std::min_element(players.begin(), players.end(), [](auto& a, auto& b) { return a.id < b.id; });
  if (lowest->id == my_id) {
    is_host = true;
    for (auto& p : players) p.peer = nullptr;
    {
      std::lock_guard<std::mutex> hold(net->lock);
      net->tables.host = true;
    }
    notice("You have become the host\r\n");
    open_discovery();
  } else {
    reconnect_to = *lowest;
    reconnect_until = now_ms() + kReconnectMs;
    next_attempt = 0;
  }
}

void NetTransport::handle(const ENetEvent& ev) {
  switch (ev.type) {
    case ENET_EVENT_TYPE_CONNECT:
      tune_peer(ev.peer);
      if (!is_host && ev.peer == pending) {
        server = pending;
        pending = nullptr;
        welcomed = false;
        send_hello(server);
      }
      break;
    case ENET_EVENT_TYPE_RECEIVE: {
      const uint8_t* data = ev.packet->data;
      const size_t size = ev.packet->dataLength;
      if (is_host) {
        if (ev.channelID == kChannelControl) {
          host_control(ev.peer, data, size);
        } else if (NetPlayer* from = player_of(ev.peer)) {
          deliver(data, size);
          const std::vector<uint8_t> copy(data, data + std::min(size, static_cast<size_t>(kNetMessageBytes)));
          for (const auto& p : players)
            if (p.peer && p.peer != from->peer) send_to(p.peer, kChannelGame, copy, ev.packet->flags & ENET_PACKET_FLAG_UNSEQUENCED);
        }
      } else if (ev.peer == server) {
        if (ev.channelID == kChannelControl)
          joiner_control(data, size);
        else
          deliver(data, size);
      }
      enet_packet_destroy(ev.packet);
      break;
    }
    case ENET_EVENT_TYPE_DISCONNECT:
      if (is_host) {
        auto it = std::find_if(players.begin(), players.end(), [&](auto& p) { return p.peer == ev.peer; });
        if (it != players.end()) {
          const std::string name = it->name;
          players.erase(it);
          notice(left_text(name));
          send_notice(2, name, nullptr);
          send_list();
        }
      } else if (ev.peer == server) {
        host_lost();
      } else if (ev.peer == pending) {
        pending = nullptr;
      }
      break;
    default:
      break;
  }
}

void NetTransport::open_discovery() {
  if (connection != 0 || discovery != ENET_SOCKET_NULL) return;
  discovery = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
  if (discovery == ENET_SOCKET_NULL) return;
  enet_socket_set_option(discovery, ENET_SOCKOPT_REUSEADDR, 1);
  enet_socket_set_option(discovery, ENET_SOCKOPT_NONBLOCK, 1);
  ENetAddress a{ENET_HOST_ANY, discovery_port};
  if (enet_socket_bind(discovery, &a) < 0) {
    enet_socket_destroy(discovery);
    discovery = ENET_SOCKET_NULL;
  }
}

void NetTransport::answer_discovery() {
  if (discovery == ENET_SOCKET_NULL) return;
  for (int k = 0; k < 32; ++k) {  // a flood is answered a little at a time
    uint8_t buf[64];
    ENetBuffer b{buf, sizeof buf};
    ENetAddress from{};
    const int n = enet_socket_receive(discovery, &from, &b, 1);
    if (n <= 0) return;
    if (n != static_cast<int>(sizeof kFindRequest - 1) || std::memcmp(buf, kFindRequest, n) != 0) continue;
    Writer w;
    w.b.assign(kFindAnswer, kFindAnswer + sizeof kFindAnswer - 1);
    w.put<uint16_t>(listen_port);
    w.text(session_name);
    ENetBuffer out{w.b.data(), w.b.size()};
    enet_socket_send(discovery, &from, &out, 1);
  }
}

void NetTransport::tick_reconnect() {
  if (is_host || server || reconnect_until == 0) return;
  const int64_t t = now_ms();
  if (t > reconnect_until) {
    reconnect_until = 0;
    return;
  }
  if (pending || t < next_attempt) return;
  next_attempt = t + 1000;
  ENetAddress a{reconnect_to.ip, reconnect_to.port};
  pending = enet_host_connect(host, &a, 2, 0);
  server_id = reconnect_to.id;
}

void NetTransport::flush_outbox() {
  std::deque<Outgoing> out;
  {
    std::lock_guard<std::mutex> hold(out_lock);
    out.swap(outbox);
  }
  for (const auto& m : out) {
    if (is_host) {
      for (const auto& p : players)
        if (p.peer) send_to(p.peer, kChannelGame, m.bytes, m.flags);
    } else if (server && welcomed) {
      send_to(server, kChannelGame, m.bytes, m.flags);
    }
  }
}

void NetTransport::run() {
  while (!stop.load()) {
    flush_outbox();
    ENetEvent ev;
    int r = enet_host_service(host, &ev, 1);  // sends wait at most a millisecond
    while (r > 0) {
      handle(ev);
      r = enet_host_check_events(host, &ev);
    }
    if (is_host) answer_discovery();
    tick_reconnect();
  }
  flush_outbox();  // what the last frames sent still goes out
  enet_host_flush(host);
  // Leaving: every peer is told, so that the others notice at once.
  for (size_t i = 0; i < host->peerCount; ++i)
    if (host->peers[i].state == ENET_PEER_STATE_CONNECTED) enet_peer_disconnect(&host->peers[i], 0);
  const int64_t until = now_ms() + 300;
  ENetEvent ev;
  while (now_ms() < until && enet_host_service(host, &ev, 10) >= 0)
    if (ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
}

NetTransport::~NetTransport() {
  if (discovery != ENET_SOCKET_NULL) enet_socket_destroy(discovery);
  if (host) enet_host_destroy(host);
}

// ---- Finding and making a session ----

std::vector<NetFound> net_lan_find(uint16_t port, int32_t wait_ms, const std::string& target) {
  std::vector<NetFound> found;
  if (!enet_ready()) return found;
  ENetSocket s = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
  if (s == ENET_SOCKET_NULL) return found;
  enet_socket_set_option(s, ENET_SOCKOPT_BROADCAST, 1);
  enet_socket_set_option(s, ENET_SOCKOPT_NONBLOCK, 1);
  ENetAddress any{ENET_HOST_ANY, 0};
  enet_socket_bind(s, &any);
  ENetBuffer req{const_cast<char*>(kFindRequest), sizeof kFindRequest - 1};
  ENetAddress to{ENET_HOST_BROADCAST, port};
  if (!target.empty()) {
    if (enet_address_set_host(&to, target.c_str()) == 0) enet_socket_send(s, &to, &req, 1);
  } else {
    enet_socket_send(s, &to, &req, 1);
    enet_address_set_host_ip(&to, "127.0.0.1");  // hosts on this machine, where broadcast may not loop
    enet_socket_send(s, &to, &req, 1);
  }
  const int64_t until = now_ms() + wait_ms;
  while (now_ms() < until) {
    enet_uint32 cond = ENET_SOCKET_WAIT_RECEIVE;
    enet_socket_wait(s, &cond, 20);
    for (;;) {
      uint8_t buf[512];
      ENetBuffer b{buf, sizeof buf};
      ENetAddress from{};
      const int n = enet_socket_receive(s, &from, &b, 1);
      if (n <= 0) break;
      const size_t head = sizeof kFindAnswer - 1;
      if (static_cast<size_t>(n) < head || std::memcmp(buf, kFindAnswer, head) != 0) continue;
      Reader r{buf + head, static_cast<size_t>(n) - head};
      NetFound f;
      f.port = r.get<uint16_t>();
      f.name = r.text();
      f.ip = from.host;
      if (!r.ok) continue;
      const bool seen = std::any_of(found.begin(), found.end(),
                                    [&](auto& g) { return g.port == f.port && g.name == f.name; });
      if (!seen) found.push_back(f);
    }
  }
  enet_socket_destroy(s);
  return found;
}

namespace {

// One attempt to join the host at a: connect, say hello, wait for the welcome. False when the
// host cannot be reached or has no session of that name.
bool join_at(NetTransport& t, ENetAddress a) {
  t.pending = enet_host_connect(t.host, &a, 2, 0);
  if (!t.pending) return false;
  const int64_t until = now_ms() + 1000;
  ENetEvent ev;
  while (now_ms() < until) {
    if (enet_host_service(t.host, &ev, 10) <= 0) continue;
    t.handle(ev);
    if (t.server && t.welcomed) return true;
    if (!t.pending && !t.server) return false;
  }
  if (t.pending) enet_peer_reset(t.pending);
  if (t.server) enet_peer_reset(t.server);
  t.pending = t.server = nullptr;
  return false;
}

}  // namespace

bool net_session_start(Net& n, const NetSettings& s, std::string& error) {
  if (!enet_ready()) {
    error = "the network layer could not start";
    return false;
  }
  auto t = std::make_unique<NetTransport>();
  t->net = &n;
  t->connection = s.connection == 0 ? 0 : 1;
  t->session_name = s.session_name;
  t->my_name = s.player_name;
  t->discovery_port = net_port(s);
  const bool hosting = s.mode == 0;
  ENetAddress bind{ENET_HOST_ANY, static_cast<enet_uint16>(hosting && t->connection == 1 ? net_port(s) : 0)};
  t->host = enet_host_create(&bind, kMaxPlayers, 2, 0, 0);
  if (!t->host) {
    error = "no port to listen on";
    return false;
  }
  ENetAddress mine{};
  enet_socket_get_address(t->host->socket, &mine);
  t->listen_port = mine.port;
  if (hosting) {
    t->is_host = true;
    t->my_id = 1;
    t->players.push_back({1, 0, t->listen_port, t->my_name, nullptr});
    t->open_discovery();
    if (t->connection == 0 && t->discovery == ENET_SOCKET_NULL) {
      error = "the LAN port is taken";
      return false;
    }
  } else {
    bool joined = false;
    int retries = 0;
    for (int32_t attempt = 0; attempt < s.timeout && !joined; ++attempt) {
      const int64_t next = now_ms() + 1000;
      if (t->connection == 0) {
        for (const NetFound& f : net_lan_find(t->discovery_port, 500, s.address)) {
          if (f.name != s.session_name) continue;  // exact, case included
          if ((joined = join_at(*t, ENetAddress{f.ip, f.port}))) break;
        }
      } else {
        ENetAddress a{0, net_port(s)};
        if (enet_address_set_host(&a, s.address.c_str()) < 0) {
          // Not a name or address at all: asking again is all that can be done. A run
          // without anyone to answer stops asking after a few rounds.
          if (++retries > 5 || (n.ask ? n.ask("Could not find host! Retry?") : 1) != 1) break;
          attempt = -1;
          continue;
        }
        joined = join_at(*t, a);
      }
      while (!joined && now_ms() < next) {
        ENetEvent ev;
        if (enet_host_service(t->host, &ev, 20) > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE)
          enet_packet_destroy(ev.packet);
      }
    }
    if (!joined) {
      error = "no session \"" + s.session_name + "\" found";
      return false;
    }
  }
  {
    std::lock_guard<std::mutex> hold(n.lock);
    n.tables.text_end = 0;
    n.tables.host = t->is_host;
  }
  NetTransport* raw = t.get();
  n.transport = std::move(t);
  raw->worker = std::thread([raw] { raw->run(); });
  n.active = -1;
  return true;
}

void net_stop(Net& n) {
  if (n.transport) {
    n.transport->stop = true;
    if (n.transport->worker.joinable()) n.transport->worker.join();
    n.transport.reset();
  }
  n.active = 0;
}

void net_send(Net& n, std::vector<uint8_t> message) {
  if (!n.active || !n.transport || message.empty()) return;
  const bool text = message.size() >= 4 && message[0] == 0 && message[1] == 0 && message[2] == 0 && message[3] == 0;
  std::lock_guard<std::mutex> hold(n.transport->out_lock);
  if (n.transport->outbox.size() >= 1024) return;  // nobody is taking them: dropped
  n.transport->outbox.push_back({std::move(message), text ? static_cast<uint32_t>(ENET_PACKET_FLAG_UNSEQUENCED) : 0u});
}

Net::Net() = default;
Net::~Net() { net_stop(*this); }

uint16_t net_listen_port(const Net& n) { return n.transport ? n.transport->listen_port : 0; }

}  // namespace korva
