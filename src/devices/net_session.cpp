// The session's tables: settings, the wire formats as received, the text queue, and what the
// frame loop does with them (state into the instance records, the send countdown).
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "brain/brain.h"
#include "core/core.h"
#include "core/ini.h"
#include "core/system.h"
#include "devices/net.h"
#include "model/instance_record.h"
#include "model/model.h"
#include "model/run_state.h"

namespace korva {
namespace {

int32_t read_i32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}

void put_i32(std::vector<uint8_t>& out, int32_t v) {
  uint8_t b[4];
  std::memcpy(b, &v, 4);
  out.insert(out.end(), b, b + 4);
}

int32_t setting_int(const IniDoc& doc, std::string_view key) {
  std::string v;
  if (!ini_get(doc, "Settings", key, v)) return 0;
  return static_cast<int32_t>(std::strtol(v.c_str(), nullptr, 10));
}

std::string computer_name() {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0 || !name[0]) return "Session";
  return name;
}

std::string user_name() {
  const char* u = std::getenv("USER");
  if (!u || !*u) u = std::getenv("LOGNAME");
  return (u && *u) ? u : "Player";
}

// The values an element record carries, in wire order, as offsets into the instance record.
// A negative entry stands for the one-byte flags value.
constexpr int32_t kFlagsByte = -1;
int32_t record_offsets(int32_t flags, int32_t* out) {
  int32_t n = 0;
  auto three = [&](int32_t a, int32_t b, int32_t c) {
    out[n++] = a;
    out[n++] = b;
    out[n++] = c;
  };
  if (flags & 0x01) three(ir::kPosX, ir::kPosY, ir::kPosZ);
  if (flags & 0x02) {
    three(ir::kRotX, ir::kRotY, ir::kRotZ);
    three(ir::kVelX, ir::kVelY, ir::kVelZ);
  }
  if (flags & 0x10) {
    three(ir::kSpinX, ir::kSpinY, ir::kSpinZ);
    three(ir::kExtraRotX, ir::kExtraRotY, ir::kExtraRotZ);
  }
  if (flags & 0x20)
    for (int32_t k = 0; k < 6; ++k) out[n++] = ir::kFirstVariable - 4 * k;
  if (flags & 0x300) out[n++] = kFlagsByte;
  if (flags & 0x400) out[n++] = ir::kScore;
  return n;
}
constexpr int32_t kMaxRecordValues = 3 + 6 + 6 + 6 + 1 + 1;

bool sends_anything(int32_t flags) { return (flags & ~kNetQuietBits) != 0; }

uint8_t* record(System& s, int32_t i) {
  return s.core->pool(Pool::Instances) + static_cast<size_t>(i) * kInstanceRecordBytes;
}

}  // namespace

NetSettings net_settings_read(std::string_view path) {
  NetSettings s;
  IniDoc doc;
  ini_load(doc, path);  // a missing file leaves every default
  s.connection = setting_int(doc, "Connection");
  s.mode = setting_int(doc, "Mode");
  s.timeout = setting_int(doc, "Timeout");
  ini_get(doc, "Settings", "IPAddress", s.address);
  if (s.address.size() > 255) s.address.resize(255);
  s.port = setting_int(doc, "PortNumber");
  if (s.port < 0 || s.port > 65535) s.port = 0;
  s.session_name_given = ini_get(doc, "Settings", "SessionName", s.session_name);
  if (!s.session_name_given && s.mode == 0) s.session_name = computer_name();
  if (!ini_get(doc, "Settings", "PlayerName", s.player_name) || s.player_name.empty())
    s.player_name = user_name();
  return s;
}

uint16_t net_port(const NetSettings& s) {
  return s.port > 0 && s.port <= 65535 ? static_cast<uint16_t>(s.port) : kDefaultNetPort;
}

std::unique_ptr<Net> net_create() {
  auto n = std::make_unique<Net>();
  for (auto& slot : n->tables.slots) std::fill(std::begin(slot), std::end(slot), -1);
  return n;
}

std::vector<uint8_t> net_text_message(std::string_view text, int32_t value) {
  std::vector<uint8_t> m;
  m.reserve(text.size() + 9);
  put_i32(m, 0);
  put_i32(m, value);
  m.insert(m.end(), text.begin(), text.end());
  m.push_back(0);
  return m;
}

int32_t net_record_values(int32_t flags) {
  int32_t offsets[kMaxRecordValues];
  return record_offsets(flags, offsets);
}

NetReceived net_receive(NetTables& t, const uint8_t* data, size_t size) {
  if (!data || size < 4) return NetReceived::Dropped;
  size = std::min(size, static_cast<size_t>(kNetMessageBytes));
  if (read_i32(data) == 0) {
    // A text message: the value, then the text up to its zero or the end of the message.
    if (size < 8) return NetReceived::Dropped;
    const uint8_t* text = data + 8;
    const size_t room = size - 8;
    const size_t len = std::find(text, text + room, 0) - text;
    const size_t need = 4 + len + 1;
    if (t.text_end < 0 || static_cast<size_t>(t.text_end) + need > sizeof t.text_queue)
      return NetReceived::Dropped;
    uint8_t* at = t.text_queue + t.text_end;
    std::memcpy(at, data + 4, 4);
    std::memcpy(at + 4, text, len);
    at[4 + len] = 0;
    t.text_end += static_cast<int32_t>(need);
    return NetReceived::Text;
  }
  // A state message.
  if (size < 6 || !t.running) return NetReceived::Dropped;
  if (static_cast<uint32_t>(read_i32(data)) != t.game_id) {
    t.mismatch = -1;
    return NetReceived::Mismatch;
  }
  uint16_t machine;
  std::memcpy(&machine, data + 4, 2);
  if (machine >= 1 && machine <= kMachines && t.machine_count[machine - 1] < INT32_MAX)
    ++t.machine_count[machine - 1];
  size_t at = 6;
  bool list_ended = false;
  while (at + 4 <= size) {
    const int32_t index = read_i32(data + at);
    at += 4;
    if (index == -1) {
      list_ended = true;
      break;
    }
    if (index < 0 || index >= t.element_count || index >= kStateSlots) break;
    const int32_t flags = t.net_flags[index];
    if (!sends_anything(flags)) break;
    int32_t offsets[kMaxRecordValues];
    const int32_t count = record_offsets(flags, offsets);
    int32_t values[kMaxRecordValues];
    bool whole = true;
    for (int32_t k = 0; k < count; ++k) {
      if (offsets[k] == kFlagsByte) {
        if (at + 1 > size) { whole = false; break; }
        values[k] = data[at];
        at += 1;
      } else {
        if (at + 4 > size) { whole = false; break; }
        values[k] = read_i32(data + at);
        at += 4;
      }
    }
    if (!whole) break;
    int32_t* slot = t.slots[index];
    // Values past the slot's room are read but not kept.
    const int32_t kept = std::min(count, kStateSlotValues - 1);
    std::copy(values, values + kept, slot + 1);
    slot[0] = 0;
  }
  if (list_ended && at + 4 <= size) {
    const int32_t pairs = read_i32(data + at);
    at += 4;
    if (pairs >= 0 && pairs <= kMaxSharedPairs) {
      const int32_t table = static_cast<int32_t>(
          std::min({t.shared_global.size(), t.shared_received.size(), t.shared_pending.size()}));
      for (int32_t k = 0; k < pairs && at + 8 <= size; ++k, at += 8) {
        const int32_t offset = read_i32(data + at);
        if (offset < 0 || offset >= table) continue;
        t.shared_received[offset] = read_i32(data + at + 4);
        t.shared_pending[offset] = 1;
      }
    }
  }
  if (t.active_machines > 0 && ++t.states_since_send >= t.active_machines) t.send_now = true;
  return NetReceived::State;
}

bool net_text_take(NetTables& t, int32_t mask, std::string& text) {
  text.clear();
  if (t.text_end < 5) return false;
  const int32_t value = read_i32(t.text_queue);
  if ((value & mask) == 0) return false;
  const uint8_t* start = t.text_queue + 4;
  const uint8_t* end = t.text_queue + t.text_end;
  const uint8_t* zero = std::find(start, end, 0);
  text.assign(reinterpret_cast<const char*>(start), zero - start);
  const int32_t used = static_cast<int32_t>(std::min(zero + 1, end) - t.text_queue);
  std::memmove(t.text_queue, t.text_queue + used, static_cast<size_t>(t.text_end - used));
  t.text_end -= used;
  return true;
}

std::vector<int32_t> net_shared_list(std::string_view text) {
  std::vector<int32_t> out;
  size_t at = 0;
  while (at <= text.size() && out.size() < static_cast<size_t>(kGlobalWords)) {
    size_t comma = text.find(',', at);
    if (comma == std::string_view::npos) comma = text.size();
    const std::string item(text.substr(at, comma - at));
    at = comma + 1;
    char* end = nullptr;
    const long first = std::strtol(item.c_str(), &end, 10);
    if (end == item.c_str()) continue;  // no number: not an item
    long count = 1;
    if (const char* open = std::strchr(end, '(')) count = std::strtol(open + 1, nullptr, 10);
    count = std::clamp(count, 1L, static_cast<long>(kGlobalWords));
    for (long k = 0; k < count && out.size() < static_cast<size_t>(kGlobalWords); ++k)
      out.push_back(static_cast<int32_t>((first + k) & (kGlobalWords - 1)));
  }
  return out;
}

bool net_project_uses_network(std::string_view shared_variables, const std::vector<int32_t>& net_flags) {
  if (shared_variables.find_first_not_of(" \t") != std::string_view::npos) return true;
  return std::any_of(net_flags.begin(), net_flags.end(), sends_anything);
}

uint32_t net_game_id(System& s) {
  uint32_t id = 0x4B4F5256u;  // any start value; both sides use the same one
  const int32_t count = s.model ? std::min(element_count(*s.model), kStateSlots) : 0;
  id = id * 31u + static_cast<uint32_t>(count);
  for (int32_t i = 0; i < count && s.brain; ++i) id = id * 31u + s.brain->checksum[i];
  return id;
}

void net_run_start(System& s) {
  Net* n = s.net;
  if (!n || !n->active) return;
  const int32_t count = s.model ? std::min(element_count(*s.model), kStateSlots) : 0;
  const std::vector<int32_t> shared =
      s.model ? net_shared_list(s.model->project.shared_variables.view()) : std::vector<int32_t>{};
  std::lock_guard<std::mutex> hold(n->lock);
  NetTables& t = n->tables;
  for (auto& slot : t.slots) std::fill(std::begin(slot), std::end(slot), -1);
  std::fill(std::begin(t.net_flags), std::end(t.net_flags), 0);
  for (int32_t i = 0; i < count; ++i) t.net_flags[i] = element_field_int(*s.core, i, fld::kNetFlags);
  t.element_count = count;
  t.game_id = 0;
  t.running = false;  // until the brains are compiled and the game id is known
  t.shared_global = shared;
  t.shared_received.assign(shared.size(), 0);
  t.shared_pending.assign(shared.size(), 0);
  t.states_since_send = 0;
  t.send_now = false;
  n->shared_sent.assign(shared.size(), 0);
  n->shared_sent_ok.assign(shared.size(), 0);
  n->send_countdown = kSendFrames;
  n->frame = 0;
}

void net_apply_globals(System& s) {
  Net* n = s.net;
  if (!n || !n->active) return;
  int32_t* g = s.core->pool_as<int32_t>(Pool::BrainVars);
  std::lock_guard<std::mutex> hold(n->lock);
  NetTables& t = n->tables;
  for (size_t k = 0; k < t.shared_global.size() && k < t.shared_pending.size() && k < t.shared_received.size(); ++k) {
    if (!t.shared_pending[k]) continue;
    t.shared_pending[k] = 0;
    g[t.shared_global[k]] = t.shared_received[k];
    // A value that came from elsewhere is not sent back as a change of ours.
    if (k < n->shared_sent.size()) {
      n->shared_sent[k] = t.shared_received[k];
      n->shared_sent_ok[k] = 1;
    }
  }
}

void net_before_brains(System& s) {
  Net* n = s.net;
  if (!n || !n->active) return;
  {
    std::lock_guard<std::mutex> hold(n->lock);
    NetTables& t = n->tables;
    if (!t.running) {
      t.game_id = net_game_id(s);
      t.running = true;
    }
    while (!t.notices.empty()) {
      n->status_line = t.notices.front();
      t.notices.pop_front();
      n->status_frames = 4 * (s.run ? s.run->frame_rate : kDefaultFrameRate);  // four seconds
      std::fprintf(stderr, "korva: %s", n->status_line.c_str());
    }
    // Fresh state into the elements that other machines drive.
    for (int32_t i = 0; i < t.element_count; ++i) {
      int32_t* slot = t.slots[i];
      if (slot[0] != 0) continue;
      slot[0] = -1;
      uint8_t* r = record(s, i);
      if (ir_get(r, ir::kMachine) == n->machine_number && n->machine_number != 0) continue;
      int32_t offsets[kMaxRecordValues];
      const int32_t count = std::min(record_offsets(t.net_flags[i], offsets), kStateSlotValues - 1);
      for (int32_t k = 0; k < count; ++k) {
        const int32_t v = slot[1 + k];
        if (offsets[k] == kFlagsByte) {
          const int32_t kept = ir::kFlagActive | ir::kFlagShown;
          ir_set(r, ir::kFlags, (ir_get(r, ir::kFlags) & ~kept) | (v & kept));
        } else {
          ir_set(r, offsets[k], v);
        }
      }
    }
  }
  net_apply_globals(s);
  if (n->status_frames > 0 && --n->status_frames == 0) n->status_line.clear();
}

std::vector<std::vector<uint8_t>> net_state_messages(System& s) {
  Net& n = *s.net;
  uint32_t id;
  int32_t count;
  std::vector<int32_t> shared;
  int32_t flags[kStateSlots];
  {
    std::lock_guard<std::mutex> hold(n.lock);
    id = n.tables.game_id;
    count = n.tables.element_count;
    shared = n.tables.shared_global;
    std::copy(std::begin(n.tables.net_flags), std::end(n.tables.net_flags), flags);
  }
  const uint16_t machine = static_cast<uint16_t>(n.machine_number);
  std::vector<std::vector<uint8_t>> out;
  auto begin = [&] {
    out.emplace_back();
    put_i32(out.back(), static_cast<int32_t>(id));
    out.back().push_back(static_cast<uint8_t>(machine & 0xFF));
    out.back().push_back(static_cast<uint8_t>(machine >> 8));
  };
  begin();
  std::vector<uint8_t> rec;
  for (int32_t i = 0; i < count && n.machine_number != 0; ++i) {
    if (!sends_anything(flags[i])) continue;
    const uint8_t* r = record(s, i);
    if (ir_get(r, ir::kMachine) != n.machine_number) continue;
    rec.clear();
    put_i32(rec, i);
    int32_t offsets[kMaxRecordValues];
    const int32_t values = record_offsets(flags[i], offsets);
    for (int32_t k = 0; k < values; ++k) {
      if (offsets[k] == kFlagsByte)
        rec.push_back(static_cast<uint8_t>(ir_get(r, ir::kFlags) & 0xFF));
      else
        put_i32(rec, ir_get(r, offsets[k]));
    }
    // A message never passes what a receiver reads: the rest goes in the next one (room is
    // kept for the -1 and an empty pair count).
    if (out.back().size() + rec.size() + 8 > static_cast<size_t>(kNetMessageBytes)) {
      put_i32(out.back(), -1);
      put_i32(out.back(), 0);
      begin();
    }
    out.back().insert(out.back().end(), rec.begin(), rec.end());
  }
  put_i32(out.back(), -1);
  // The shared variables this machine changed since its last message.
  const int32_t* g = s.core->pool_as<int32_t>(Pool::BrainVars);
  std::vector<std::pair<int32_t, int32_t>> pairs;
  for (size_t k = 0; k < shared.size() && k < n.shared_sent.size(); ++k) {
    const int32_t v = g[shared[k]];
    if (n.shared_sent_ok[k] && n.shared_sent[k] == v) continue;
    if (pairs.size() >= static_cast<size_t>(kMaxSharedPairs)) break;
    pairs.emplace_back(static_cast<int32_t>(k), v);
    n.shared_sent[k] = v;
    n.shared_sent_ok[k] = 1;
  }
  if (out.back().size() + 4 + 8 * pairs.size() > static_cast<size_t>(kNetMessageBytes)) {
    put_i32(out.back(), 0);
    begin();
    put_i32(out.back(), -1);
  }
  put_i32(out.back(), static_cast<int32_t>(pairs.size()));
  for (const auto& [offset, value] : pairs) {
    put_i32(out.back(), offset);
    put_i32(out.back(), value);
  }
  return out;
}

void net_after_brains(System& s) {
  Net* n = s.net;
  if (!n || !n->active) return;
  ++n->frame;
  bool send = false;
  {
    std::lock_guard<std::mutex> hold(n->lock);
    NetTables& t = n->tables;
    if (n->frame % kMachineHalving == 0) {
      int32_t active = 0;
      for (int32_t& c : t.machine_count) {
        c /= 2;
        if (c > 1) ++active;
      }
      t.active_machines = active;
    }
    if (--n->send_countdown <= 0 || t.send_now) {
      send = true;
      t.send_now = false;
      t.states_since_send = 0;
    }
  }
  if (!send) return;
  n->send_countdown = kSendFrames;
  for (auto& m : net_state_messages(s)) net_send(*n, std::move(m));
}

}  // namespace korva
