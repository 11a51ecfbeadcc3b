// The Lua side of the brain step benchmarks, written once against the part of the Lua C API
// that Lua 5.4 and LuaJIT share. Include it after the Lua headers of one of them (the two
// cannot live in one program: they export the same symbols).
#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <type_traits>
#include <utility>

#include "brain_step_workload.h"
#include "core/core.h"

namespace korva::bench {

// A keyword routine as a Lua C function; the System comes as upvalue 1.
template <typename Sig>
struct LuaAdapter;
template <typename R, typename... P>
struct LuaAdapter<R (*)(System&, P...)> {
  template <R (*F)(System&, P...), size_t... I>
  static int call(lua_State* L, std::index_sequence<I...>) {
    System& s = *static_cast<System*>(lua_touserdata(L, lua_upvalueindex(1)));
    if constexpr (std::is_void_v<R>) {
      F(s, static_cast<int32_t>(lua_tointeger(L, I + 1))...);
      return 0;
    } else {
      lua_pushinteger(L, F(s, static_cast<int32_t>(lua_tointeger(L, I + 1))...));
      return 1;
    }
  }
  template <R (*F)(System&, P...)>
  static int function(lua_State* L) {
    return call<F>(L, std::index_sequence_for<P...>{});
  }
};
template <auto F>
constexpr lua_CFunction lua_keyword = &LuaAdapter<decltype(F)>::template function<F>;

// Pushes the keyword table of FFI function pointers (defined by the LuaJIT program only).
void push_ffi_keywords(lua_State* L, System& s);

// The brain function and the 256 element tables of one Lua state.
struct LuaWorld {
  lua_State* L = nullptr;
  int brain = LUA_NOREF;
  int elements = LUA_NOREF;
  std::unique_ptr<Core> core = core_create();
  std::unique_ptr<Machine> machine = machine_create();
  System sys;

  // ffi_keywords (LuaJIT only): the chunk gets its keywords as FFI function pointers instead of
  // C closures, so that the JIT compiles straight through the calls.
  explicit LuaWorld(bool has_floor_division, const char* brain_source = kLuaBrain, bool ffi_keywords = false) {
    sys.core = core.get();
    sys.machine = machine.get();
    machine_attach(sys);
    L = luaL_newstate();
    luaL_openlibs(L);
    std::string src = lua_source(has_floor_division, brain_source);
    if (luaL_loadbuffer(L, src.data(), src.size(), "brain") != 0) {
      std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
      std::abort();
    }
    if (ffi_keywords) {
      push_ffi_keywords(L, sys);
    } else {
      push_keywords();
    }
    if (lua_pcall(L, 1, 1, 0) != 0) {
      std::fprintf(stderr, "%s\n", lua_tostring(L, -1));
      std::abort();
    }
    brain = luaL_ref(L, LUA_REGISTRYINDEX);
    lua_createtable(L, kElements, 0);
    for (int32_t i = 0; i < kElements; ++i) {
      lua_createtable(L, 0, 10);
      for (const char* v : {"n", "a", "b", "c", "t", "s", "i", "j", "acc"}) {
        lua_pushinteger(L, 0);
        lua_setfield(L, -2, v);
      }
      lua_pushinteger(L, element_handle(i));
      lua_setfield(L, -2, "h");
      lua_rawseti(L, -2, i + 1);
    }
    elements = luaL_ref(L, LUA_REGISTRYINDEX);
  }
  ~LuaWorld() { lua_close(L); }

  // The keyword table handed to the chunk, of C closures.
  void push_keywords() {
    lua_createtable(L, 0, 10);
    const auto add = [&](const char* name, lua_CFunction f) {
      lua_pushlightuserdata(L, &sys);
      lua_pushcclosure(L, f, 1);
      lua_setfield(L, -2, name);
    };
    add("sum", lua_keyword<&sum>);
    add("subtract", lua_keyword<&subtract>);
    add("multiply", lua_keyword<&multiply>);
    add("divide", lua_keyword<&divide>);
    add("absolute_value", lua_keyword<&absolute_value>);
    add("limit", lua_keyword<&limit>);
    add("between", lua_keyword<&between>);
    add("score", lua_keyword<&score>);
    add("score_set", lua_keyword<&score_set>);
    add("score_add", lua_keyword<&score_add>);
  }

  // One brain step: every element's brain once, called from the host as the brain step does.
  void step() {
    lua_rawgeti(L, LUA_REGISTRYINDEX, elements);
    for (int32_t i = 1; i <= kElements; ++i) {
      lua_rawgeti(L, LUA_REGISTRYINDEX, brain);
      lua_rawgeti(L, -2, i);
      lua_call(L, 1, 0);
    }
    lua_pop(L, 1);
  }
};

inline void run_lua_steps(benchmark::State& state, LuaWorld& w) {
  for (auto _ : state) w.step();
  state.counters["ns_per_element"] =
      benchmark::Counter(double(state.iterations()) * kElements,
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace korva::bench
