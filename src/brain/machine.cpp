// The interpreter of pre-decoded brain code, the guest stack, the keyword call and execute.
#include "brain/machine.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "brain/native.h"
#include "model/model.h"

namespace korva {

namespace {

// Guest value of the return address that ends a brain call: the final ret of a brain pops it
// and hands control back to the host (the brain step or execute). Address 0 is never mapped.
constexpr uint32_t kHostReturn = 0;

struct Flags {
  int32_t a = 0, b = 0;
  FlagKind kind = FlagKind::Sub;
};

inline bool cond_holds(Cond c, const Flags& f) {
  if (f.kind == FlagKind::Sub) {
    switch (c) {
      case Cond::E: return f.a == f.b;
      case Cond::NE: return f.a != f.b;
      case Cond::L: return f.a < f.b;
      case Cond::G: return f.a > f.b;
      case Cond::LE: return f.a <= f.b;
      case Cond::GE: return f.a >= f.b;
    }
  }
  // After an add: ZF from the wrapped sum, SF != OF exactly when the true sum is negative.
  const int64_t sum = int64_t(f.a) + f.b;
  const bool zero = static_cast<uint32_t>(sum) == 0;
  switch (c) {
    case Cond::E: return zero;
    case Cond::NE: return !zero;
    case Cond::L: return sum < 0;
    case Cond::G: return sum >= 0 && !zero;
    case Cond::LE: return sum < 0 || zero;
    case Cond::GE: return sum >= 0;
  }
  return false;
}

inline int32_t wrap_add(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}
inline int32_t wrap_sub(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}
inline int32_t wrap_mul(int32_t a, int32_t b) {
  return static_cast<int32_t>(static_cast<uint32_t>(a) * static_cast<uint32_t>(b));
}

inline int32_t load(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return v;
}
inline void store(uint8_t* p, int32_t v) { std::memcpy(p, &v, 4); }

// The op that runs first when a brain is entered at guest address entry, or -1.
int32_t entry_op(const Program& p, uint32_t entry) {
  uint32_t off = entry - guest::kCodeBufferBase;
  if (off >= p.code_size) return -1;
  int32_t i = p.op_at[off];
  while (i >= 0 && p.ops[i].kind == OpKind::Nop) i = p.ops[i].next;
  return i;
}

// The clock of the time limit: the coarse clock (a few milliseconds of resolution are plenty
// for a limit of a second, and it costs a fraction of the precise clock, which every brain call
// and many a jump read) less the time spent waiting for a person, which is not the brain's.
int64_t brain_clock_ns(const Machine& m) {
  return coarse_clock_ns() - (m.person_waited ? *m.person_waited : 0);
}

}  // namespace

bool machine_past_deadline(Machine& m) {
  m.calls_unchecked = 0;
  return brain_clock_ns(m) > m.deadline_ns;
}

namespace {

bool raise(Machine& m, FaultKind kind, uint32_t eip, uint32_t address) {
  m.fault = BrainFault{kind, eip, address};
  return false;
}

// Dispatch: with GCC and Clang every handler ends in its own indirect jump to the next
// handler (threaded code), which the branch predictor follows far better than the single
// jump of a switch; elsewhere the same handlers form a switch.
#if defined(__GNUC__)
#define KORVA_THREADED 1
#define CASE(k) L_##k:
#define GO(op_ptr)                  \
  do {                              \
    o = (op_ptr);                   \
    goto* o->handler;               \
  } while (0)
#define NEXT() GO(o->next_op)
#define JUMP()                                                                    \
  do {                                                                            \
    if (--m.budget < 0) return raise(m, FaultKind::Budget, o->eip, 0);            \
    if (((m.budget & (kTimeCheckJumps - 1)) == 0 || m.calls_unchecked >= kTimeCheckCalls) && \
        machine_past_deadline(m))                                                         \
      return raise(m, FaultKind::TimeLimit, o->eip, 0);                           \
    GO(o->target_op);                                                             \
  } while (0)
#define TARGET_OP() (o->target_op)
#define NEXT_OP() (o->next_op)
#else
#define KORVA_THREADED 0
#define CASE(k) case OpKind::k:
#define GO(op_ptr)     \
  do {                 \
    o = (op_ptr);      \
    goto dispatch;     \
  } while (0)
#define NEXT() GO(&ops[o->next])
#define JUMP()                                                                    \
  do {                                                                            \
    if (--m.budget < 0) return raise(m, FaultKind::Budget, o->eip, 0);            \
    if (((m.budget & (kTimeCheckJumps - 1)) == 0 || m.calls_unchecked >= kTimeCheckCalls) && \
        machine_past_deadline(m))                                                         \
      return raise(m, FaultKind::TimeLimit, o->eip, 0);                           \
    GO(&ops[o->target]);                                                          \
  } while (0)
#define TARGET_OP() (&ops[o->target])
#define NEXT_OP() (&ops[o->next])
#endif
// A taken jump inside a fused op, reported at eip: one budget step and the clock check.
#define COUNT_JUMP(eip)                                                           \
  do {                                                                            \
    if (--m.budget < 0) return raise(m, FaultKind::Budget, eip, 0);               \
    if (((m.budget & (kTimeCheckJumps - 1)) == 0 || m.calls_unchecked >= kTimeCheckCalls) && \
        machine_past_deadline(m))                                                         \
      return raise(m, FaultKind::TimeLimit, eip, 0);                              \
  } while (0)

// Runs from op `pc` with the registers in m.regs until the ret that pops the host return
// address pushed by the caller. Returns false on a fault.
bool run(System& s, int32_t pc) {
  Machine& m = *s.machine;
  Registers& R = m.regs;
  int32_t* const r = R.r;
  const Op* const ops = m.program.ops.data();
  const GuestRegion& inst = m.memory.regions[static_cast<int32_t>(Region::Instances)];
  // edi names a checked record of the pool for the whole call, and Var offsets were checked
  // against the record size when decoding, so record words are plain host accesses.
  uint8_t* const rec = inst.host + (static_cast<uint32_t>(r[kEdi]) - inst.base);
  if (machine_runs_native(m)) return native_run(s, *m.native, pc, rec);
  Flags f;
  const Op* o = &ops[pc];

#if KORVA_THREADED
  static constexpr void* kLabels[] = {
#define KORVA_MACHINE_OP_LABEL(name) &&L_##name,
      KORVA_MACHINE_OPS(KORVA_MACHINE_OP_LABEL)
#undef KORVA_MACHINE_OP_LABEL
  };
  if (!m.program.handlers_set) {
    for (Op& op : m.program.ops) op.handler = kLabels[static_cast<int32_t>(op.kind)];
    m.program.handlers_set = true;
  }
  goto* o->handler;
#else
dispatch:
  switch (o->kind) {
#endif
      CASE(MovImm) r[o->a] = o->imm; NEXT();
      CASE(MovVar) r[o->a] = load(rec + o->imm); NEXT();
      CASE(MovAbs) r[o->a] = *o->ptr; NEXT();
      CASE(MovReg) r[o->a] = r[o->b]; NEXT();
      CASE(MovEdi) r[o->a] = r[kEdi]; NEXT();
      CASE(StoreVar) store(rec + o->imm, r[o->b]); NEXT();
      CASE(StoreAbs) *o->ptr = r[o->b]; NEXT();

#define KORVA_ADD(src)                       \
  {                                          \
    const int32_t v = src;                   \
    f = Flags{r[o->a], v, FlagKind::Add};    \
    r[o->a] = wrap_add(r[o->a], v);          \
  }                                          \
  NEXT();
      CASE(AddImm) KORVA_ADD(o->imm)
      CASE(AddVar) KORVA_ADD(load(rec + o->imm))
      CASE(AddAbs) KORVA_ADD(*o->ptr)
#undef KORVA_ADD
#define KORVA_SUB(src)                       \
  {                                          \
    const int32_t v = src;                   \
    f = Flags{r[o->a], v, FlagKind::Sub};    \
    r[o->a] = wrap_sub(r[o->a], v);          \
  }                                          \
  NEXT();
      CASE(SubImm) KORVA_SUB(o->imm)
      CASE(SubVar) KORVA_SUB(load(rec + o->imm))
      CASE(SubAbs) KORVA_SUB(*o->ptr)
#undef KORVA_SUB
#define KORVA_LOGIC(expr)                    \
  r[o->a] = expr;                            \
  f = Flags{r[o->a], 0, FlagKind::Sub};      \
  NEXT();
      CASE(OrImm) KORVA_LOGIC(r[o->a] | o->imm)
      CASE(OrVar) KORVA_LOGIC(r[o->a] | load(rec + o->imm))
      CASE(OrAbs) KORVA_LOGIC(r[o->a] | *o->ptr)
      CASE(OrReg) KORVA_LOGIC(r[o->a] | r[o->b])
      CASE(AndImm) KORVA_LOGIC(r[o->a] & o->imm)
      CASE(AndVar) KORVA_LOGIC(r[o->a] & load(rec + o->imm))
      CASE(AndAbs) KORVA_LOGIC(r[o->a] & *o->ptr)
      CASE(AndReg) KORVA_LOGIC(r[o->a] & r[o->b])
      CASE(XorImm) KORVA_LOGIC(r[o->a] ^ o->imm)
      CASE(XorVar) KORVA_LOGIC(r[o->a] ^ load(rec + o->imm))
      CASE(XorAbs) KORVA_LOGIC(r[o->a] ^ *o->ptr)
      CASE(XorReg) KORVA_LOGIC(r[o->a] ^ r[o->b])
      // The flags of imul other than OF and CF are undefined; these keep those of the result.
      CASE(ImulImm) KORVA_LOGIC(wrap_mul(r[o->a], o->imm))
      CASE(ImulVar) KORVA_LOGIC(wrap_mul(r[o->a], load(rec + o->imm)))
      CASE(ImulAbs) KORVA_LOGIC(wrap_mul(r[o->a], *o->ptr))
#undef KORVA_LOGIC
      CASE(CmpImm) f = Flags{r[o->a], o->imm, FlagKind::Sub}; NEXT();
      CASE(CmpVar) f = Flags{r[o->a], load(rec + o->imm), FlagKind::Sub}; NEXT();
      CASE(CmpAbs) f = Flags{r[o->a], *o->ptr, FlagKind::Sub}; NEXT();
      CASE(Neg)
        f = Flags{0, r[o->a], FlagKind::Sub};
        r[o->a] = wrap_sub(0, r[o->a]);
        NEXT();
      CASE(Cdq) r[3] = r[0] < 0 ? -1 : 0; NEXT();  // edx := sign of eax
      CASE(Idiv) {
        // edx:eax / divisor. A zero divisor or a quotient beyond 32 bits (the most negative
        // value by -1) would trap on x86; it gives 2147483647, as the divide keyword does.
        const int64_t dividend = int64_t(uint64_t(uint32_t(r[3])) << 32 | uint32_t(r[0]));
        const int32_t divisor = r[o->b];
        int64_t q = 0;
        bool ok = divisor != 0 && !(dividend == INT64_MIN && divisor == -1);
        if (ok) {
          q = dividend / divisor;
          ok = q >= INT32_MIN && q <= INT32_MAX;
        }
        if (ok) {
          r[0] = static_cast<int32_t>(q);
          r[3] = static_cast<int32_t>(dividend % divisor);
        } else {
          r[0] = INT32_MAX;
          r[3] = 0;
        }
        NEXT();
      }

      CASE(Jcc)
        if (cond_holds(o->cond, f)) JUMP();
        NEXT();
#define KORVA_CMP_JCC(src)                          \
  f = Flags{r[o->a], src, FlagKind::Sub};           \
  if (cond_holds(o->cond, f)) JUMP();               \
  NEXT();
      CASE(CmpImmJcc) KORVA_CMP_JCC(o->imm)
      CASE(CmpVarJcc) KORVA_CMP_JCC(load(rec + o->imm))
      CASE(CmpAbsJcc) KORVA_CMP_JCC(*o->ptr)
#undef KORVA_CMP_JCC
      // mov eax, 1 / cmp + jcc over / xor eax, eax / mov [temp], eax / cmp eax, 0 + je.
#define KORVA_CMP_BOOL(src)                                \
  if (cond_holds(o->cond, Flags{r[o->a], src, FlagKind::Sub})) { \
    r[0] = 1;                                              \
    COUNT_JUMP(o->eip);                                    \
    *o->ptr = 1;                                           \
    f = Flags{1, 0, FlagKind::Sub};                        \
    GO(NEXT_OP());                                         \
  }                                                        \
  r[0] = 0;                                                \
  *o->ptr = 0;                                             \
  f = Flags{0, 0, FlagKind::Sub};                          \
  COUNT_JUMP(o->ret);                                      \
  GO(TARGET_OP());
      CASE(CmpImmBool) KORVA_CMP_BOOL(o->imm)
      CASE(CmpVarBool) KORVA_CMP_BOOL(load(rec + o->imm))
#undef KORVA_CMP_BOOL
      CASE(Jmp) JUMP();

      CASE(CallCode) {
        if (R.esp <= guest::kStackBase) return raise(m, FaultKind::StackOverflow, o->eip, R.esp);
        R.esp -= 4;
        const uint32_t slot = (R.esp - guest::kStackBase) / 4;
        store(m.stack.data() + slot * 4, static_cast<int32_t>(o->ret));
        m.stack_ops[slot] = o->next;
        JUMP();
      }
      CASE(Ret) {
        if (R.esp >= guest::kStackTop) return raise(m, FaultKind::StackUnderflow, o->eip, R.esp);
        const uint32_t slot = (R.esp - guest::kStackBase) / 4;
        R.esp += 4;
        const int32_t back = m.stack_ops[slot];
        if (back == kHostReturnOp) return true;
        GO(&ops[back]);
      }
      CASE(CallKeyword) {
        const KeywordRoutine routine = m.keywords.routine[o->imm];
        R.eip = o->eip;
        if (routine) {
          ++m.calls_unchecked;
          const int32_t edi = r[kEdi];
          routine(s, R);
          r[kEdi] = edi;  // the convention: keyword routines preserve edi
          if (m.fault.kind != FaultKind::None) return false;  // raised inside (execute)
        } else {
          r[0] = 0;  // reported once, when the brains were compiled
        }
        NEXT();
      }
      CASE(Nop) NEXT();
      CASE(Fault) return raise(m, static_cast<FaultKind>(o->imm), o->eip, o->ret);
#if !KORVA_THREADED
  }
  return raise(m, FaultKind::UnknownInstruction, o->eip, o->eip);
#endif
}

#undef CASE
#undef GO
#undef NEXT
#undef JUMP
#undef COUNT_JUMP
#undef TARGET_OP
#undef NEXT_OP
#undef KORVA_THREADED

// Pushes the host return address and runs the brain at entry with edi = handle.
bool enter(System& s, int32_t handle, uint32_t entry) {
  Machine& m = *s.machine;
  Registers& R = m.regs;
  const int32_t first = entry_op(m.program, entry);
  if (first < 0) return raise(m, FaultKind::BadEntry, entry, entry);
  if (R.esp <= guest::kStackBase) return raise(m, FaultKind::StackOverflow, R.eip, R.esp);
  R.esp -= 4;
  const uint32_t slot = (R.esp - guest::kStackBase) / 4;
  store(m.stack.data() + slot * 4, static_cast<int32_t>(kHostReturn));
  m.stack_ops[slot] = kHostReturnOp;
  R.r[kEdi] = handle;
  const int32_t outer = m.current_handle;
  m.current_handle = handle;
  const bool ok = run(s, first);
  m.current_handle = outer;
  return ok;
}

}  // namespace

std::unique_ptr<Machine> machine_create() {
  auto m = std::make_unique<Machine>();
  const char* v = std::getenv("KORVA_BRAIN_INTERPRETER");
  if (v && std::strcmp(v, "1") == 0) m->back_end = BackEnd::Interpreter;
  return m;
}

void machine_attach(System& s) {
  Machine& m = *s.machine;
  m.person_waited = &s.core->frame.person_waited_ns;
  guest_map(m.memory, Region::Instances, s.core->pool(Pool::Instances),
            static_cast<uint32_t>(pool_bytes(Pool::Instances)));
  if (s.brain) {
    BrainState& b = *s.brain;
    guest_map(m.memory, Region::TempArea, b.temp_area.data(), static_cast<uint32_t>(b.temp_area.size()));
    guest_map(m.memory, Region::LiteralPool, b.literal_pool.data(),
              static_cast<uint32_t>(b.literal_pool.size()));
    guest_map(m.memory, Region::CodeBuffer, b.code.data(), static_cast<uint32_t>(b.code.size()));
  }
  guest_map(m.memory, Region::Stack, m.stack.data(), static_cast<uint32_t>(m.stack.size()));
}

bool machine_call_brain(System& s, int32_t handle) {
  Machine& m = *s.machine;
  m.fault = BrainFault{};
  uint8_t* rec = guest_instance_record(m.memory, handle);
  if (!rec) return raise(m, FaultKind::BadEntry, 0, static_cast<uint32_t>(handle));
  m.regs = Registers{};
  m.regs.esp = guest::kStackTop;
  m.budget = m.branch_budget;
  m.deadline_ns = brain_clock_ns(m) + kBrainTimeLimitNs;
  m.calls_unchecked = 0;
  m.execute_depth = 0;
  return enter(s, handle, static_cast<uint32_t>(ir_get(rec, ir::kBrainEntry)));
}

int32_t execute(System& s, int32_t e) {
  Machine& m = *s.machine;
  uint8_t* rec = guest_instance_record(m.memory, e);
  if (!rec) return 0;
  if (m.execute_depth >= kMaxExecuteDepth) {
    raise(m, FaultKind::ExecuteTooDeep, m.regs.eip, static_cast<uint32_t>(e));
    return 0;
  }
  const int32_t edi = m.regs.r[kEdi];
  ++m.execute_depth;
  const bool ok = enter(s, e, static_cast<uint32_t>(ir_get(rec, ir::kBrainEntry)));
  --m.execute_depth;
  m.regs.r[kEdi] = edi;
  return ok ? m.regs.r[0] : 0;
}

void bind_machine_keywords(KeywordBindings& b) {
  static_cast<void>(bind_keyword(b, "execute", keyword_routine<&execute>));
}

std::string fault_text(const BrainFault& f) {
  char buf[160];
  switch (f.kind) {
    case FaultKind::None: return "";
    case FaultKind::UnknownInstruction:
      std::snprintf(buf, sizeof buf, "Unknown instruction at 0x%08X.", f.eip);
      break;
    case FaultKind::MemoryOutsideMap:
      std::snprintf(buf, sizeof buf, "Memory access outside the brain memory (0x%08X) at 0x%08X.",
                    f.address, f.eip);
      break;
    case FaultKind::VariableOutsideRecord:
      std::snprintf(buf, sizeof buf, "Variable offset %d outside the element record at 0x%08X.",
                    static_cast<int32_t>(f.address), f.eip);
      break;
    case FaultKind::JumpOutsideCode:
      std::snprintf(buf, sizeof buf, "Jump or call to 0x%08X outside the brain code at 0x%08X.",
                    f.address, f.eip);
      break;
    case FaultKind::RanPastCode:
      std::snprintf(buf, sizeof buf, "The brain code ran past its end at 0x%08X.", f.address);
      break;
    case FaultKind::StackOverflow:
      std::snprintf(buf, sizeof buf, "Gosub stack overflow (too many nested gosubs) at 0x%08X.", f.eip);
      break;
    case FaultKind::StackUnderflow:
      std::snprintf(buf, sizeof buf, "Gosub stack underflow at 0x%08X.", f.eip);
      break;
    case FaultKind::ExecuteTooDeep:
      std::snprintf(buf, sizeof buf, "execute nested more than %d levels deep at 0x%08X.",
                    kMaxExecuteDepth, f.eip);
      break;
    case FaultKind::Budget:
      std::snprintf(buf, sizeof buf, "The brain did not end within its step budget (endless loop?) at 0x%08X.",
                    f.eip);
      break;
    case FaultKind::TimeLimit:
      std::snprintf(buf, sizeof buf, "The brain did not end within %d second (endless loop?) at 0x%08X.",
                    int(kBrainTimeLimitNs / 1'000'000'000), f.eip);
      break;
    case FaultKind::BadEntry:
      std::snprintf(buf, sizeof buf, "The brain entry 0x%08X is not compiled brain code.", f.address);
      break;
  }
  return buf;
}

void report_brain_fault(System& s, int32_t index, const BrainFault& f) {
  uint8_t* rec = s.core->pool(Pool::Instances) + index * kInstanceRecordBytes;
  ir_set(rec, ir::kFlags, ir_get(rec, ir::kFlags) | ir::kFlagBrainStopped);
  std::string text = "'";
  text += element_name(*s.core, index).view();
  text += "' brain runtime ERROR!|";
  text += fault_text(f);
  // Where: the brain line whose code faulted.
  int32_t owner = 0, line = 0;
  if (s.brain && brain_line_at(*s.brain, f.eip, owner, line)) text += "|" + brain_line_text(*s.brain, owner, line);
  show_message(*s.core, text);
}

}  // namespace korva
