// The core's keywords. Processes are started with posix_spawn; the platform's wait for a new
// program to be "ready for input" becomes the successful start.
#include "runtime/core_keywords.h"

#include "engine/keyword_table.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/core.h"
#include "engine/element_access.h"
#include "model/model.h"
#include "model/run_state.h"
#include "runtime/text_argument.h"

extern char** environ;

namespace korva {
namespace {

constexpr auto kRunPollInterval = std::chrono::milliseconds(10);

// The word of local slot, or -1 when the slot lies outside 0..127 (negative slots included).
int32_t local_offset(int32_t slot) {
  if (static_cast<uint32_t>(slot) >= static_cast<uint32_t>(kLocalSlots)) return -1;
  return kInstanceRecordBytes - 4 - 4 * slot;
}

bool standalone(const System& s) { return s.model != nullptr && s.model->standalone; }

std::vector<std::string> split_command(std::string_view line) {
  std::vector<std::string> words;
  std::string w;
  bool quoted = false, in_word = false;
  for (char ch : line) {
    if (ch == '"') {
      quoted = !quoted;
      in_word = true;
    } else if (!quoted && (ch == ' ' || ch == '\t')) {
      if (in_word) words.push_back(w);
      w.clear();
      in_word = false;
    } else {
      w.push_back(ch == '\\' ? '/' : ch);
      in_word = true;
    }
  }
  if (in_word) words.push_back(w);
  return words;
}

// Collects the ended processes that run_task started, so none is left as a zombie.
void reap_tasks(RunState& run) {
  int32_t kept = 0;
  for (int32_t i = 0; i < run.task_count && i < kMaxTasks; ++i) {
    const pid_t pid = run.tasks[i];
    if (waitpid(pid, nullptr, WNOHANG) == 0) run.tasks[kept++] = pid;
  }
  run.task_count = kept;
}

int32_t spawn(const std::vector<std::string>& words) {
  if (words.empty() || words[0].empty()) return -1;
  std::vector<char*> argv;
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

std::tm local_now(const System& s) {
  if (s.run != nullptr && s.run->hooks.local_time) return s.run->hooks.local_time();
  const std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  return t;
}

void set_brain_stopped(System& s, int32_t e, bool stopped) {
  if (e < 0) {
    if (s.run != nullptr && s.run->hooks.frame_enable) s.run->hooks.frame_enable(e & 0x7FFFFFFF, !stopped);
    return;
  }
  uint8_t* r = instance_at(s, e);
  if (!r) return;
  const int32_t flags = word(r, ir::kFlags);
  set_word(r, ir::kFlags, stopped ? flags | ir::kFlagBrainStopped : flags & ~ir::kFlagBrainStopped);
}

}  // namespace

int32_t start_process(std::string_view command_line) { return spawn(split_command(command_line)); }

int32_t local(System& s, int32_t e, int32_t slot) {
  const uint8_t* r = instance_at(s, e);
  const int32_t off = local_offset(slot);
  return r && off >= 0 ? word(r, off) : 0;
}

void local_set(System& s, int32_t e, int32_t slot, int32_t v) {
  uint8_t* r = instance_at(s, e);
  const int32_t off = local_offset(slot);
  if (r && off >= 0) set_word(r, off, v);
}

void run(System& s, int32_t command) {
  if (s.run != nullptr) reap_tasks(*s.run);
  const pid_t pid = start_process(text_argument(s, command));
  if (pid < 0) return;
  // Wait for the end while the window stays alive.
  const PersonWait wait(*s.core);
  for (;;) {
    const pid_t r = waitpid(pid, nullptr, WNOHANG);
    if (r == pid || (r < 0 && errno != EINTR)) break;
    pump(*s.core);
    std::this_thread::sleep_for(kRunPollInterval);
  }
  pump(*s.core);
}

void run_task(System& s, int32_t command) {
  if (s.run != nullptr) reap_tasks(*s.run);
  const pid_t pid = start_process(text_argument(s, command));
  if (pid < 0 || s.run == nullptr) return;
  if (s.run->task_count < kMaxTasks) s.run->tasks[s.run->task_count++] = pid;
}

void reset(System& s) {
  if (!standalone(s) || s.run == nullptr) return;
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return;
  reap_tasks(*s.run);
  const pid_t pid = spawn({std::string(self, static_cast<size_t>(n))});
  if (pid < 0) return;
  if (s.run->task_count < kMaxTasks) s.run->tasks[s.run->task_count++] = pid;
  s.run->exit_code = kExitRestart;
}

int32_t exemode(System& s, int32_t mask) {
  int32_t mode = standalone(s) ? 1 : 0;
  if (s.model != nullptr && s.model->state[est::kExeMode] == 1) mode += 2;
  return mode & mask;
}

int32_t year(System& s) { return year_from_two_digits((local_now(s).tm_year + 1900) % 100); }
int32_t month(System& s) { return local_now(s).tm_mon + 1; }
int32_t day(System& s) { return local_now(s).tm_mday; }
int32_t hour(System& s) { return local_now(s).tm_hour; }
int32_t minute(System& s) { return local_now(s).tm_min; }
int32_t second(System& s) { return local_now(s).tm_sec; }

void disable(System& s, int32_t e) { set_brain_stopped(s, e, true); }
void enable(System& s, int32_t e) { set_brain_stopped(s, e, false); }

void bind_core_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"local", keyword_routine<local>},
      {"local_set", keyword_routine<local_set>},
      {"run", keyword_routine<run>},
      {"run_task", keyword_routine<run_task>},
      {"reset", keyword_routine<reset>},
      {"exemode", keyword_routine<exemode>},
      {"year", keyword_routine<year>},
      {"month", keyword_routine<month>},
      {"day", keyword_routine<day>},
      {"hour", keyword_routine<hour>},
      {"minute", keyword_routine<minute>},
      {"second", keyword_routine<second>},
      {"disable", keyword_routine<disable>},
      {"enable", keyword_routine<enable>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
