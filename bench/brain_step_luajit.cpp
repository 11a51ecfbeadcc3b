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

// The keywords as plain C functions with the System in a global, for LuaJIT's FFI.
namespace {
System* ffi_system = nullptr;
template <auto F, typename... P>
auto ffi_call(P... p) {
  return F(*ffi_system, p...);
}
}  // namespace

void push_ffi_keywords(lua_State* L, System& s) {
  ffi_system = &s;
  using I = int32_t;
  struct Entry {
    const char* name;
    const char* type;
    void* f;
  };
  const Entry entries[] = {
      {"sum", "int32_t(*)(int32_t,int32_t)", reinterpret_cast<void*>(&ffi_call<&sum, I, I>)},
      {"subtract", "int32_t(*)(int32_t,int32_t)", reinterpret_cast<void*>(&ffi_call<&subtract, I, I>)},
      {"multiply", "int32_t(*)(int32_t,int32_t)", reinterpret_cast<void*>(&ffi_call<&multiply, I, I>)},
      {"divide", "int32_t(*)(int32_t,int32_t)", reinterpret_cast<void*>(&ffi_call<&divide, I, I>)},
      {"absolute_value", "int32_t(*)(int32_t)", reinterpret_cast<void*>(&ffi_call<&absolute_value, I>)},
      {"limit", "int32_t(*)(int32_t,int32_t,int32_t)", reinterpret_cast<void*>(&ffi_call<&limit, I, I, I>)},
      {"between", "int32_t(*)(int32_t,int32_t,int32_t)", reinterpret_cast<void*>(&ffi_call<&between, I, I, I>)},
      {"score", "int32_t(*)(int32_t)", reinterpret_cast<void*>(&ffi_call<&score, I>)},
      {"score_set", "void(*)(int32_t,int32_t)", reinterpret_cast<void*>(&ffi_call<&score_set, I, I>)},
      {"score_add", "void(*)(int32_t,int32_t)", reinterpret_cast<void*>(&ffi_call<&score_add, I, I>)},
  };
  // ffi.cast turns each address (a light userdata) into a callable C function pointer.
  static const char kMake[] =
      "local ffi = require('ffi')\n"
      "local types, pointers = ...\n"
      "local k = {}\n"
      "for name, t in pairs(types) do k[name] = ffi.cast(t, pointers[name]) end\n"
      "return k\n";
  if (luaL_loadbuffer(L, kMake, sizeof kMake - 1, "ffi keywords") != 0) std::abort();
  lua_createtable(L, 0, 10);
  lua_createtable(L, 0, 10);
  for (const Entry& e : entries) {
    lua_pushstring(L, e.type);
    lua_setfield(L, -3, e.name);
    lua_pushlightuserdata(L, e.f);
    lua_setfield(L, -2, e.name);
  }
  if (lua_pcall(L, 2, 1, 0) != 0) {
    std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
    std::abort();
  }
}

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

// The same four workloads with the keywords called through the FFI.
void BM_BrainStep_LuaJIT_FFI(benchmark::State& state) {
  LuaWorld w(false, kLuaBrain, true);
  luaJIT_setmode(w.L, 0, LUAJIT_MODE_ENGINE | LUAJIT_MODE_ON);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_LuaJIT_FFI)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_KeywordHeavy_LuaJIT_FFI(benchmark::State& state) {
  LuaWorld w(false, kLuaKeywordBrain, true);
  luaJIT_setmode(w.L, 0, LUAJIT_MODE_ENGINE | LUAJIT_MODE_ON);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_KeywordHeavy_LuaJIT_FFI)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_Branchy_LuaJIT_FFI(benchmark::State& state) {
  LuaWorld w(false, kLuaBranchyBrain, true);
  luaJIT_setmode(w.L, 0, LUAJIT_MODE_ENGINE | LUAJIT_MODE_ON);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_Branchy_LuaJIT_FFI)->Unit(benchmark::kMicrosecond);

void BM_BrainStep_LoopHeavy_LuaJIT_FFI(benchmark::State& state) {
  LuaWorld w(false, kLuaLoopBrain, true);
  luaJIT_setmode(w.L, 0, LUAJIT_MODE_ENGINE | LUAJIT_MODE_ON);
  run_lua_steps(state, w);
}
BENCHMARK(BM_BrainStep_LoopHeavy_LuaJIT_FFI)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace korva::bench

BENCHMARK_MAIN();
