// Brain compile speed: 256 distinct brains of about 200 lines each, in lines per second, beside
// the Lua 5.4 compiler (luaL_loadbuffer) on the same number of lines of equivalent Lua.
//
// 256 brains of 200 dense lines (about 20 bytes of code a line) need some 1 MB of code, twice
// the CodeBuffer. So the whole-project benchmark gives two of every three lines of its brains to a
// comment, as documented brains have; the compiler-only benchmarks use the dense brains and
// start each brain at the beginning of the CodeBuffer.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "brain/brain.h"
#include "core/core.h"
#include "model/model.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

namespace {

constexpr int kBrains = 256;
constexpr int kBlocks = 15;  // 9 declaration lines + 15 blocks of 13 lines = 204 lines

int count_lines(const std::string& s) {
  int n = 0;
  for (char ch : s) n += ch == '\n';
  return n;
}

std::string korva_brain(int brain, bool commented) {
  std::string s =
      "var a=0\r\nvar b=0\r\nvar c=0\r\nvar d=0\r\nvar e=0\r\nvar f=0\r\nvar g=0\r\nvar h=0\r\n"
      "userint speed=5\r\n";
  for (int i = 0; i < kBlocks; ++i) {
    std::string k = std::to_string(brain * 100 + i);
    std::string n = std::to_string(i);
    s += "a=b+c*" + k + "\r\n";
    s += "if a>" + k + " and b<c\r\n";
    s += "b=abs(a-" + k + ")\r\n";
    s += "else\r\n";
    s += "c=[a+b]*2-" + std::to_string(i % 7) + "\r\n";
    s += "endif\r\n";
    s += "d=between(a,b," + k + ")\r\n";
    s += "e=element#1\r\n";
    s += "f=position_x(element)+" + n + ".5mt\r\n";
    s += "loop" + n + ":\r\n";
    s += "g=g+1\r\n";
    s += "if g<" + std::to_string(i % 5) + "\r\n";
    s += "goto loop" + n + "\r\n";
    s += "endif\r\n";
  }
  if (!commented) return s;
  // Every statement followed by two comment lines, in a third of the blocks: about 200 lines.
  std::string r;
  int n = 0;
  for (size_t i = 0; i < s.size();) {
    size_t e = s.find('\n', i) + 1;
    if (++n <= 9 || n <= 9 + 13 * (kBlocks / 3)) {
      r += s.substr(i, e - i);
      if (n > 9) r += "; the element waits for its turn here\r\n;\r\n";
    }
    i = e;
  }
  return r;
}

std::string lua_chunk(int brain) {
  std::string s =
      "local a=0\nlocal b=0\nlocal c=0\nlocal d=0\nlocal e=0\nlocal f=0\nlocal g=0\nlocal h=0\n"
      "local speed=5\n";
  for (int i = 0; i < kBlocks; ++i) {
    std::string k = std::to_string(brain * 100 + i);
    std::string n = std::to_string(i);
    s += "a=b+c*" + k + "\n";
    s += "if a>" + k + " and b<c then\n";
    s += "b=abs(a-" + k + ")\n";
    s += "else\n";
    s += "c=(a+b)*2-" + std::to_string(i % 7) + "\n";
    s += "end\n";
    s += "d=between(a,b," + k + ")\n";
    s += "e=element+1024\n";
    s += "f=position_x(element)+" + n + ".5*512000\n";
    s += "::loop" + n + "::\n";
    s += "g=g+1\n";
    s += "if g<" + std::to_string(i % 5) + " then\n";
    s += "goto loop" + n + "\n";
    s += "end\n";
  }
  return s;
}

struct Project {
  std::unique_ptr<korva::Core> c = korva::core_create();
  std::unique_ptr<korva::Model> m = korva::model_create();
  std::unique_ptr<korva::BrainState> b = korva::brain_create();
  std::vector<std::string> texts;
  std::filesystem::path dir;
  int lines = 0;

  explicit Project(bool commented) {
    dir = std::filesystem::temp_directory_path() / ("korva_bench_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    for (int i = 0; i < kBrains; ++i) {
      texts.push_back(korva_brain(i, commented));
      lines += count_lines(texts.back());
      std::string path = (dir / ("b" + std::to_string(i) + ".brn")).string();
      FILE* f = std::fopen(path.c_str(), "wb");
      std::fwrite(texts.back().data(), 1, texts.back().size(), f);
      std::fclose(f);
      korva::str_set(korva::element_record(*c, i), "e" + std::to_string(i) + "|||" + path);
    }
    m->last_index = kBrains - 1;
  }
  ~Project() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

// The whole project as the engine compiles it: reading the files, sharing, compiling.
void BM_KorvaCompileProject(benchmark::State& state) {
  Project p(true);
  for (auto _ : state) {
    korva::literal_pool_reset(*p.b);
    korva::compile_project_brains(*p.c, *p.m, *p.b, korva::Pass::Normal);
    if (p.b->brain_error) state.SkipWithError(p.b->compile_error.c_str());
  }
  state.counters["lines"] = p.lines;
  state.counters["lines/s"] = benchmark::Counter(double(p.lines) * double(state.iterations()),
                                                 benchmark::Counter::kIsRate);
  state.counters["code_bytes"] = p.b->out;
}

// The compiler alone, on brain texts in memory.
void BM_KorvaCompileTexts(benchmark::State& state) {
  Project p(false);
  for (auto _ : state) {
    korva::literal_pool_reset(*p.b);
    for (const std::string& t : p.texts) {
      p.b->out = 0;
      if (!korva::compile_brain_text(*p.c, *p.b, t, korva::Pass::Normal))
        state.SkipWithError(p.b->compile_error.c_str());
    }
  }
  state.counters["lines"] = p.lines;
  state.counters["lines/s"] = benchmark::Counter(double(p.lines) * double(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

// Lua 5.4's compiler on the same number of lines of equivalent Lua.
void BM_LuaLoadBuffer(benchmark::State& state) {
  std::vector<std::string> chunks;
  int lines = 0;
  for (int i = 0; i < kBrains; ++i) {
    chunks.push_back(lua_chunk(i));
    lines += count_lines(chunks.back());
  }
  lua_State* L = luaL_newstate();
  for (auto _ : state) {
    for (const std::string& ch : chunks) {
      if (luaL_loadbuffer(L, ch.data(), ch.size(), "brain") != LUA_OK)
        state.SkipWithError(lua_tostring(L, -1));
      lua_pop(L, 1);
    }
    lua_gc(L, LUA_GCCOLLECT, 0);
  }
  lua_close(L);
  state.counters["lines"] = lines;
  state.counters["lines/s"] = benchmark::Counter(double(lines) * double(state.iterations()),
                                                 benchmark::Counter::kIsRate);
}

BENCHMARK(BM_KorvaCompileProject)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KorvaCompileTexts)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LuaLoadBuffer)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
