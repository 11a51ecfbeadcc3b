// Network sessions: several machines run one project together. One machine hosts, the others
// join; each sends the state of the elements it drives and short text messages to all others.
// The tables here are shared by the session's worker thread (which fills them from received
// messages) and the frame loop (which reads them), always under Net::lock, so that the frame
// loop sees a message either not at all or whole.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace korva {

struct System;
struct KeywordBindings;

constexpr int32_t kNetMessageBytes = 23552;   // the largest message received; longer ones are cut
constexpr int32_t kTextQueueBytes = 32768;    // received texts waiting for str_poll; any one message fits
constexpr int32_t kStateSlots = 256;          // one per element
constexpr int32_t kStateSlotValues = 15;      // the fresh mark, then up to 14 received values
constexpr int32_t kMachines = 100;            // machine numbers 1..100
constexpr int32_t kMachineHalving = 128;      // frames between halvings of the machine table
constexpr int32_t kSendFrames = 90;           // frames between two state messages at most
constexpr int32_t kMaxSharedPairs = 2048;     // shared-variable pairs in one state message
constexpr int32_t kMaxPlayers = 100;
constexpr uint16_t kDefaultNetPort = 47624;   // session port when network.ini gives 0
// Network flag bits that carry nothing on the wire: an element with only these is not sent.
constexpr int32_t kNetQuietBits = 0xCC;

// The "Settings" section of network.ini.
struct NetSettings {
  int32_t connection = 0;  // 0: LAN (found by broadcast); 1: the address below; other: the dialog
  int32_t mode = 0;        // 0: host; other: join
  int32_t timeout = 0;     // one-second attempts to find the session when joining
  std::string address;     // host address for connection 1
  int32_t port = 0;        // 0: kDefaultNetPort
  std::string session_name;
  std::string player_name;
  bool session_name_given = false;
};

// Reads network.ini (a missing file or key keeps the default; a bad number reads as 0). The
// session name defaults to the computer's name (or "Session") when hosting and stays empty
// when joining; the player name to the user's name (or "Player").
NetSettings net_settings_read(std::string_view path);
uint16_t net_port(const NetSettings& s);  // the port to use: PortNumber, or the default

struct NetTransport;  // the ENet side (net_transport.cpp)

// What the frame loop and the worker thread share.
struct NetTables {
  // Received text messages: a 32-bit value, the text, its zero; a write position.
  uint8_t text_queue[kTextQueueBytes] = {};
  int32_t text_end = 0;
  // Element state slots; value 0 of a slot is 0 when fresh state arrived, -1 otherwise.
  int32_t slots[kStateSlots][kStateSlotValues] = {};
  // State messages received per machine number (index = number - 1).
  int32_t machine_count[kMachines] = {};
  // The running project as the receiving side needs it: each element's network flags (field
  // 47, taken at run start), the element count and the game id. No run: no state is taken.
  int32_t net_flags[kStateSlots] = {};
  int32_t element_count = 0;
  uint32_t game_id = 0;
  bool running = false;
  int32_t mismatch = 0;  // -1 once a state message of another project arrived
  // Network-shared variables: the global word of each table offset, the values received and
  // whether a received value waits to be applied.
  std::vector<int32_t> shared_global;
  std::vector<int32_t> shared_received;
  std::vector<uint8_t> shared_pending;
  // The send countdown's early trigger.
  int32_t states_since_send = 0;
  int32_t active_machines = 0;
  bool send_now = false;
  // Join, leave and host notices for the main thread.
  std::deque<std::string> notices;
  bool host = false;
};

struct Net {
  Net();
  ~Net();  // stops the session
  std::mutex lock;  // guards tables
  NetTables tables;

  // Main thread only.
  int32_t active = 0;          // -1 while a session is open
  int32_t machine_number = 0;  // 1..100; 0 until set
  int32_t send_countdown = kSendFrames;
  uint32_t frame = 0;          // frames since run start, for the machine-table halving
  std::vector<int32_t> shared_sent;     // last value sent per shared variable
  std::vector<uint8_t> shared_sent_ok;  // whether one was sent yet
  std::string status_line;              // the last notice, shown over the game for a while
  int32_t status_frames = 0;

  // Asks an OK / Cancel question while the session is being made; 1 is OK. Unset: OK.
  std::function<int32_t(std::string_view text)> ask;

  std::unique_ptr<NetTransport> transport;
};

std::unique_ptr<Net> net_create();

// ---- Wire formats ----
// Text message: 32-bit 0, 32-bit value, the text, a zero byte.
std::vector<uint8_t> net_text_message(std::string_view text, int32_t value);

// Takes one received message into the tables (the caller holds the lock). Every length,
// index, count and offset is checked; what does not fit is dropped or cut.
enum class NetReceived { Dropped, Text, State, Mismatch };
NetReceived net_receive(NetTables& t, const uint8_t* data, size_t size);

// The network flags payload of one element record: the number of 32-bit values that follow
// its index (bytes are counted as one value each, 1 for the 0x100/0x200 byte).
int32_t net_record_values(int32_t flags);

// ---- Text queue ----
// Takes the first text message when its value has a bit in common with mask; false (queue
// unchanged) when the queue is empty or the first message does not match.
bool net_text_take(NetTables& t, int32_t mask, std::string& text);

// ---- The run ----
// Run start: the element flags, the shared-variable list of the project, slots and counters.
void net_run_start(System& s);
// Every brain step, before the first brain: notices, received state into the instance
// records, received shared variables into the globals.
void net_before_brains(System& s);
// Every brain step, after the last brain: the machine table halving and the send countdown.
void net_after_brains(System& s);
// Received shared variables into the global table (global_set calls this too).
void net_apply_globals(System& s);
// The state of this machine: game id, machine number, the elements it drives, the shared
// variables changed since the last time. Usually one message; more when one would pass the
// largest message a receiver reads.
std::vector<std::vector<uint8_t>> net_state_messages(System& s);
// The project's list of network-shared variables: comma-separated items, each a global word
// number, optionally followed by a count in parentheses ("5, 10(3)" is 5, 10, 11, 12).
std::vector<int32_t> net_shared_list(std::string_view text);
// Whether a project needs the network (the builder then writes "netmode.ini"): its list of
// network-shared variables is not empty, or an element's network flags have a bit outside the
// quiet ones.
bool net_project_uses_network(std::string_view shared_variables, const std::vector<int32_t>& net_flags);
// The game id: a checksum over the element count and every element's brain.
uint32_t net_game_id(System& s);

// ---- Sessions (net_transport.cpp) ----
// Hosts or joins as the settings say; false when no session could be made (with the reason on
// stderr). A session that is made runs its worker thread until net_stop.
bool net_session_start(Net& n, const NetSettings& settings, std::string& error);
void net_stop(Net& n);
// Sends a message to every other player (the host relays); nothing when no session.
void net_send(Net& n, std::vector<uint8_t> message);
// The port the session listens on (0 when none); for tests.
uint16_t net_listen_port(const Net& n);

// The keywords (text arguments and targets as the text keywords take them).
void str_send(System& s, int32_t text, int32_t value);
void str_poll(System& s, int32_t target, int32_t mask);
void machine_number_set(System& s, int32_t number);  // 0..100; above 100 stores 100
int32_t machine_number(System& s);
int32_t machine_status(System& s, int32_t number);
int32_t network_mismatch(System& s);
int32_t network_mode(System& s);  // -1 while a session is open
int32_t host(System& s);
int32_t machine_element(System& s, int32_t number);  // the first element with that machine number
// element_find among the elements this machine drives (their machine number is this one's).
int32_t machine_element_find(System& s, int32_t e, int32_t mask, int32_t count, int32_t mode);
void bind_network_keywords(KeywordBindings& b);

}  // namespace korva
