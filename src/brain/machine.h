// The brain machine: executes the x86 code of compiled brains inside the guest address space.
// It runs the pre-decoded form of the CodeBuffer (built once per compile by machine_predecode),
// turns a call of a keyword entry into a call of the bound C++ routine, and keeps gosub and
// execute return addresses on the guest stack. Anything a brain could do wrong (bytes that
// are no instruction, a memory operand outside the map, a stack overflow, execute nested too
// deeply, an endless loop) ends in a brain fault, never in a host crash or hang.
#pragma once
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "brain/brain.h"
#include "brain/guest_memory.h"
#include "brain/keyword_binding.h"
#include "brain/predecoded.h"
#include "brain/registers.h"
#include "core/system.h"

namespace korva {

// A brain call (one element's brain in one brain step, with everything it executes) may take
// at most this many taken jumps and gosub calls (every loop needs one per round). Straight-line
// code needs none, and a real brain takes a few thousand at most, even one that loops over
// every element; an endless goto loop reaches the limit in a few milliseconds.
constexpr int64_t kBrainBranchBudget = int64_t(1) << 22;
// A loop around slow keywords (file writes, dialogs) takes few jumps but much time: a brain call
// that has run this long is stopped as well. The clock is read at a jump once every
// kTimeCheckJumps jumps, or once kTimeCheckCalls keyword calls have run since the last reading.
constexpr int64_t kBrainTimeLimitNs = 1'000'000'000;
constexpr int64_t kTimeCheckJumps = 256;
constexpr int32_t kTimeCheckCalls = 16;
// execute may nest this deep (a brain executing a brain executing ...). Real brains nest a few
// levels; an execute of itself would otherwise recurse until the guest stack overflows.
constexpr int32_t kMaxExecuteDepth = 64;
// Return addresses the guest stack holds.
constexpr int32_t kStackSlots = static_cast<int32_t>(guest::kStackBytes / 4);
// The return op (Machine::stack_ops) of the slot that hands control back to the host.
constexpr int32_t kHostReturnOp = -1;

// How brains run: translated to host code (where the host allows it) or interpreted. The
// interpreter is the portable path and the reference; KORVA_BRAIN_INTERPRETER=1 makes it the
// default of new machines.
enum class BackEnd : uint8_t { Native, Interpreter };

struct BrainFault {
  FaultKind kind = FaultKind::None;
  uint32_t eip = 0;      // guest address of the faulting instruction
  uint32_t address = 0;  // the memory or target address involved, if any
};

struct NativeCode;  // brain/native.h

struct Machine {
  GuestMemory memory;
  KeywordBindings keywords;
  Program program;
  BackEnd back_end = BackEnd::Native;  // chosen by machine_create; read when predecoding
  std::shared_ptr<NativeCode> native;  // program's host code; null: interpret
  bool peephole = true;  // fuse compare-to-boolean-then-test sequences when predecoding

  Registers regs;  // the registers as the last brain call left them (for tests and tools)
  std::vector<uint8_t> stack = std::vector<uint8_t>(guest::kStackBytes);
  std::vector<int32_t> stack_ops = std::vector<int32_t>(kStackSlots);  // return op per slot

  int32_t execute_depth = 0;
  int64_t branch_budget = kBrainBranchBudget;  // taken jumps and gosubs a brain call may make
  int64_t budget = 0;                          // what is left of it in the current call
  int64_t deadline_ns = 0;  // brain clock time at which the brain call is stopped
  // The time spent waiting for a person (the Core's), which the brain clock leaves out.
  const int64_t* person_waited = nullptr;
  int32_t calls_unchecked = 0;  // keyword calls since the clock was last read
  BrainFault fault;
  int32_t current_handle = 0;  // edi of the brain that runs now
};

// A machine whose back end is native unless KORVA_BRAIN_INTERPRETER=1 is set.
std::unique_ptr<Machine> machine_create();

// True when brains of the current program run as host code.
inline bool machine_runs_native(const Machine& m) { return m.native && m.back_end == BackEnd::Native; }

// Maps the guest regions of the system: the Core's instance pool, the TempArea, LiteralPool
// and CodeBuffer of s.brain, and the machine's own stack. Call once the states are wired.
void machine_attach(System& s);

// Builds the pre-decoded form of the compiled code [0, s.brain->out) from the brain entry of
// every element (instance record word 84) and everything reachable from there, and with the
// native back end its host code. Call after every compile_project_brains.
void machine_predecode(System& s);
// The names of the keywords without a routine that the pre-decoded code calls, in table order.
// Such a call does nothing and answers 0; the run reports the list once, after compiling.
std::vector<std::string> machine_unbound_keywords(const Machine& m);
// The same from explicit entry addresses (tests and tools).
void machine_predecode_from(System& s, const std::vector<uint32_t>& entries);

// Runs element handle's brain once, as the brain step does: edi = handle, a fresh guest stack,
// a fresh budget. Returns false on a brain fault (left in s.machine->fault); the caller decides
// what to stop and report. handle must be a record of the instance pool.
[[nodiscard]] bool machine_call_brain(System& s, int32_t handle);

// The clock reading of a time check: true when the brain call has run past its time limit.
// Clears the count of keyword calls since the last reading.
bool machine_past_deadline(Machine& m);

// The `execute` keyword: runs e's brain at once inside the current brain, with edi = e, and
// returns what it leaves in eax. A handle that is not an instance record does nothing and
// returns 0. A fault inside is kept in s.machine->fault and ends the calling brain too.
int32_t execute(System& s, int32_t e);

// Binds the keywords the machine itself implements (`execute`).
void bind_machine_keywords(KeywordBindings& b);

// "what happened" of a fault, as the brain runtime error message shows it.
std::string fault_text(const BrainFault& f);

// The report of a fault in element index's brain: stops the brain (flags bit 1) and shows
// "'" + element name + "' brain runtime ERROR!|" + what happened.
void report_brain_fault(System& s, int32_t index, const BrainFault& f);

}  // namespace korva
