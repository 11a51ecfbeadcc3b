// A fresh system with a compiler and a machine, for tests that compile brains and run them:
// brains are given as texts and placed as elements 0, 1, ... of an otherwise empty project.
#pragma once
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "brain/brain.h"
#include "brain/brain_runner.h"
#include "brain/machine.h"
#include "core/core.h"
#include "core/system.h"
#include "model/model.h"
#include "model/run_state.h"

namespace korva::test {

struct MachineFixture {
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> model = model_create();
  RunState run;
  std::unique_ptr<BrainState> brain = brain_create();
  std::unique_ptr<Machine> machine = machine_create();
  System sys;
  BrainRunner runner;
  std::vector<std::string> messages;  // every message box text, in order

  MachineFixture() {
    sys.core = core.get();
    sys.model = model.get();
    sys.run = &run;
    sys.brain = brain.get();
    sys.machine = machine.get();
    core->ui.message_box = [this](std::string_view text, std::string_view, std::string_view) {
      messages.emplace_back(text);
      return 1;
    };
    machine_attach(sys);
    bind_machine_keywords(machine->keywords);
  }

  uint8_t* record(int32_t i) { return core->pool(Pool::Instances) + i * kInstanceRecordBytes; }
  int32_t word(int32_t i, int32_t offset) { return ir_get(record(i), offset); }
  void set_word(int32_t i, int32_t offset, int32_t v) { ir_set(record(i), offset, v); }
  // Variable k of element i (the k-th declaration, from 0).
  int32_t var(int32_t i, int32_t k) { return word(i, 1020 - 4 * k); }
  void set_var(int32_t i, int32_t k, int32_t v) { set_word(i, 1020 - 4 * k, v); }

  // Adds an active element named name whose brain is text, compiled at the output position.
  // Returns false when the brain does not compile (the element then runs an empty brain).
  bool add_brain(std::string_view name, std::string_view text) {
    int32_t i = ++model->last_index;
    str_set(element_record(*core, i), std::string(name) + "|||x.brn");
    uint32_t start = brain->out;
    bool ok = compile_brain_text(*core, *brain, text, Pass::Normal);
    if (!ok) {
      brain->code[start] = 0xC3;
      brain->out = start + 1;
    }
    set_word(i, ir::kBrainEntry, static_cast<int32_t>(code_address(start)));
    set_word(i, ir::kFlags, ir::kFlagActive);
    return ok;
  }
  // Adds an element that runs the brain of element owner.
  void add_sharing(std::string_view name, int32_t owner) {
    int32_t i = ++model->last_index;
    str_set(element_record(*core, i), std::string(name) + "|||x.brn");
    set_word(i, ir::kBrainEntry, word(owner, ir::kBrainEntry));
    set_word(i, ir::kFlags, ir::kFlagActive);
  }
  // Adds an element whose brain is raw code bytes.
  void add_code(std::string_view name, const std::vector<uint8_t>& bytes) {
    int32_t i = ++model->last_index;
    str_set(element_record(*core, i), std::string(name) + "|||x.brn");
    std::memcpy(brain->code.data() + brain->out, bytes.data(), bytes.size());
    set_word(i, ir::kBrainEntry, static_cast<int32_t>(code_address(brain->out)));
    set_word(i, ir::kFlags, ir::kFlagActive);
    brain->out += static_cast<uint32_t>(bytes.size());
  }

  void predecode() { machine_predecode(sys); }
  void step(int32_t n = 1) {
    for (int32_t k = 0; k < n; ++k) brain_step(sys, runner);
  }
};

}  // namespace korva::test
