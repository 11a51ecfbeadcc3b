// Brain step speed: nanoseconds per brain step of 256 elements running one typical brain
// (arithmetic, ifs, a gosub and 20 keyword calls per run) on the brain machine, as host code
// (Korva, what a run uses) and interpreted (Korva_Interpreter), beside the same workload in
// Lua 5.4 calling the same C++ keyword routines as C functions; then the same for a
// keyword-heavy (KeywordHeavy_*), a branchy (Branchy_*) and a loop-heavy brain (LoopHeavy_*). LuaJIT is in brain_step_luajit.cpp; scripts/bench-brain-step.sh prints
// the typical workload side by side.
#include <benchmark/benchmark.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

#include "brain/brain.h"
#include "brain/brain_runner.h"
#include "brain/machine.h"
#include "brain_step_lua.h"
#include "model/model.h"
#include "model/run_state.h"

namespace korva::bench {
namespace {

struct KorvaWorld {
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Model> model = model_create();
  RunState run;
  std::unique_ptr<BrainState> brain = brain_create();
  std::unique_ptr<Machine> machine = machine_create();
  System sys{core.get(), model.get(), &run, brain.get(), machine.get()};
  BrainRunner runner;

  explicit KorvaWorld(BackEnd back_end, const char* text = kKorvaBrain) {
    machine->back_end = back_end;
    if (!compile_brain_text(*core, *brain, text, Pass::Normal)) {
      std::fprintf(stderr, "%s\n", brain->compile_error.c_str());
      std::abort();
    }
    // Every element shares the one compiled brain, as identical brain files do.
    for (int32_t i = 0; i < kElements; ++i) {
      uint8_t* rec = core->pool(Pool::Instances) + i * kInstanceRecordBytes;
      ir_set(rec, ir::kBrainEntry, static_cast<int32_t>(code_address(0)));
      ir_set(rec, ir::kFlags, ir::kFlagActive);
    }
    model->last_index = kElements - 1;
    machine_attach(sys);
    KeywordBindings& k = machine->keywords;
    bool ok = bind_keyword(k, "sum", keyword_routine<&sum>) &&
              bind_keyword(k, "subtract", keyword_routine<&subtract>) &&
              bind_keyword(k, "multiply", keyword_routine<&multiply>) &&
              bind_keyword(k, "divide", keyword_routine<&divide>) &&
              bind_keyword(k, "absolute_value", keyword_routine<&absolute_value>) &&
              bind_keyword(k, "limit", keyword_routine<&limit>) &&
              bind_keyword(k, "between", keyword_routine<&between>) &&
              bind_keyword(k, "score", keyword_routine<&score>) &&
              bind_keyword(k, "score_set", keyword_routine<&score_set>) &&
              bind_keyword(k, "score_add", keyword_routine<&score_add>);
    if (!ok) std::abort();
    machine_predecode(sys);
    if (back_end == BackEnd::Native && !machine_runs_native(*machine)) {
      std::fprintf(stderr, "no native code on this host\n");
      std::abort();
    }
  }
};

void run_korva_steps(benchmark::State& state, KorvaWorld& w) {
  for (auto _ : state) brain_step(w.sys, w.runner);
  state.counters["ns_per_element"] =
      benchmark::Counter(double(state.iterations()) * kElements,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  // A fault would have stopped brains and made the step cheap: make sure none happened.
  if (ir_get(w.core->pool(Pool::Instances), ir::kFlags) != ir::kFlagActive)
    state.SkipWithError("brain fault");
}

void BM_BrainStep_Korva(benchmark::State& state) {
  KorvaWorld w(BackEnd::Native);
  run_korva_steps(state, w);
}
BENCHMARK(BM_BrainStep_Korva)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_Korva_Interpreter(benchmark::State& state) {
  KorvaWorld w(BackEnd::Interpreter);
  run_korva_steps(state, w);
}
BENCHMARK(BM_BrainStep_Korva_Interpreter)->Unit(benchmark::kMicrosecond);

}  // namespace

// Lua 5.4 has no FFI: no Lua 5.4 world asks for it.
void push_ffi_keywords(lua_State*, System&) { std::abort(); }

namespace {

void BM_BrainStep_Lua54(benchmark::State& state) {
  LuaWorld w(true);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_Lua54)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_KeywordHeavy_Korva(benchmark::State& state) {
  KorvaWorld w(BackEnd::Native, kKorvaKeywordBrain);
  run_korva_steps(state, w);
}
BENCHMARK(BM_BrainStep_KeywordHeavy_Korva)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_KeywordHeavy_Korva_Interpreter(benchmark::State& state) {
  KorvaWorld w(BackEnd::Interpreter, kKorvaKeywordBrain);
  run_korva_steps(state, w);
}
BENCHMARK(BM_BrainStep_KeywordHeavy_Korva_Interpreter)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_KeywordHeavy_Lua54(benchmark::State& state) {
  LuaWorld w(true, kLuaKeywordBrain);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_KeywordHeavy_Lua54)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_Branchy_Korva(benchmark::State& state) {
  KorvaWorld w(BackEnd::Native, kKorvaBranchyBrain);
  run_korva_steps(state, w);
}
BENCHMARK(BM_BrainStep_Branchy_Korva)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_Branchy_Korva_Interpreter(benchmark::State& state) {
  KorvaWorld w(BackEnd::Interpreter, kKorvaBranchyBrain);
  run_korva_steps(state, w);
}
BENCHMARK(BM_BrainStep_Branchy_Korva_Interpreter)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_Branchy_Lua54(benchmark::State& state) {
  LuaWorld w(true, kLuaBranchyBrain);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_Branchy_Lua54)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_LoopHeavy_Korva(benchmark::State& state) {
  KorvaWorld w(BackEnd::Native, kKorvaLoopBrain);
  run_korva_steps(state, w);
}
BENCHMARK(BM_BrainStep_LoopHeavy_Korva)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_LoopHeavy_Korva_Interpreter(benchmark::State& state) {
  KorvaWorld w(BackEnd::Interpreter, kKorvaLoopBrain);
  run_korva_steps(state, w);
}
BENCHMARK(BM_BrainStep_LoopHeavy_Korva_Interpreter)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_LoopHeavy_Lua54(benchmark::State& state) {
  LuaWorld w(true, kLuaLoopBrain);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_LoopHeavy_Lua54)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korva::bench

BENCHMARK_MAIN();
