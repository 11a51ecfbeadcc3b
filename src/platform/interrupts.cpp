// SIGINT, SIGTERM and SIGHUP: the first one is kept for the program to end what it does as
// Escape would and shut down cleanly; a second one ends the process at once.
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "platform/platform.h"

namespace korva::platform {
namespace {

// A signal handler can reach nothing but a lock-free global: this is the one place the program
// keeps one.
std::atomic<int> g_caught{0};
static_assert(std::atomic<int>::is_always_lock_free, "signal handlers need a lock-free flag");

extern "C" void on_interrupt(int signo) {
  int none = 0;
  if (!g_caught.compare_exchange_strong(none, signo)) _exit(128 + signo);  // the second one
}

}  // namespace

void interrupts_catch() {
  struct sigaction sa {};
  sa.sa_handler = on_interrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int signo : {SIGINT, SIGTERM, SIGHUP}) sigaction(signo, &sa, nullptr);
}

int32_t interrupt_signal() { return g_caught.load(std::memory_order_relaxed); }

}  // namespace korva::platform
