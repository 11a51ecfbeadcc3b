// The brain step workloads of brain_step.cpp in LuaJIT, with the JIT off (its interpreter) and
// on, calling the same C++ keyword routines as C functions.
#include <benchmark/benchmark.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <luajit.h>
#include <lualib.h>
}

#include "brain_step_lua.h"

namespace korva::bench {
namespace {

void BM_BrainStep_LuaJIT_Interpreter(benchmark::State& state) {
  LuaWorld w(false);
  luaJIT_setmode(w.L, 0, LUAJIT_MODE_ENGINE | LUAJIT_MODE_OFF);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_LuaJIT_Interpreter)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_LuaJIT(benchmark::State& state) {
  LuaWorld w(false);
  luaJIT_setmode(w.L, 0, LUAJIT_MODE_ENGINE | LUAJIT_MODE_ON);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_LuaJIT)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_KeywordHeavy_LuaJIT(benchmark::State& state) {
  LuaWorld w(false, kLuaKeywordBrain);
  luaJIT_setmode(w.L, 0, LUAJIT_MODE_ENGINE | LUAJIT_MODE_ON);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_KeywordHeavy_LuaJIT)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_Branchy_LuaJIT(benchmark::State& state) {
  LuaWorld w(false, kLuaBranchyBrain);
  luaJIT_setmode(w.L, 0, LUAJIT_MODE_ENGINE | LUAJIT_MODE_ON);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_Branchy_LuaJIT)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_LoopHeavy_LuaJIT(benchmark::State& state) {
  LuaWorld w(false, kLuaLoopBrain);
  luaJIT_setmode(w.L, 0, LUAJIT_MODE_ENGINE | LUAJIT_MODE_ON);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_LoopHeavy_LuaJIT)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korva::bench

BENCHMARK_MAIN();
