// The demo project as a user runs it: korva headless on the software device (llvmpipe) in a
// fresh installation from korva-mkdata, each measurement a whole process.
//   DemoFirstFrame  time from starting korva to its exit after one loop frame
//   DemoFrames      frames per second of the running demo: (200 - 20) frames divided by the
//                   difference between a 200-frame and a 20-frame run, so start-up cancels out
//   DemoMemory      resident and anonymous memory, the largest seen while 120 frames run;
//                   anon_own leaves out the anonymous memory of LLVM and the Mesa driver
// Arguments: the display mode bit (1 = 640 x 480, 16 = 1024 x 768, both 16-bit).
// KORVA_BENCH_BIN=DIR runs the korva and korva-mkdata found in DIR instead of this build's.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/settings.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string bin_dir() {
  const char* over = std::getenv("KORVA_BENCH_BIN");
  return over && *over ? over : KORVA_BINARY_DIR;
}

// One installation per display mode, made on first use and removed at exit.
struct Installations {
  std::map<int32_t, fs::path> dirs;
  ~Installations() {
    for (auto& [mode, dir] : dirs) fs::remove_all(dir);
  }
  const fs::path* get(int32_t mode) {
    if (auto it = dirs.find(mode); it != dirs.end()) return &it->second;
    const fs::path dir = fs::temp_directory_path() / ("korva-bench-demo-" + std::to_string(mode) + "-" +
                                                      std::to_string(getpid()));
    fs::remove_all(dir);
    const std::string mk = "'" + bin_dir() + "/korva-mkdata' --quiet '" + dir.string() + "' > /dev/null";
    if (std::system(mk.c_str()) != 0) return nullptr;
    korva::Settings settings;
    settings.display_mode = mode;
    if (!korva::settings_write_file(settings, (dir / "config.ini").string())) return nullptr;
    std::ofstream((dir / "runmode.ini").string(), std::ios::binary)
        << "projects/demo/demo.prj\r\n1\r\n0\r\n0\r\n0\r\n";
    return &(dirs[mode] = dir);
  }
};

Installations installations;

struct Run {
  bool ok = false;
  double seconds = 0;
  int64_t peak_rss_kib = 0;   // the kernel's high-water mark (ru_maxrss)
  int64_t rss_kib = 0;        // the largest VmRSS sampled
  int64_t anon_kib = 0;       // the largest RssAnon sampled
  int64_t own_anon_kib = 0;   // the same less the software renderer's libraries
};

// Anonymous memory of the software renderer's own libraries (LLVM and the Mesa driver: their
// relocated data), which the program cannot change.
int64_t renderer_anon_kib(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps");
  std::string line;
  bool renderer = false;
  int64_t kib = 0;
  while (std::getline(in, line)) {
    if (!line.empty() && std::isxdigit(static_cast<unsigned char>(line[0])) && line.find('-') < 17) {
      renderer = line.find("libLLVM") != std::string::npos || line.find("_dri.so") != std::string::npos;
    } else if (renderer && line.rfind("Anonymous:", 0) == 0) {
      kib += std::atoll(line.c_str() + 10);
    }
  }
  return kib;
}

int64_t status_kib(const std::string& status, const std::string& key) {
  const size_t at = status.find(key + ":");
  return at == std::string::npos ? 0 : std::atoll(status.c_str() + at + key.size() + 1);
}

// Runs korva in dir for frames loop frames; samples its memory every millisecond when asked.
Run run_korva(const fs::path& dir, int32_t frames, bool sample) {
  Run r;
  const std::string korva = bin_dir() + "/korva";
  const std::string max_frames = "KORVA_MAX_FRAMES=" + std::to_string(frames);
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid < 0) return r;
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(127);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("KORVA_HEADLESS", "1", 1);
    setenv("KORVA_FAST", "1", 1);
    putenv(const_cast<char*>(max_frames.c_str()));
    execl(korva.c_str(), korva.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  const std::string status_path = "/proc/" + std::to_string(pid) + "/status";
  int wstatus = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = wait4(pid, &wstatus, sample ? WNOHANG : 0, &usage);
    if (done == pid || done < 0) break;
    std::ifstream in(status_path);
    std::stringstream text;
    text << in.rdbuf();
    r.rss_kib = std::max(r.rss_kib, status_kib(text.str(), "VmRSS"));
    const int64_t anon = status_kib(text.str(), "RssAnon");
    if (anon > r.anon_kib) {
      r.anon_kib = anon;
      r.own_anon_kib = anon - renderer_anon_kib(pid);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  r.peak_rss_kib = usage.ru_maxrss;
  r.ok = WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0;
  return r;
}

void DemoFirstFrame(benchmark::State& state) {
  const fs::path* dir = installations.get(int32_t(state.range(0)));
  if (!dir) return state.SkipWithError("no installation");
  for (auto _ : state) {
    const Run r = run_korva(*dir, 1, false);
    if (!r.ok) return state.SkipWithError("korva failed");
    state.SetIterationTime(r.seconds);
  }
}

void DemoFrames(benchmark::State& state) {
  const fs::path* dir = installations.get(int32_t(state.range(0)));
  if (!dir) return state.SkipWithError("no installation");
  double frame_seconds = 0;
  for (auto _ : state) {
    const Run few = run_korva(*dir, 20, false);
    const Run many = run_korva(*dir, 200, false);
    if (!few.ok || !many.ok) return state.SkipWithError("korva failed");
    const double per_frame = std::max(many.seconds - few.seconds, 1e-6) / 180.0;
    frame_seconds += per_frame;
    state.SetIterationTime(per_frame);
  }
  state.counters["fps"] = double(state.iterations()) / frame_seconds;
}

void DemoMemory(benchmark::State& state) {
  const fs::path* dir = installations.get(int32_t(state.range(0)));
  if (!dir) return state.SkipWithError("no installation");
  Run most;
  for (auto _ : state) {
    const Run r = run_korva(*dir, 120, true);
    if (!r.ok) return state.SkipWithError("korva failed");
    state.SetIterationTime(r.seconds);
    most.peak_rss_kib = std::max(most.peak_rss_kib, r.peak_rss_kib);
    most.rss_kib = std::max(most.rss_kib, r.rss_kib);
    most.anon_kib = std::max(most.anon_kib, r.anon_kib);
    most.own_anon_kib = std::max(most.own_anon_kib, r.own_anon_kib);
  }
  state.counters["peak_rss_MiB"] = double(most.peak_rss_kib) / 1024.0;
  state.counters["rss_MiB"] = double(most.rss_kib) / 1024.0;
  state.counters["anon_MiB"] = double(most.anon_kib) / 1024.0;
  state.counters["anon_own_MiB"] = double(most.own_anon_kib) / 1024.0;
}

BENCHMARK(DemoFirstFrame)->Arg(1)->Arg(16)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(DemoFrames)->Arg(1)->Arg(16)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(DemoMemory)->Arg(1)->Arg(16)->Iterations(2)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
