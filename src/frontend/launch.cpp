// Starting korva in a mode: the "runmode.ini" it reads, finding the executable, starting it in
// the installation folder (waiting, or collecting its output while a front end keeps drawing),
// and judging how it ended.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "core/files.h"
#include "frontend/frontend.h"

extern char** environ;

namespace korva::frontend {

namespace {

namespace fs = std::filesystem;

// Written by korva as the last step of an editor run; its absence afterwards means the run
// did not end normally.
constexpr const char* kRunMarker = "temp/wasok.dat";

// Our environment with the requested variables replaced, as "NAME=value" texts.
std::vector<std::string> child_environment(const Environment& environment) {
  std::map<std::string, std::string> vars;
  for (char** e = environ; *e; ++e) {
    const char* eq = std::strchr(*e, '=');
    if (eq) vars[std::string(*e, static_cast<size_t>(eq - *e))] = eq + 1;
  }
  for (const auto& [k, v] : environment) vars[k] = v;
  std::vector<std::string> out;
  for (const auto& [k, v] : vars) out.push_back(k + "=" + v);
  return out;
}

// Starts korva in folder; output_fd >= 0 becomes its stdout and stderr. 0 or an errno value.
int spawn(const std::string& korva, const std::vector<std::string>& args, const std::string& folder,
          const Environment& environment, int output_fd, pid_t& pid) {
  std::vector<std::string> env_text = child_environment(environment);
  std::vector<char*> envp;
  for (std::string& s : env_text) envp.push_back(s.data());
  envp.push_back(nullptr);
  std::vector<std::string> words = {korva};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  if (output_fd >= 0) {
    posix_spawn_file_actions_adddup2(&actions, output_fd, 1);
    posix_spawn_file_actions_adddup2(&actions, output_fd, 2);
    posix_spawn_file_actions_addclose(&actions, output_fd);
  }
  const bool on_path = korva.find('/') == std::string::npos;
  const int rc = on_path ? posix_spawnp(&pid, korva.c_str(), &actions, nullptr, argv.data(), envp.data())
                         : posix_spawn(&pid, korva.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  return rc;
}

void record_status(RunResult& result, int status) {
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
}

}  // namespace

std::string runmode_text(const std::string& project, int32_t mode, int32_t element) {
  return project + "\r\n" + std::to_string(mode) + "\r\n" + std::to_string(element) + "\r\n0\r\n0\r\n";
}

Status write_runmode(const std::string& install_dir, const std::string& project, int32_t mode, int32_t element) {
  const std::string path = install_dir + "/runmode.ini";
  const std::string text = runmode_text(project, mode, element);
  if (!file_write_safely(path, text.data(), static_cast<int64_t>(text.size())))
    return Status::failed("cannot write " + path);
  return {};
}

std::string find_korva(const std::string& explicit_path, const std::string& own_executable) {
  if (!explicit_path.empty()) return fs::absolute(explicit_path).string();
  if (const char* env = std::getenv("KORVA_EXE"); env && *env) return fs::absolute(env).string();
  if (!own_executable.empty()) {
    const fs::path beside = fs::path(own_executable).parent_path() / "korva";
    if (access(beside.c_str(), X_OK) == 0) return beside.string();
  }
  return "korva";
}

RunResult start_and_wait(const std::string& korva, const std::string& folder, const Environment& environment) {
  RunResult result;
  pid_t pid = 0;
  const int rc = spawn(korva, {}, folder, environment, -1, pid);
  if (rc != 0) {
    result.error = "cannot start " + korva + ": " + std::strerror(rc);
    return result;
  }
  result.started = true;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) {
      result.error = std::string("lost track of korva: ") + std::strerror(errno);
      return result;
    }
  }
  record_status(result, status);
  return result;
}

Outcome judge_run(const RunResult& run, Marker marker, const std::string& install_dir) {
  if (!run.started) return {127, run.error};
  if (!run.error.empty()) return {1, run.error};
  if (run.signal) {
    const char* name = strsignal(run.signal);
    return {128 + run.signal, "korva was ended by signal " + std::to_string(run.signal) +
                                  (name ? std::string(" (") + name + ")" : std::string())};
  }
  if (run.exit_status != 0) {
    // What korva's own statuses mean; its output said which file or mode.
    static const char* const kMeanings[] = {
        nullptr, "the window or the 3D device could not be made", "the project file is damaged",
        "this build does not have that mode", "a brain did not compile",
        "there is no stand-alone game in the folder", "the stand-alone game could not be built",
        "the project could not be saved",
    };
    const bool known = run.exit_status > 0 && run.exit_status < int32_t(std::size(kMeanings));
    std::string meaning = known ? std::string(": ") + kMeanings[run.exit_status] : std::string();
    if (run.exit_status > 128 && run.exit_status < 128 + 65)  // it caught a signal and shut down
      meaning = ": it was interrupted by signal " + std::to_string(run.exit_status - 128);
    return {run.exit_status < 0 ? 1 : run.exit_status,
            "korva ended with exit status " + std::to_string(run.exit_status) + meaning};
  }
  if (marker == Marker::Expected) {
    std::ifstream in(fs::path(install_dir) / kRunMarker, std::ios::binary);
    std::string text;
    std::getline(in, text);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text != "wasok") return {1, "no run marker (temp/wasok.dat): the run did not complete"};
  }
  return {0, ""};
}

bool clear_run_marker(const std::string& install_dir) {
  std::error_code ec;
  const fs::path marker = fs::path(install_dir) / kRunMarker;
  fs::remove(marker, ec);
  return !fs::exists(marker, ec);
}

Launch::~Launch() {
  if (pid_ > 0) {
    kill();
    while (!poll()) usleep(1000);
  }
  if (fd_ >= 0) close(fd_);
}

Status Launch::start(const std::string& korva, const std::string& folder, const Environment& environment,
                     const std::vector<std::string>& args) {
  if (pid_ > 0) return Status::failed("korva is running already");
  output_.clear();
  result_ = {};
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return Status::failed(std::string("cannot make a pipe: ") + std::strerror(errno));
  pid_t pid = 0;
  const int rc = spawn(korva, args, folder, environment, fds[1], pid);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    result_.error = "cannot start " + korva + ": " + std::strerror(rc);
    return Status::failed(result_.error);
  }
  fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
  if (fd_ >= 0) close(fd_);
  fd_ = fds[0];
  pid_ = pid;
  result_.started = true;
  return {};
}

void Launch::read_output() {
  if (fd_ < 0) return;
  char buf[4096];
  for (;;) {
    const ssize_t n = read(fd_, buf, sizeof buf);
    if (n > 0) {
      // A flood of output must not eat the front end's memory: the start and the latest part
      // are kept.
      constexpr size_t kKept = 1 << 20;
      output_.append(buf, static_cast<size_t>(n));
      if (output_.size() > kKept) output_.erase(0, output_.size() - kKept / 2);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) {  // every writer closed it
      close(fd_);
      fd_ = -1;
    }
    return;
  }
}

bool Launch::poll() {
  read_output();
  if (pid_ <= 0) return true;
  int status = 0;
  const pid_t r = waitpid(pid_, &status, WNOHANG);
  if (r == 0) return false;
  if (r < 0 && errno == EINTR) return false;
  if (r < 0) result_.error = std::string("lost track of korva: ") + std::strerror(errno);
  else record_status(result_, status);
  pid_ = -1;
  read_output();
  return true;
}

void Launch::detach() {
  pid_ = -1;
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void Launch::kill() {
  if (pid_ > 0) ::kill(pid_, SIGKILL);
}

}  // namespace korva::frontend
