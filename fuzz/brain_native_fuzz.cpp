// Fuzz target of the native brain back end: the input is a brain text (compiled as the engine
// compiles it) or, when the first byte is odd, raw code bytes for the CodeBuffer. Element 0 runs
// it interpreted and as host code from the same state; any difference in the result, the fault,
// the registers, the budget, the instance records, the temporaries or the guest stack aborts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

#include "brain/brain.h"
#include "brain/machine.h"
#include "core/core.h"
#include "core/system.h"
#include "model/model.h"

namespace {

int32_t sum(korva::System&, int32_t a, int32_t b) { return static_cast<int32_t>(uint32_t(a) + uint32_t(b)); }
uint32_t sequence = 0;
int32_t random_value(korva::System&, int32_t lo, int32_t hi) {
  sequence = sequence * 1103515245u + 12345u;
  return static_cast<int32_t>(uint32_t(lo) + (sequence >> 16) % 5 + uint32_t(hi & 1));
}

struct Snapshot {
  bool ok = false;
  korva::BrainFault fault;
  korva::Registers regs;
  int64_t budget = 0;
  uint32_t sequence = 0;
  std::vector<uint8_t> records, temp, stack;
};

struct FuzzSystem {
  std::unique_ptr<korva::Core> core = korva::core_create();
  std::unique_ptr<korva::Model> model = korva::model_create();
  std::unique_ptr<korva::BrainState> brain = korva::brain_create();
  std::unique_ptr<korva::Machine> machine = korva::machine_create();
  korva::System sys;

  FuzzSystem() {
    core->ui.message_box = [](std::string_view, std::string_view, std::string_view) { return 1; };
    korva::str_set(*core->base_folder, "/base/");
    sys.core = core.get();
    sys.model = model.get();
    sys.brain = brain.get();
    sys.machine = machine.get();
    machine->back_end = korva::BackEnd::Native;
    // A small budget: an endless loop still ends by it, in far less time than a run's budget.
    machine->branch_budget = 4096;
    korva::machine_attach(sys);
    korva::bind_machine_keywords(machine->keywords);
    if (!korva::bind_keyword(machine->keywords, "sum", korva::keyword_routine<&sum>) ||
        !korva::bind_keyword(machine->keywords, "random", korva::keyword_routine<&random_value>))
      std::abort();
  }

  // The first records (the brain's own and those execute reaches), temporaries and stack.
  void save(Snapshot& s) const {
    const uint8_t* pool = core->pool(korva::Pool::Instances);
    s.records.assign(pool, pool + 4 * korva::kInstanceRecordBytes);
    s.temp = brain->temp_area;
    s.stack = machine->stack;
    s.sequence = sequence;
  }
  void restore(const Snapshot& s) {
    std::memcpy(core->pool(korva::Pool::Instances), s.records.data(), s.records.size());
    brain->temp_area = s.temp;
    machine->stack = s.stack;
    sequence = s.sequence;
  }
  Snapshot run(korva::BackEnd back_end) {
    machine->back_end = back_end;
    Snapshot s;
    s.ok = korva::machine_call_brain(sys, korva::element_handle(0));
    s.fault = machine->fault;
    s.regs = machine->regs;
    s.budget = machine->budget;
    save(s);
    return s;
  }
};

// The one-second clock limit depends on the machine's load (and a sanitized interpreter is
// slow): a run it stopped is not compared.
bool same(const Snapshot& a, const Snapshot& b) {
  if (a.fault.kind == korva::FaultKind::TimeLimit || b.fault.kind == korva::FaultKind::TimeLimit) return true;
  return a.ok == b.ok && a.fault.kind == b.fault.kind && a.fault.eip == b.fault.eip &&
         a.fault.address == b.fault.address && std::memcmp(a.regs.r, b.regs.r, sizeof a.regs.r) == 0 &&
         a.regs.esp == b.regs.esp && a.regs.eip == b.regs.eip && a.budget == b.budget && a.sequence == b.sequence &&
         a.records == b.records && a.temp == b.temp && a.stack == b.stack;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static FuzzSystem sys;  // one system for the whole run: the harness's own state
  if (size < 2 || size > 8192) return 0;
  korva::BrainState& b = *sys.brain;
  uint8_t* rec = sys.core->pool(korva::Pool::Instances);
  std::memset(rec, 0, 4 * korva::kInstanceRecordBytes);
  b.out = 0;
  uint32_t entry = 0;
  if (data[0] & 1) {
    // Raw code, entered at one of its first bytes.
    std::memset(b.code.data(), 0, size);
    std::memcpy(b.code.data(), data + 1, size - 1);
    b.out = static_cast<uint32_t>(size - 1);
    entry = (data[0] >> 1) % b.out;
  } else {
    b.literal_pos = 0;
    std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
    if (!korva::compile_brain_text(*sys.core, b, text, korva::Pass::Normal)) return 0;
  }
  for (int32_t i = 0; i < 2; ++i) {
    uint8_t* r = rec + i * korva::kInstanceRecordBytes;
    korva::ir_set(r, korva::ir::kBrainEntry, static_cast<int32_t>(korva::code_address(entry)));
    for (int32_t k = 0; k < 8; ++k) korva::ir_set(r, 1020 - 4 * k, 3 * k - 7);
  }
  korva::machine_predecode_from(sys.sys, {korva::code_address(entry)});
  if (!korva::machine_runs_native(*sys.machine)) std::abort();
  Snapshot before;
  sys.save(before);
  const Snapshot interpreted = sys.run(korva::BackEnd::Interpreter);
  sys.restore(before);
  const Snapshot native = sys.run(korva::BackEnd::Native);
  if (!same(interpreted, native)) std::abort();
  return 0;
}
