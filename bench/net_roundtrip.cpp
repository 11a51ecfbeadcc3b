// State messages between two sessions on 127.0.0.1 (a host and a joiner, each with its own ENet
// host and worker thread): the round trip of one state message and back, by number of
// networked elements, and how many of 50 messages a second arrive with every element networked.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "devices/net.h"

namespace korva {
namespace {

constexpr int32_t kAllPayload = 0x01 | 0x02 | 0x10 | 0x20 | 0x100 | 0x400;

void put(std::vector<uint8_t>& m, int32_t v) {
  uint8_t b[4];
  std::memcpy(b, &v, 4);
  m.insert(m.end(), b, b + 4);
}

// A state message of machine with elements networked elements of flags.
std::vector<uint8_t> state(uint16_t machine, int32_t elements, int32_t flags) {
  std::vector<uint8_t> m;
  put(m, 77);
  m.push_back(static_cast<uint8_t>(machine));
  m.push_back(0);
  for (int32_t i = 0; i < elements; ++i) {
    put(m, i);
    for (int32_t k = 0; k < net_record_values(flags); ++k) {
      if (k == net_record_values(flags) - 2 && (flags & 0x300)) m.push_back(1);
      else put(m, k);
    }
  }
  put(m, -1);
  put(m, 0);
  return m;
}

void prepare(Net& n, int32_t flags) {
  std::lock_guard<std::mutex> hold(n.lock);
  n.tables.running = true;
  n.tables.game_id = 77;
  n.tables.element_count = kStateSlots;
  for (int32_t& f : n.tables.net_flags) f = flags;
}

int32_t count_of(Net& n, int32_t machine) {
  std::lock_guard<std::mutex> hold(n.lock);
  return n.tables.machine_count[machine - 1];
}

bool wait_count(Net& n, int32_t machine, int32_t above, double seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (count_of(n, machine) <= above)
    if (std::chrono::steady_clock::now() > until) return false;
  return true;
}

struct Pair {
  std::unique_ptr<Net> host = net_create(), joiner = net_create();
  bool ok = false;
  explicit Pair(int32_t flags) {
    NetSettings s;
    s.connection = 1;
    s.port = 30000 + static_cast<int32_t>(std::chrono::steady_clock::now().time_since_epoch().count() % 20000);
    s.session_name = "Bench";
    s.player_name = "P";
    std::string why;
    if (!net_session_start(*host, s, why)) return;
    s.mode = 1;
    s.timeout = 5;
    s.address = "127.0.0.1";
    if (!net_session_start(*joiner, s, why)) return;
    prepare(*host, flags);
    prepare(*joiner, flags);
    ok = true;
  }
};

void BM_StateRoundTrip(benchmark::State& st) {
  const int32_t elements = static_cast<int32_t>(st.range(0));
  Pair p(kAllPayload);
  if (!p.ok) {
    st.SkipWithError("no session on loopback");
    return;
  }
  const auto there = state(1, elements, kAllPayload), back = state(2, elements, kAllPayload);
  for (auto _ : st) {
    const int32_t a = count_of(*p.joiner, 1), b = count_of(*p.host, 2);
    net_send(*p.host, there);
    if (!wait_count(*p.joiner, 1, a, 2.0)) continue;  // lost: unreliable; not timed further
    net_send(*p.joiner, back);
    wait_count(*p.host, 2, b, 2.0);
  }
  st.counters["bytes"] = static_cast<double>(there.size());
}
BENCHMARK(BM_StateRoundTrip)->Arg(1)->Arg(32)->Arg(250)->UseRealTime()->Unit(benchmark::kMicrosecond);

// 100 frames at 50 frames per second, each sending the position, rotation and velocity of
// elements elements; the counter is the share of messages that arrived.
void BM_StateEveryFrameAt50Fps(benchmark::State& st) {
  const int32_t elements = static_cast<int32_t>(st.range(0));
  Pair p(0x01 | 0x02);
  if (!p.ok) {
    st.SkipWithError("no session on loopback");
    return;
  }
  const auto message = state(1, elements, 0x01 | 0x02);
  double arrived = 0;
  for (auto _ : st) {
    const int32_t before = count_of(*p.joiner, 1);
    auto next = std::chrono::steady_clock::now();
    for (int f = 0; f < 100; ++f) {
      net_send(*p.host, message);
      next += std::chrono::milliseconds(20);
      std::this_thread::sleep_until(next);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    arrived = (count_of(*p.joiner, 1) - before) / 100.0;
  }
  st.counters["arrived"] = arrived;
  st.counters["bytes"] = static_cast<double>(message.size());
}
BENCHMARK(BM_StateEveryFrameAt50Fps)->Arg(64)->Arg(256)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace korva

BENCHMARK_MAIN();
