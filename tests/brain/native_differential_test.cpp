// The native back end against the interpreter: generated brains (expressions with every
// operator, comparisons, if/else, counted and endless loops, gosubs and deep recursion, keyword
// calls, execute, division by zero) and raw hostile code run on both paths from the same state
// and must leave the same variables, registers, budget, fault, records, temporaries and stack.
// KORVA_DIFF_BRAINS=N runs N generated brains instead of the default few thousand.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "brain/native.h"
#include "machine_fixture.h"

namespace korva {
namespace {

using test::MachineFixture;

// ---- Keyword routines of the generated brains (value keywords and two with side effects) ----
int32_t wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }
int32_t sum(System&, int32_t a, int32_t b) { return wrap(int64_t(a) + b); }
int32_t subtract(System&, int32_t a, int32_t b) { return wrap(int64_t(a) - b); }
int32_t multiply(System&, int32_t a, int32_t b) { return wrap(int64_t(a) * b); }
int32_t divide(System&, int32_t a, int32_t b) { return b == 0 || (a == INT_MIN && b == -1) ? INT_MAX : a / b; }
int32_t absolute_value(System&, int32_t v) { return v < 0 ? wrap(-int64_t(v)) : v; }
int32_t limit(System&, int32_t v, int32_t lo, int32_t hi) { return v < lo ? lo : (v >= hi ? hi : v); }
int32_t between(System&, int32_t v, int32_t lo, int32_t hi) { return lo <= v && v <= hi ? -1 : 0; }
int32_t score(System& s, int32_t e) {
  uint8_t* r = guest_instance_record(s.machine->memory, e);
  return r ? ir_get(r, ir::kScore) : 0;
}
void score_add(System& s, int32_t e, int32_t v) {
  if (uint8_t* r = guest_instance_record(s.machine->memory, e)) ir_set(r, ir::kScore, wrap(int64_t(ir_get(r, ir::kScore)) + v));
}
// A sequence that depends on how often and in which order it is called.
uint32_t random_state = 1;
int32_t random(System&, int32_t lo, int32_t hi) {
  random_state = random_state * 1103515245u + 12345u;
  return wrap(int64_t(lo) + (random_state >> 16) % 7 + (hi & 3));
}
// A keyword routine that clobbers every register but eax and edi's slot, as C++ code may.
void thrust(System&, Registers& r) {
  for (int32_t k = 1; k < kEdi; ++k) r.r[k] = 0x5A5A0000 + k;
  r.r[kEdi] = 12345;  // the machine puts edi back
}

void bind_test_keywords(KeywordBindings& k) {
  bool ok = bind_keyword(k, "sum", keyword_routine<&sum>) && bind_keyword(k, "subtract", keyword_routine<&subtract>) &&
            bind_keyword(k, "multiply", keyword_routine<&multiply>) && bind_keyword(k, "divide", keyword_routine<&divide>) &&
            bind_keyword(k, "absolute_value", keyword_routine<&absolute_value>) &&
            bind_keyword(k, "limit", keyword_routine<&limit>) && bind_keyword(k, "between", keyword_routine<&between>) &&
            bind_keyword(k, "score", keyword_routine<&score>) && bind_keyword(k, "score_add", keyword_routine<&score_add>) &&
            bind_keyword(k, "random", keyword_routine<&random>) && bind_keyword(k, "thrust", &thrust);
  ASSERT_TRUE(ok);
}

struct Rng {
  uint64_t s;
  uint32_t next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(s >> 33);
  }
  int32_t pick(int32_t n) { return static_cast<int32_t>(next() % uint32_t(n)); }
  bool chance(int32_t percent) { return pick(100) < percent; }
};

// ---- Generated brains ----
constexpr int32_t kVars = 8;
constexpr int32_t kCounters = 4;  // loop counters c0..c3, declared after v0..v7, then d

struct BrainGen {
  Rng& r;
  bool may_execute;
  std::string out;
  int32_t labels = 0;
  int32_t subs = 0;
  int32_t loop_depth = 0;

  std::string var() { return "v" + std::to_string(r.pick(kVars)); }
  // Parts in order: a braced list is evaluated from left to right, unlike the operands of +,
  // so that a seed gives the same brains whatever the compiler.
  static std::string join(std::initializer_list<std::string> parts) {
    std::string text;
    for (const std::string& p : parts) text += p;
    return text;
  }
  std::string number() {
    static const char* kNumbers[] = {"0", "1", "2", "3", "7", "10", "100", "65536", "2147483647", "-1",
                                     "-5", "0x7fff", "0xffffffff", "-2147483647", "1000000"};
    return kNumbers[r.pick(int32_t(std::size(kNumbers)))];
  }
  std::string call(int32_t depth) {
    switch (r.pick(10)) {
      case 0: return join({"sum(", expr(depth), ",", expr(depth), ")"});
      case 1: return join({"subtract(", expr(depth), ",", expr(depth), ")"});
      case 2: return join({"multiply(", expr(depth), ",", expr(depth), ")"});
      case 3: return join({"divide(", expr(depth), ",", expr(depth), ")"});
      case 4: return join({"absolute_value(", expr(depth), ")"});
      case 5: return join({"limit(", expr(depth), ",", expr(depth), ",", expr(depth), ")"});
      case 6: return join({"between(", expr(depth), ",", expr(depth), ",", expr(depth), ")"});
      case 7: return "score(element)";
      case 8: return join({"random(", expr(depth), ",", expr(depth), ")"});
      default: return may_execute && r.chance(30) ? "execute(element#1)" : join({"sum(", var(), ",1)"});
    }
  }
  std::string operand(int32_t depth) {
    switch (r.pick(depth > 0 ? 6 : 4)) {
      case 0: case 1: return var();
      case 2: return number();
      case 3: return depth > 0 ? "-" + var() : var();
      case 4: return call(depth - 1);
      default: return join({"[", operand(depth - 1), "+", expr(depth - 1), "]"});
    }
  }
  // An assignment stops at its second "=": equality appears in conditions only.
  bool in_condition = false;
  std::string expr(int32_t depth) {
    static const char* kOps[] = {"+", "-", "*", "/", "<>", "<", ">", "<=", ">=", " and ", " or ", " xor ", "="};
    const int32_t ops = int32_t(std::size(kOps)) - (in_condition ? 0 : 1);
    std::string e = operand(depth);
    const int32_t terms = r.pick(depth > 0 ? 4 : 2);
    for (int32_t k = 0; k < terms; ++k) e += join({kOps[r.pick(ops)], operand(depth)});
    return e;
  }
  std::string condition() {
    in_condition = true;
    std::string e = join({var(), "<>", expr(1)});
    in_condition = false;
    return e;
  }
  void line(const std::string& s) { out += s + "\n"; }

  void statement(int32_t depth) {
    const int32_t k = r.pick(100);
    if (k < 45) {
      line(join({var(), "=", expr(2)}));
    } else if (k < 60 && depth > 0) {
      line("if " + condition());
      block(depth - 1);
      if (r.chance(50)) {
        line("else");
        block(depth - 1);
      }
      line("endif");
    } else if (k < 68 && depth > 0 && loop_depth < kCounters) {
      // A counted loop: label, body, goto back while the counter is below its bound.
      const std::string c = "c" + std::to_string(loop_depth), l = "l" + std::to_string(labels++);
      line(c + "=0");
      line(l + ":");
      ++loop_depth;
      block(depth - 1);
      --loop_depth;
      line(c + "=" + c + "+1");
      line("if " + c + "<" + std::to_string(1 + r.pick(12)));
      line("goto " + l);
      line("endif");
    } else if (k < 76 && r.chance(50)) {
      line("gosub s" + std::to_string(r.pick(3)));
    } else if (k < 80) {
      line("d=0");  // recursion: shallow, deep, or past the guest stack
      static const char* kDepths[] = {"3", "50", "3000", "5", "100", "20000"};
      line("e=" + std::string(kDepths[r.pick(r.chance(30) ? 6 : 5)]));
      line("gosub deep");
    } else if (k < 86) {
      line("score_add(element," + expr(1) + ")");
    } else if (k < 88) {
      line(join({"thrust(", var(), ",", var(), ")"}));
    } else if (k < 90 && depth > 0) {
      line("if " + condition());
      line("return");
      line("endif");
    } else if (k < 91 && r.chance(3)) {
      const std::string l = "l" + std::to_string(labels++);  // endless: runs out of budget
      line(l + ":");
      switch (r.pick(4)) {
        case 0: line(var() + "=random(1,2)"); break;
        case 1:  // a condition that always holds, or never: the budget ends in either jump
          line("if " + std::string(r.chance(50) ? "v1=v1" : "v1<>v1"));
          line(join({var(), "=", var(), "+1"}));
          line("endif");
          break;
        default: break;
      }
      line("goto " + l);
    } else {
      line(join({var(), "=", var(), "/", operand(0)}));
    }
  }
  void block(int32_t depth) {
    const int32_t n = 1 + r.pick(4);
    for (int32_t i = 0; i < n; ++i) statement(depth);
  }

  std::string brain() {
    for (int32_t k = 0; k < kVars; ++k) line("var v" + std::to_string(k) + "=0");
    for (int32_t k = 0; k < kCounters; ++k) line("var c" + std::to_string(k) + "=0");
    line("var d=0");
    line("var e=0");
    block(3);
    line("return");
    for (int32_t s = 0; s < 3; ++s) {
      line("s" + std::to_string(s) + ":");
      loop_depth = kCounters - 1;  // one counted loop level of its own
      const int32_t n = 1 + r.pick(3);
      for (int32_t i = 0; i < n; ++i) {
        if (r.chance(4)) line("gosub s" + std::to_string(r.pick(3)));  // may recurse without end
        else statement(1);
      }
      line("return");
    }
    line("deep:");
    line("d=d+1");
    line("if d<e");
    line("gosub deep");
    line("endif");
    line("return");
    return out;
  }
};

// ---- Running both paths ----
struct Outcome {
  bool ok = false;
  BrainFault fault;
  Registers regs;
  int64_t budget = 0;
  int32_t calls_unchecked = 0;
  uint32_t random = 0;
  std::vector<uint8_t> records, temp, stack;
};

struct State {
  std::vector<uint8_t> records, temp, stack;
  uint32_t random = 0;
};

class Differential {
 public:
  explicit Differential(MachineFixture& f, size_t record_bytes) : f_(f), record_bytes_(record_bytes) {}

  State save() const {
    State s;
    const uint8_t* pool = f_.core->pool(Pool::Instances);
    s.records.assign(pool, pool + record_bytes_);
    s.temp = f_.brain->temp_area;
    s.stack = f_.machine->stack;
    s.random = random_state;
    return s;
  }
  void restore(const State& s) {
    std::memcpy(f_.core->pool(Pool::Instances), s.records.data(), s.records.size());
    f_.brain->temp_area = s.temp;
    f_.machine->stack = s.stack;
    random_state = s.random;
  }
  Outcome run(BackEnd back_end, int32_t element) {
    f_.machine->back_end = back_end;
    Outcome o;
    o.ok = machine_call_brain(f_.sys, element_handle(element));
    const Machine& m = *f_.machine;
    o.fault = m.fault;
    o.regs = m.regs;
    o.budget = m.budget;
    o.calls_unchecked = m.calls_unchecked;
    o.random = random_state;
    State s = save();
    o.records = std::move(s.records);
    o.temp = std::move(s.temp);
    o.stack = std::move(s.stack);
    return o;
  }

 private:
  MachineFixture& f_;
  size_t record_bytes_;
};

// The first difference between the two outcomes, or "" when they agree. The one-second clock
// limit depends on the machine's load, not on the brain: a run stopped by it (a slow,
// sanitized interpreter on a busy machine) cannot be compared and counts as agreeing.
std::string difference(const Outcome& a, const Outcome& b) {
  if (a.fault.kind == FaultKind::TimeLimit || b.fault.kind == FaultKind::TimeLimit) return "";
  char buf[200];
  if (a.ok != b.ok) return "result " + std::to_string(a.ok) + " vs " + std::to_string(b.ok);
  if (a.fault.kind != b.fault.kind || a.fault.eip != b.fault.eip || a.fault.address != b.fault.address) {
    std::snprintf(buf, sizeof buf, "fault %d at %08X (%08X) vs %d at %08X (%08X)", int(a.fault.kind), a.fault.eip,
                  a.fault.address, int(b.fault.kind), b.fault.eip, b.fault.address);
    return buf;
  }
  for (int32_t k = 0; k <= kEdi; ++k)
    if (a.regs.r[k] != b.regs.r[k])
      return "register " + std::to_string(k) + ": " + std::to_string(a.regs.r[k]) + " vs " + std::to_string(b.regs.r[k]);
  if (a.regs.esp != b.regs.esp || a.regs.eip != b.regs.eip) return "esp or eip";
  if (a.budget != b.budget) return "budget " + std::to_string(a.budget) + " vs " + std::to_string(b.budget);
  if (a.calls_unchecked != b.calls_unchecked) return "keyword calls since the clock";
  if (a.random != b.random) return "keyword call sequence";
  for (size_t i = 0; i < a.records.size(); i += 4)
    if (std::memcmp(&a.records[i], &b.records[i], 4) != 0) {
      int32_t x, y;
      std::memcpy(&x, &a.records[i], 4);
      std::memcpy(&y, &b.records[i], 4);
      std::snprintf(buf, sizeof buf, "record %zu word %zu: %d vs %d", i / 1024, i % 1024, x, y);
      return buf;
    }
  if (a.temp != b.temp) return "temporaries";
  if (a.stack != b.stack) return "guest stack";
  return "";
}

// Sanitized builds run their interpreter several times slower: a quarter of the brains there.
#if defined(__SANITIZE_ADDRESS__)
constexpr int32_t kDefaultBrains = 500;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr int32_t kDefaultBrains = 500;
#else
constexpr int32_t kDefaultBrains = 2000;
#endif
#else
constexpr int32_t kDefaultBrains = 2000;
#endif

int32_t brains_to_run() {
  const char* v = std::getenv("KORVA_DIFF_BRAINS");
  return v && std::atoi(v) > 0 ? std::atoi(v) : kDefaultBrains;
}

// Builds a fixture whose machine translates to host code (whatever the environment says).
void prepare(MachineFixture& f) {
  f.machine->back_end = BackEnd::Native;
  bind_test_keywords(f.machine->keywords);
}

TEST(NativeDifferential, GeneratedBrainsRunTheSameOnBothPaths) {
#if !defined(__x86_64__)
  GTEST_SKIP() << "no native back end on this host";
#endif
  const int32_t count = brains_to_run();
  const auto start = std::chrono::steady_clock::now();
  Rng r{20261210};
  int32_t compiled = 0, faulted = 0, checked = 0, fused = 0, skipped = 0;
  int32_t kinds[16] = {};
  for (int32_t n = 0; n < count; ++n) {
    MachineFixture f;
    prepare(f);
    BrainGen g0{r, true, {}};
    const std::string text0 = g0.brain();
    BrainGen g1{r, r.chance(10), {}};  // element 1 may execute element 0 back (too deep)
    std::string text1 = g1.brain();
    for (size_t at; (at = text1.find("element#1")) != std::string::npos;) text1.replace(at, 9, "element#-1");
    if (!f.add_brain("a", text0)) {
      if (std::getenv("KORVA_DIFF_SHOW_ERRORS")) std::printf("%s\n", f.brain->compile_error.c_str());
      continue;
    }
    ++compiled;
    static_cast<void>(f.add_brain("b", text1));
    f.predecode();
    ASSERT_TRUE(machine_runs_native(*f.machine)) << "no native code for\n" << text0;
    for (int32_t e = 0; e < 2; ++e)
      for (int32_t k = 0; k < kVars; ++k) f.set_var(e, k, static_cast<int32_t>(r.next() % 41) - 20);
    Differential d(f, 2 * kInstanceRecordBytes);
    fused += f.machine->program.fused_booleans;
    skipped += f.machine->program.skipped_reloads;
    // Two rounds of both elements, each path from the same state.
    std::vector<State> befores;
    std::vector<Outcome> wants;
    State before = d.save();
    for (int32_t round = 0; round < 2; ++round) {
      for (int32_t e = 0; e < 2; ++e) {
        d.restore(before);
        befores.push_back(before);
        const Outcome want = d.run(BackEnd::Interpreter, e);
        d.restore(before);
        const Outcome got = d.run(BackEnd::Native, e);
        const std::string diff = difference(want, got);
        ASSERT_EQ(diff, "") << "brain " << n << ", element " << e << ", round " << round << "\n"
                            << (e == 0 ? text0 : text1);
        faulted += !want.ok;
        ++kinds[size_t(want.fault.kind)];
        ++checked;
        before = d.save();
        wants.push_back(want);
      }
    }
    // The peephole pass changes nothing either: the plain ops, interpreted, end the same way.
    f.machine->peephole = false;
    f.machine->back_end = BackEnd::Interpreter;
    f.predecode();
    for (size_t k = 0; k < wants.size(); ++k) {
      d.restore(befores[k]);
      const int32_t e = static_cast<int32_t>(k % 2);
      const Outcome plain = d.run(BackEnd::Interpreter, e);
      const std::string diff = difference(wants[k], plain);
      ASSERT_EQ(diff, "") << "without the peephole pass: brain " << n << ", element " << e << "\n"
                          << (e == 0 ? text0 : text1);
    }
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d brains generated, %d compiled, %d runs compared (%d faulted); peephole: %d fused comparisons, "
              "%d skipped reloads; %.1f s\n",
              count, compiled, checked, faulted, fused, skipped, seconds);
  for (int32_t k = 1; k < 16; ++k)
    if (kinds[k]) std::printf("  %d: %s\n", kinds[k], fault_text(BrainFault{static_cast<FaultKind>(k), 0, 0}).c_str());
  EXPECT_GT(compiled, count * 9 / 10);
  EXPECT_GT(faulted, 0);
  EXPECT_GT(fused, compiled);
  EXPECT_GT(skipped, compiled);
}

// The host code is written while only writable and runs while only executable: after a
// translation no mapping of the process is writable and executable at once.
TEST(NativeCode, NoMemoryIsWritableAndExecutable) {
#if !defined(__x86_64__)
  GTEST_SKIP() << "no native back end on this host";
#endif
  MachineFixture f;
  prepare(f);
  ASSERT_TRUE(f.add_brain("a", "var x=0\nagain:\nx=x+1\nif x<10\ngoto again\nendif"));
  f.predecode();
  ASSERT_TRUE(machine_runs_native(*f.machine));
  EXPECT_GT(native_code_bytes(*f.machine->native), 0u);
  f.step();
  EXPECT_EQ(f.var(0, 0), 10);
  FILE* maps = std::fopen("/proc/self/maps", "r");
  ASSERT_NE(maps, nullptr);
  char line[512];
  while (std::fgets(line, sizeof line, maps)) {
    char perms[8] = {};
    ASSERT_EQ(std::sscanf(line, "%*s %7s", perms), 1);
    EXPECT_FALSE(perms[1] == 'w' && perms[2] == 'x') << line;
  }
  std::fclose(maps);
}

// KORVA_BRAIN_INTERPRETER=1 makes new machines interpret; the test's own fixtures choose.
TEST(NativeCode, TheEnvironmentChoosesTheInterpreter) {
  const char* saved = std::getenv("KORVA_BRAIN_INTERPRETER");
  const std::string old = saved ? saved : "";
  setenv("KORVA_BRAIN_INTERPRETER", "1", 1);
  EXPECT_EQ(machine_create()->back_end, BackEnd::Interpreter);
  setenv("KORVA_BRAIN_INTERPRETER", "0", 1);
  EXPECT_EQ(machine_create()->back_end, BackEnd::Native);
  if (saved) setenv("KORVA_BRAIN_INTERPRETER", old.c_str(), 1);
  else unsetenv("KORVA_BRAIN_INTERPRETER");
  MachineFixture f;
  f.machine->back_end = BackEnd::Interpreter;
  ASSERT_TRUE(f.add_brain("a", "var x=0\nx=x+1"));
  f.predecode();
  EXPECT_FALSE(f.machine->native);  // no translation for an interpreting machine
  f.step();
  EXPECT_EQ(f.var(0, 0), 1);
}

// ---- Raw code: hostile and random ----
struct RawCase {
  const char* name;
  std::vector<uint8_t> code;
  FaultKind fault;  // what both paths must end in (None: a normal return)
};

std::vector<uint8_t> le32(uint32_t v) {
  return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
// mov eax, [addr] / mov [addr], eax at code offset 0.
std::vector<uint8_t> load(uint32_t addr) { return cat({{0x3E, 0x8B, 0x05}, le32(addr), {0xC3}}); }
std::vector<uint8_t> store(uint32_t addr) { return cat({{0x3E, 0xA3}, le32(addr), {0xC3}}); }
// A call rel32 at offset at, to target (both CodeBuffer offsets).
std::vector<uint8_t> call_at(uint32_t at, uint32_t target_address) {
  return cat({{0xE8}, le32(target_address - (guest::kCodeBufferBase + at + 5))});
}
std::vector<uint8_t> jmp_at(uint32_t at, uint32_t target_address) {
  return cat({{0xE9}, le32(target_address - (guest::kCodeBufferBase + at + 5))});
}

std::vector<RawCase> hostile_cases() {
  using guest::kCodeBufferBase;
  std::vector<RawCase> cases;
  // Words just inside and just outside every region of the map.
  struct Edge {
    const char* name;
    uint32_t base, size;
    bool writable;
    FaultKind before, after;  // a load of the word before the region and of the one after it
  };
  constexpr FaultKind kOutside = FaultKind::MemoryOutsideMap, kInside = FaultKind::None;
  // The temporaries follow the records without a gap.
  const Edge edges[] = {{"instances", guest::kInstancesBase, guest::kInstancesBytes, true, kOutside, kInside},
                        {"temporaries", guest::kTempAreaBase, guest::kTempAreaBytes, true, kInside, kOutside},
                        {"literals", guest::kLiteralPoolBase, guest::kLiteralPoolBytes, false, kOutside, kOutside},
                        {"code", guest::kCodeBufferBase, guest::kCodeBufferBytes, false, kOutside, kOutside},
                        {"stack", guest::kStackBase, guest::kStackBytes, false, kOutside, kOutside}};
  for (const Edge& e : edges) {
    const FaultKind write = e.writable ? kInside : kOutside;
    cases.push_back({e.name, load(e.base - 4), e.before});
    cases.push_back({e.name, load(e.base), kInside});
    cases.push_back({e.name, load(e.base + e.size - 4), kInside});
    cases.push_back({e.name, load(e.base + e.size - 2), kOutside});  // a word across the end
    cases.push_back({e.name, load(e.base + e.size), e.after});
    cases.push_back({e.name, store(e.base), write});
    cases.push_back({e.name, store(e.base + e.size - 4), write});
    cases.push_back({e.name, store(e.base + e.size), e.after == kInside ? write : kOutside});
  }
  cases.push_back({"top of the address space", load(0xFFFFFFFCu), kOutside});
  cases.push_back({"keyword entries", load(guest::kKeywordEntryBase), kOutside});
  cases.push_back({"record word 1020", {0x3E, 0x8B, 0x87, 0xFC, 0x03, 0x00, 0x00, 0xC3}, FaultKind::None});
  cases.push_back({"record word 1021", {0x3E, 0x8B, 0x87, 0xFD, 0x03, 0x00, 0x00, 0xC3}, FaultKind::VariableOutsideRecord});
  cases.push_back({"record word -4", {0x3E, 0x89, 0x87, 0xFC, 0xFF, 0xFF, 0xFF, 0xC3}, FaultKind::VariableOutsideRecord});
  // Self-modifying code: a store into the code that runs.
  cases.push_back({"self-modifying", cat({{0xB8, 0xC3, 0, 0, 0}, store(kCodeBufferBase + 5)}), FaultKind::MemoryOutsideMap});
  // Jumps into data, into the middle of an instruction, and past the code.
  cases.push_back({"jump into the literals", jmp_at(0, guest::kLiteralPoolBase), FaultKind::JumpOutsideCode});
  cases.push_back({"jump into the stack", jmp_at(0, guest::kStackBase), FaultKind::JumpOutsideCode});
  cases.push_back({"gosub into the temporaries", call_at(0, guest::kTempAreaBase), FaultKind::JumpOutsideCode});
  // mov eax, 0x90C3xxxx; jmp into its immediate: C3 (ret) runs.
  cases.push_back({"jump into an immediate", cat({{0xE9, 0x03, 0, 0, 0}, {0xB8, 0x11, 0x22, 0xC3, 0x90}}), FaultKind::None});
  cases.push_back({"two rets", cat({call_at(0, kCodeBufferBase + 6), {0xC3}, {0xC3}}), FaultKind::None});
  // Endless loops and endless recursion.
  cases.push_back({"jump to itself", jmp_at(0, kCodeBufferBase), FaultKind::Budget});
  cases.push_back({"je to itself after cmp", {0x83, 0xF8, 0x00, 0x74, 0xFE}, FaultKind::Budget});
  cases.push_back({"gosub itself", call_at(0, kCodeBufferBase), FaultKind::StackOverflow});
  // Flags kept across a taken jump, a gosub and its ret, and a keyword call.
  const uint32_t sum = keyword_entry_address(keyword_find("sum"));
  cases.push_back({"flags across a jump",
                   cat({{0xBB, 0x09, 0, 0, 0}, {0x81, 0xFB, 0x07, 0, 0, 0}, jmp_at(11, kCodeBufferBase + 16),
                        {0x7F, 0x06}, {0xB8, 0x01, 0, 0, 0, 0xC3}, {0xB8, 0x02, 0, 0, 0, 0xC3}}),
                   FaultKind::None});
  cases.push_back({"flags across a keyword call",
                   cat({{0xBB, 0x09, 0, 0, 0}, {0x81, 0xFB, 0x07, 0, 0, 0}, call_at(11, sum),
                        {0x7F, 0x06}, {0xB8, 0x01, 0, 0, 0, 0xC3}, {0xB8, 0x02, 0, 0, 0, 0xC3}}),
                   FaultKind::None});
  cases.push_back({"flags across gosub and ret",
                   cat({{0xBB, 0x05, 0, 0, 0}, {0x81, 0xFB, 0x07, 0, 0, 0}, call_at(11, kCodeBufferBase + 30),
                        {0x7C, 0x06}, {0xB8, 0x01, 0, 0, 0, 0xC3}, {0xB8, 0x02, 0, 0, 0, 0xC3}, {0x99, 0xC3}}),
                   FaultKind::None});
  cases.push_back({"flags across a division",
                   cat({{0xB9, 0x03, 0, 0, 0}, {0x83, 0xF8, 0x00}, {0xF7, 0xF9}, {0x74, 0x01, 0xC3},
                        {0xB8, 0x07, 0, 0, 0, 0xC3}}),
                   FaultKind::None});
  // A conditional jump before anything set the flags: those of a fresh call.
  cases.push_back({"flags at the start", {0x7C, 0x01, 0xC3, 0xB8, 0x03, 0, 0, 0, 0xC3}, FaultKind::None});
  // edx:eax beyond 32 bits divided: the quotient does not fit.
  cases.push_back({"wide dividend", {0xBA, 0x00, 0x00, 0x01, 0x00, 0xB8, 0x05, 0, 0, 0, 0xB9, 0x02, 0, 0, 0, 0xF7, 0xF9, 0xC3},
                   FaultKind::None});
  cases.push_back({"wide negative dividend", {0xBA, 0xFF, 0xFF, 0xFF, 0xFF, 0xB8, 0x05, 0, 0, 0, 0xB9, 0x02, 0, 0, 0, 0xF7, 0xF9, 0xC3},
                   FaultKind::None});
  // A comparison made into 0 or 1 and tested (fused by the peephole pass), then entered again
  // in its middle, at the "xor eax, eax".
  cases.push_back({"a jump into a fused comparison",
                   cat({{0xB8, 0x01, 0, 0, 0}, {0x81, 0xFB, 0x0C, 0, 0, 0}, {0x7C, 0x02}, {0x33, 0xC0},
                        {0x3E, 0xA3}, le32(guest::kTempAreaBase), {0x83, 0xF8, 0x00}, {0x0F, 0x84, 10, 0, 0, 0},
                        {0xBB, 0x14, 0, 0, 0}, {0xE9}, le32(uint32_t(13 - 40)), {0xC3}}),
                   FaultKind::None});
  cases.push_back({"garbage", {0x0F, 0x0B}, FaultKind::UnknownInstruction});
  cases.push_back({"runs past the code", {0x90, 0x90}, FaultKind::RanPastCode});
  return cases;
}

// Runs raw code as element 0 on both paths and compares everything; returns the outcome.
Outcome compare_raw(const std::vector<uint8_t>& code, const std::string& name, uint32_t entry_offset = 0) {
  MachineFixture f;
  prepare(f);
  f.add_code("raw", code);
  f.set_word(0, ir::kBrainEntry, static_cast<int32_t>(guest::kCodeBufferBase + entry_offset));
  f.predecode();
  EXPECT_TRUE(machine_runs_native(*f.machine)) << name;
  Differential d(f, kInstanceRecordBytes * kInstanceRecords);
  for (int32_t k = 0; k < 6; ++k) f.set_word(0, 1020 - 4 * k, 17 * k - 40);
  const State before = d.save();
  const Outcome want = d.run(BackEnd::Interpreter, 0);
  d.restore(before);
  const Outcome got = d.run(BackEnd::Native, 0);
  EXPECT_EQ(difference(want, got), "") << name;
  // And the code without the peephole pass, interpreted.
  f.machine->peephole = false;
  f.machine->back_end = BackEnd::Interpreter;
  f.predecode();
  d.restore(before);
  EXPECT_EQ(difference(want, d.run(BackEnd::Interpreter, 0)), "") << name << ", without the peephole pass";
  return want;
}

TEST(NativeDifferential, HostileCodeFaultsTheSameWay) {
#if !defined(__x86_64__)
  GTEST_SKIP() << "no native back end on this host";
#endif
  for (const RawCase& c : hostile_cases()) {
    const Outcome o = compare_raw(c.code, c.name);
    EXPECT_EQ(o.fault.kind, c.fault) << c.name << ": " << fault_text(o.fault);
  }
}

// Random sequences of the instruction subset (random operands, jumps into instructions, calls
// of keyword entries and of code, flags used far from where they were set).
TEST(NativeDifferential, RandomCodeRunsTheSameOnBothPaths) {
#if !defined(__x86_64__)
  GTEST_SKIP() << "no native back end on this host";
#endif
  Rng r{77};
  const uint32_t interesting[] = {0, 4, 1020, 1024, 0xFFFFFFFCu, guest::kTempAreaBase,
                                  guest::kTempAreaBase + guest::kTempAreaBytes - 4, guest::kInstancesBase,
                                  guest::kInstancesBase + 1024, guest::kLiteralPoolBase, guest::kCodeBufferBase,
                                  guest::kStackBase, guest::kStackTop - 4, 0x80000000u, 0x7FFFFFFFu};
  const int32_t bound[] = {keyword_find("sum"), keyword_find("divide"), keyword_find("random"),
                           keyword_find("thrust"), keyword_find("score_add"), keyword_find("execute")};
  int32_t returned = 0;
  const int32_t rounds = std::max(400, brains_to_run() / 5);
  for (int32_t round = 0; round < rounds; ++round) {
    std::vector<uint8_t> code(4096);
    uint32_t out = 0;
    x86::CodeWriter w;
    w.buf = code.data();
    w.base = guest::kCodeBufferBase;
    w.limit = 4096;
    w.pos = &out;
    for (int32_t k = 0; k < 64; ++k) {
      const auto ins = static_cast<x86::Ins>(r.pick(x86::kInstructionCount));
      uint32_t operand = r.pick(3) == 0 ? interesting[r.pick(int32_t(std::size(interesting)))] : r.next() % 2048;
      if (x86::info(ins).operand == x86::Operand::Rel8) operand = r.next() % 16;
      if (x86::info(ins).operand == x86::Operand::Rel32) {
        const int32_t row = r.pick(3) == 0 ? bound[r.pick(int32_t(std::size(bound)))] : r.pick(kKeywordRows);
        operand = r.pick(3) == 0 ? keyword_entry_address(row) : w.address() + r.next() % 64 - 24;
      }
      x86::emit(w, ins, operand);
    }
    x86::emit(w, x86::Ins::ret);
    code.resize(out);
    returned += compare_raw(code, "random code " + std::to_string(round), r.next() % 24).ok;
    if (HasFailure()) break;
  }
  EXPECT_GT(returned, 0);
}

}  // namespace
}  // namespace korva
