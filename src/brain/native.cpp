// Host code for pre-decoded brain ops: an x86-64 translation assembled with Xbyak, one per
// compile, run in place of the interpreter where the host allows it.
//
// Register roles inside native brain code:
//   r8d r9d r10d r11d r13d  guest eax ebx ecx edx esi (the order of Registers::r)
//   r14d                    guest edi (constant during a call, put back after keyword calls)
//   r15d                    guest esp
//   r12                     the branch budget (m.budget while native code runs)
//   rbx                     the Machine
//   rbp                     host address of the instance record of edi (Var operands)
//   [rsp] [rsp+8] [rsp+16]  the frame: the System, m.stack's and m.stack_ops' buffers
//   rax rcx rdx rsi rdi     scratch
// m.regs and m.budget are written before a keyword routine runs and when the code leaves, and
// read back after the routine: execute runs other brains on the same registers, budget and
// guest stack, exactly as in the interpreter.
//
// Memory operands were checked when decoding: a Var offset lies inside the record, an Abs
// operand is an aligned host word of a mapped region (with the access allowed), anything else
// became a Fault op. So the host code accesses them directly, as the interpreter does.
//
// Flags: the guest's flags are the host's flags. Each guest operation that sets flags is one
// host instruction setting the ZF, SF and OF that the interpreter's lazy flags describe (an add
// gives SF != OF exactly when the true sum is negative; imul is followed by a test, since the
// interpreter keeps the flags of its result; the logic operations clear OF as "result - 0"
// does). What the machine adds around the guest's code (budget and clock checks, the guest
// stack, division, keyword calls) changes host flags, so there the flags are saved (pushfq,
// popfq) whenever the liveness analysis below says a later conditional jump may read them.
#include "brain/native.h"

#include <climits>
#include <cstring>
#include <ctime>
#include <deque>
#include <functional>
#include <vector>

#include "brain/machine.h"

#if defined(__x86_64__) && defined(__linux__)
#define KORVA_NATIVE_BRAINS 1
#include <xbyak/xbyak.h>
#else
#define KORVA_NATIVE_BRAINS 0
#endif

namespace korva {

namespace {

bool sets_flags(OpKind k) {
  switch (k) {
    case OpKind::AddImm: case OpKind::AddVar: case OpKind::AddAbs:
    case OpKind::SubImm: case OpKind::SubVar: case OpKind::SubAbs:
    case OpKind::OrImm: case OpKind::OrVar: case OpKind::OrAbs: case OpKind::OrReg:
    case OpKind::AndImm: case OpKind::AndVar: case OpKind::AndAbs: case OpKind::AndReg:
    case OpKind::XorImm: case OpKind::XorVar: case OpKind::XorAbs: case OpKind::XorReg:
    case OpKind::CmpImm: case OpKind::CmpVar: case OpKind::CmpAbs:
    case OpKind::ImulImm: case OpKind::ImulVar: case OpKind::ImulAbs:
    case OpKind::Neg:
    case OpKind::CmpImmJcc: case OpKind::CmpVarJcc: case OpKind::CmpAbsJcc:
    case OpKind::CmpImmBool: case OpKind::CmpVarBool:
      return true;
    default:
      return false;
  }
}

}  // namespace

// For every op, whether the flags on entering it may be read by a conditional jump before an
// op sets them again. A backward analysis over the op graph: a ret continues at every return
// site (the op after each gosub), whose union is one extra node; a keyword call continues at
// its next op (execute runs other brains with flags of their own).
std::vector<uint8_t> native_flags_live(const Program& p) {
  const int32_t n = static_cast<int32_t>(p.ops.size());
  const int32_t sites = n;  // the node "any return site"
  std::vector<std::vector<int32_t>> preds(size_t(n) + 1);
  const auto edge = [&](int32_t from, int32_t to) {
    if (to >= 0 && to <= n) preds[size_t(to)].push_back(from);
  };
  for (int32_t i = 0; i < n; ++i) {
    const Op& o = p.ops[size_t(i)];
    switch (o.kind) {
      case OpKind::Fault: break;
      case OpKind::Ret: edge(i, sites); break;
      case OpKind::Jmp: edge(i, o.target); break;
      case OpKind::CallCode:
        edge(i, o.target);
        if (o.next >= 0) edge(sites, o.next);
        break;
      case OpKind::Jcc: case OpKind::CmpImmJcc: case OpKind::CmpVarJcc: case OpKind::CmpAbsJcc:
      case OpKind::CmpImmBool: case OpKind::CmpVarBool:
        edge(i, o.next);
        edge(i, o.target);
        break;
      default: edge(i, o.next); break;
    }
  }
  std::vector<uint8_t> live(size_t(n) + 1, 0);
  std::vector<int32_t> work;
  for (int32_t i = 0; i < n; ++i)
    if (p.ops[size_t(i)].kind == OpKind::Jcc) live[size_t(i)] = 1, work.push_back(i);
  while (!work.empty()) {
    const int32_t s = work.back();
    work.pop_back();
    for (int32_t q : preds[size_t(s)]) {
      if (live[size_t(q)] || (q < n && sets_flags(p.ops[size_t(q)].kind))) continue;
      live[size_t(q)] = 1;
      work.push_back(q);
    }
  }
  return live;  // live[n]: flags live at some return site
}

#if KORVA_NATIVE_BRAINS

struct NativeCode {
  using Entry = bool (*)(System* s, Machine* m, uint8_t* rec, const void* start, uint8_t* stack,
                        int32_t* stack_ops);
  std::unique_ptr<Xbyak::CodeGenerator> gen;
  std::unique_ptr<const uint8_t*[]> op_code;  // host code of each op (the ret's jump table)
  Entry entry = nullptr;
};

namespace {

using namespace Xbyak::util;
using Xbyak::Label;

// The clock check of a taken jump, called from native code with the guest registers saved.
int32_t native_time_up(Machine* m) { return machine_past_deadline(*m) ? 1 : 0; }

// Upper bound of the host bytes one op needs, with its out-of-line paths.
size_t op_bound(OpKind k) {
  switch (k) {
    case OpKind::CallKeyword: return 256;
    case OpKind::CallCode: case OpKind::Ret: case OpKind::Idiv: return 224;
    case OpKind::CmpImmBool: case OpKind::CmpVarBool: return 320;
    case OpKind::Jcc: case OpKind::Jmp: case OpKind::CmpImmJcc: case OpKind::CmpVarJcc:
    case OpKind::CmpAbsJcc: return 192;
    default: return 64;
  }
}

// The native frame below the saved registers: the System, then the guest stack's buffers
// (read from the machine at each entry, never kept in the code).
constexpr int32_t kFrame = 24, kStackSlot = 8, kStackOpsSlot = 16;

class Translator : public Xbyak::CodeGenerator {
 public:
  Translator(Machine& m, size_t bytes, const std::vector<uint8_t>& live, const uint8_t** table)
      : Xbyak::CodeGenerator(bytes, Xbyak::DontSetProtectRWE), m_(m), live_(live), table_(table) {
    setDefaultJmpNEAR(true);
  }

  void translate() {
    const std::vector<Op>& ops = m_.program.ops;
    const size_t n = ops.size();
    op_labels_.resize(n);
    prologue();
    const std::vector<int32_t> order = layout();
    for (size_t k = 0; k < order.size(); ++k) {
      const int32_t i = order[k];
      L(op_labels_[size_t(i)]);
      const int32_t after = k + 1 < order.size() ? order[k + 1] : -1;
      emit(ops[size_t(i)], after);
    }
    // Out-of-line paths; a path may add more while they are emitted.
    for (size_t i = 0; i < cold_.size(); ++i) {
      const std::function<void()> body = cold_[i];
      body();
    }
    for (size_t i = 0; i < n; ++i) table_[i] = op_labels_[i].getAddress();
    // Only the code stays: the labels and the paths' closures are no longer needed.
    cold_.clear();
    cold_labels_.clear();
    op_labels_.clear();
  }

 private:
  Machine& m_;
  const std::vector<uint8_t>& live_;
  const uint8_t** table_;
  std::vector<Label> op_labels_;
  std::deque<Label> cold_labels_;
  std::vector<std::function<void()>> cold_;
  Label exit_true_, exit_false_, fault_exit_, time_stub_;

  int32_t at(const void* field) const {
    return static_cast<int32_t>(static_cast<const char*>(field) - reinterpret_cast<const char*>(&m_));
  }
  static const Xbyak::Reg32& guest(uint8_t r) {
    static const Xbyak::Reg32 regs[] = {Xbyak::util::r8d, Xbyak::util::r9d, Xbyak::util::r10d,
                                        Xbyak::util::r11d, Xbyak::util::r13d, Xbyak::util::r14d};
    return regs[r < 6 ? r : 0];
  }
  bool live(int32_t op) const { return op >= 0 && live_[size_t(op)] != 0; }
  Xbyak::Address var(const Op& o) { return dword[rbp + o.imm]; }
  Xbyak::Address abs(const Op& o) {
    mov(rax, reinterpret_cast<uint64_t>(o.ptr));  // movabs: the host word of the operand
    return dword[rax];
  }

  // Ops in an order where most ops are followed by their next op, so that few need a jump.
  std::vector<int32_t> layout() const {
    const std::vector<Op>& ops = m_.program.ops;
    std::vector<int32_t> order;
    std::vector<uint8_t> placed(ops.size(), 0);
    for (size_t i = 0; i < ops.size(); ++i) {
      for (int32_t j = static_cast<int32_t>(i); j >= 0 && !placed[size_t(j)];) {
        placed[size_t(j)] = 1;
        order.push_back(j);
        const OpKind k = ops[size_t(j)].kind;
        j = k == OpKind::Jmp || k == OpKind::Ret || k == OpKind::Fault ? -1 : ops[size_t(j)].next;
      }
    }
    return order;
  }

  Label& cold(std::function<void()> body) {
    Label& l = cold_labels_.emplace_back();
    cold_.push_back([this, &l, body = std::move(body)] {
      L(l);
      body();
    });
    return l;
  }

  // A path that leaves with a fault: drop bytes of saved flags off the host stack, then
  // fault_exit with eax = kind, ecx = eip, edx = address (the guest esp when from_esp).
  Label& fault(FaultKind kind, uint32_t eip, uint32_t address, int32_t drop, bool from_esp = false) {
    return cold([=, this] {
      if (drop) lea(rsp, ptr[rsp + drop]);
      mov(eax, static_cast<uint32_t>(kind));
      mov(ecx, eip);
      if (from_esp) mov(edx, r15d);
      else mov(edx, address);
      jmp(fault_exit_);
    });
  }

  void store_guest() {
    for (uint8_t r = 0; r < kEdi; ++r) mov(dword[rbx + at(&m_.regs.r[r])], guest(r));
    mov(dword[rbx + at(&m_.regs.esp)], r15d);
  }
  void load_guest() {
    for (uint8_t r = 0; r <= kEdi; ++r) mov(guest(r), dword[rbx + at(&m_.regs.r[r])]);
    mov(r15d, dword[rbx + at(&m_.regs.esp)]);
  }
  void sync_out() {
    store_guest();
    mov(dword[rbx + at(&m_.regs.r[kEdi])], r14d);
    mov(qword[rbx + at(&m_.budget)], r12);
  }

  void prologue() {
    // bool entry(System* rdi, Machine* rsi, uint8_t* rec rdx, const void* start rcx,
    //            uint8_t* stack r8, int32_t* stack_ops r9)
    push(rbx);
    push(rbp);
    push(r12);
    push(r13);
    push(r14);
    push(r15);
    sub(rsp, kFrame);  // rsp is now 16-byte aligned for calls
    mov(ptr[rsp], rdi);
    mov(ptr[rsp + kStackSlot], r8);
    mov(ptr[rsp + kStackOpsSlot], r9);
    mov(rbx, rsi);
    mov(rbp, rdx);
    load_guest();
    mov(r12, qword[rbx + at(&m_.budget)]);
    xor_(eax, eax);  // the flags of a fresh call: those of 0 - 0, as the interpreter starts
    jmp(rcx);

    Label epilogue;
    L(exit_true_);
    sync_out();
    mov(eax, 1);
    jmp(epilogue);
    L(fault_exit_);
    mov(byte[rbx + at(&m_.fault.kind)], al);
    mov(dword[rbx + at(&m_.fault.eip)], ecx);
    mov(dword[rbx + at(&m_.fault.address)], edx);
    L(exit_false_);
    sync_out();
    xor_(eax, eax);
    L(epilogue);
    add(rsp, kFrame);
    pop(r15);
    pop(r14);
    pop(r13);
    pop(r12);
    pop(rbp);
    pop(rbx);
    ret();

    // eax = native_time_up(m), keeping the guest registers; any stack alignment.
    L(time_stub_);
    push(r8);
    push(r9);
    push(r10);
    push(r11);
    mov(rax, rsp);
    and_(rsp, -16);
    push(rax);
    push(rax);
    mov(rdi, rbx);
    mov(rax, reinterpret_cast<uint64_t>(&native_time_up));
    call(rax);
    mov(rsp, ptr[rsp]);
    pop(r11);
    pop(r10);
    pop(r9);
    pop(r8);
    ret();
  }

  void jump_if(Cond c, const Label& l) {
    switch (c) {
      case Cond::E: je(l); break;
      case Cond::NE: jne(l); break;
      case Cond::L: jl(l); break;
      case Cond::G: jg(l); break;
      case Cond::LE: jle(l); break;
      case Cond::GE: jge(l); break;
    }
  }
  void jump_unless(Cond c, const Label& l) {
    switch (c) {
      case Cond::E: jne(l); break;
      case Cond::NE: je(l); break;
      case Cond::L: jge(l); break;
      case Cond::G: jle(l); break;
      case Cond::LE: jg(l); break;
      case Cond::GE: jl(l); break;
    }
  }

  // A taken jump or gosub to op target, as the interpreter's JUMP: one budget step, a fault
  // when it runs out, the clock read every kTimeCheckJumps jumps or after kTimeCheckCalls
  // keyword calls. pushed: the caller saved the flags on the host stack (restored here).
  void taken(int32_t target, uint32_t eip, bool pushed) {
    const int32_t drop = pushed ? 8 : 0;
    if (target < 0) {  // the decoder gives every branch a target op; be safe all the same
      jmp(fault(FaultKind::UnknownInstruction, eip, eip, drop));
      return;
    }
    sub(r12, 1);
    js(fault(FaultKind::Budget, eip, 0, drop));
    const Label& clock = cold([=, this] {
      call(time_stub_);
      test(eax, eax);
      jnz(fault(FaultKind::TimeLimit, eip, 0, drop));
      if (pushed) popfq();
      jmp(op_labels_[size_t(target)]);
    });
    test(r12d, static_cast<uint32_t>(kTimeCheckJumps - 1));
    jz(clock);
    cmp(dword[rbx + at(&m_.calls_unchecked)], kTimeCheckCalls);
    jge(clock);
    if (pushed) popfq();
    jmp(op_labels_[size_t(target)]);
  }

  // One budget step of a taken jump that the op goes on after (inside a fused op), reported
  // at eip. Flags are not kept: the fused ops set theirs afterwards.
  void count_jump(uint32_t eip) {
    Label& go_on = cold_labels_.emplace_back();
    sub(r12, 1);
    js(fault(FaultKind::Budget, eip, 0, 0));
    const Label& clock = cold([=, this, &go_on] {
      call(time_stub_);
      test(eax, eax);
      jnz(fault(FaultKind::TimeLimit, eip, 0, 0));
      jmp(go_on);
    });
    test(r12d, static_cast<uint32_t>(kTimeCheckJumps - 1));
    jz(clock);
    cmp(dword[rbx + at(&m_.calls_unchecked)], kTimeCheckCalls);
    jge(clock);
    L(go_on);
  }

  // CmpImmBool / CmpVarBool: the comparison made into eax and the temporary, then the je.
  // The comparison's outcome that ends in the je's jump is laid out of line: loops test
  // "if i < n" and go on while it holds.
  void compare_to_boolean(const Op& o, int32_t after) {
    jump_unless(o.cond, cold([=, this] {
      mov(r8d, 0);
      mov(rax, reinterpret_cast<uint64_t>(o.ptr));
      mov(dword[rax], r8d);
      cmp(r8d, 0);  // the flags of "cmp eax, 0"; the je is taken
      const bool keep = live(o.target);
      if (keep) pushfq();
      taken(o.target, o.ret, keep);
    }));
    mov(r8d, 1);  // set before the jump, as the budget may end there
    count_jump(o.eip);  // the jump over "xor eax, eax"
    mov(rax, reinterpret_cast<uint64_t>(o.ptr));
    mov(dword[rax], r8d);
    cmp(r8d, 0);  // the je is not taken
    next(o, after);
  }

  void branch(const Op& o, int32_t after) {
    Label skip;
    jump_unless(o.cond, skip);
    const bool keep = live(o.target);
    if (keep) pushfq();
    taken(o.target, o.eip, keep);
    L(skip);
    next(o, after);
  }

  void next(const Op& o, int32_t after) {
    if (o.next < 0) jmp(fault(FaultKind::RanPastCode, o.eip, o.eip, 0));
    else if (o.next != after) jmp(op_labels_[size_t(o.next)]);
  }

  void call_code(const Op& o) {
    const bool keep = live(o.target);
    const int32_t drop = keep ? 8 : 0;
    if (keep) pushfq();
    cmp(r15d, guest::kStackBase);
    jbe(fault(FaultKind::StackOverflow, o.eip, 0, drop, true));
    sub(r15d, 4);
    mov(eax, r15d);
    sub(eax, guest::kStackBase);
    mov(rcx, qword[rsp + kStackSlot + drop]);
    mov(dword[rcx + rax], o.ret);
    mov(rcx, qword[rsp + kStackOpsSlot + drop]);
    mov(dword[rcx + rax], o.next);
    taken(o.target, o.eip, keep);
  }

  void ret_code(const Op& o) {
    const bool keep = live_.back() != 0;
    const int32_t drop = keep ? 8 : 0;
    if (keep) pushfq();
    cmp(r15d, guest::kStackTop);
    jae(fault(FaultKind::StackUnderflow, o.eip, 0, drop, true));
    mov(eax, r15d);
    sub(eax, guest::kStackBase);
    add(r15d, 4);
    mov(rcx, qword[rsp + kStackOpsSlot + drop]);
    movsxd(rax, dword[rcx + rax]);
    cmp(eax, kHostReturnOp);
    je(cold([=, this] {
      if (drop) lea(rsp, ptr[rsp + drop]);
      jmp(exit_true_);
    }));
    mov(rcx, reinterpret_cast<uint64_t>(table_));
    mov(rax, qword[rcx + rax * 8]);
    if (keep) popfq();
    jmp(rax);
  }

  void call_keyword(const Op& o) {
    const bool keep = live(o.next);
    const int32_t drop = keep ? 16 : 0;  // the flags and a word that keeps rsp aligned
    if (keep) {
      pushfq();
      lea(rsp, ptr[rsp - 8]);
    }
    store_guest();
    mov(dword[rbx + at(&m_.regs.eip)], o.eip);
    mov(rax, qword[rbx + at(&m_.keywords.routine[o.imm])]);
    test(rax, rax);
    Label& done = cold_labels_.emplace_back();
    jz(cold([&done, this] {
      mov(r8d, 0);  // not available: answers 0
      jmp(done);
    }));
    inc(dword[rbx + at(&m_.calls_unchecked)]);
    mov(qword[rbx + at(&m_.budget)], r12);
    mov(rdi, ptr[rsp + drop]);
    lea(rsi, ptr[rbx + at(&m_.regs)]);
    call(rax);
    mov(dword[rbx + at(&m_.regs.r[kEdi])], r14d);  // keyword routines preserve edi
    load_guest();
    mov(r12, qword[rbx + at(&m_.budget)]);
    cmp(byte[rbx + at(&m_.fault.kind)], 0);
    jne(cold([=, this] {  // a fault raised inside (execute) ends this brain too
      if (drop) lea(rsp, ptr[rsp + drop]);
      jmp(exit_false_);
    }));
    L(done);
    if (keep) {
      lea(rsp, ptr[rsp + 8]);
      popfq();
    }
  }

  // edx:eax / divisor as the interpreter divides: a zero divisor or a quotient beyond 32 bits
  // gives eax = 2147483647, edx = 0; flags unchanged.
  void idiv_code(const Op& o) {
    const bool keep = live(o.next);
    if (keep) pushfq();
    Label wide, div32, div64, bad, done;
    mov(ecx, guest(o.b));
    mov(eax, r8d);
    cdq();
    cmp(edx, r11d);
    jne(wide);  // edx is not the sign of eax: a 64-bit dividend
    test(ecx, ecx);
    jz(bad);
    cmp(ecx, -1);
    jne(div32);
    cmp(eax, INT_MIN);
    je(bad);
    L(div32);
    idiv(ecx);
    mov(r8d, eax);
    mov(r11d, edx);
    jmp(done);
    L(wide);
    mov(eax, r8d);
    mov(edx, r11d);
    shl(rdx, 32);
    or_(rax, rdx);
    movsxd(rcx, ecx);
    test(rcx, rcx);
    jz(bad);
    cmp(rcx, -1);
    jne(div64);
    mov(rdx, uint64_t(1) << 63);
    cmp(rax, rdx);
    je(bad);
    L(div64);
    cqo();
    idiv(rcx);
    movsxd(rcx, eax);
    cmp(rcx, rax);
    jne(bad);  // the quotient does not fit in 32 bits
    mov(r8d, eax);
    mov(r11d, edx);
    jmp(done);
    L(bad);
    mov(r8d, INT_MAX);
    mov(r11d, 0);
    L(done);
    if (keep) popfq();
  }

  void emit(const Op& o, int32_t after) {
    const Xbyak::Reg32& a = guest(o.a);
    switch (o.kind) {
      case OpKind::MovImm: mov(a, o.imm); break;
      case OpKind::MovVar: mov(a, var(o)); break;
      case OpKind::MovAbs: mov(a, abs(o)); break;
      case OpKind::MovReg: mov(a, guest(o.b)); break;
      case OpKind::MovEdi: mov(a, r14d); break;
      case OpKind::StoreVar: mov(var(o), guest(o.b)); break;
      case OpKind::StoreAbs: mov(abs(o), guest(o.b)); break;
      case OpKind::AddImm: add(a, o.imm); break;
      case OpKind::AddVar: add(a, var(o)); break;
      case OpKind::AddAbs: add(a, abs(o)); break;
      case OpKind::SubImm: sub(a, o.imm); break;
      case OpKind::SubVar: sub(a, var(o)); break;
      case OpKind::SubAbs: sub(a, abs(o)); break;
      case OpKind::OrImm: or_(a, o.imm); break;
      case OpKind::OrVar: or_(a, var(o)); break;
      case OpKind::OrAbs: or_(a, abs(o)); break;
      case OpKind::OrReg: or_(a, guest(o.b)); break;
      case OpKind::AndImm: and_(a, o.imm); break;
      case OpKind::AndVar: and_(a, var(o)); break;
      case OpKind::AndAbs: and_(a, abs(o)); break;
      case OpKind::AndReg: and_(a, guest(o.b)); break;
      case OpKind::XorImm: xor_(a, o.imm); break;
      case OpKind::XorVar: xor_(a, var(o)); break;
      case OpKind::XorAbs: xor_(a, abs(o)); break;
      case OpKind::XorReg: xor_(a, guest(o.b)); break;
      case OpKind::CmpImm: cmp(a, o.imm); break;
      case OpKind::CmpVar: cmp(a, var(o)); break;
      case OpKind::CmpAbs: cmp(a, abs(o)); break;
      case OpKind::ImulImm: imul(a, a, o.imm); test(a, a); break;
      case OpKind::ImulVar: imul(a, var(o)); test(a, a); break;
      case OpKind::ImulAbs: imul(a, abs(o)); test(a, a); break;
      case OpKind::Neg: neg(a); break;
      case OpKind::Cdq:
        mov(eax, r8d);
        cdq();
        mov(r11d, edx);
        break;
      case OpKind::Idiv: idiv_code(o); break;
      case OpKind::Jcc: branch(o, after); return;
      case OpKind::CmpImmJcc: cmp(a, o.imm); branch(o, after); return;
      case OpKind::CmpVarJcc: cmp(a, var(o)); branch(o, after); return;
      case OpKind::CmpAbsJcc: cmp(a, abs(o)); branch(o, after); return;
      case OpKind::CmpImmBool: cmp(a, o.imm); compare_to_boolean(o, after); return;
      case OpKind::CmpVarBool: cmp(a, var(o)); compare_to_boolean(o, after); return;
      case OpKind::Jmp: {
        const bool keep = live(o.target);
        if (keep) pushfq();
        taken(o.target, o.eip, keep);
        return;
      }
      case OpKind::CallCode: call_code(o); return;
      case OpKind::Ret: ret_code(o); return;
      case OpKind::CallKeyword: call_keyword(o); break;
      case OpKind::Nop: break;
      case OpKind::Fault:
        mov(eax, static_cast<uint32_t>(o.imm));
        mov(ecx, o.eip);
        mov(edx, o.ret);
        jmp(fault_exit_);
        return;
    }
    next(o, after);
  }
};

}  // namespace

std::shared_ptr<NativeCode> native_translate(Machine& m) {
  const Program& p = m.program;
  if (p.ops.empty()) return nullptr;
  size_t bytes = 4096;
  for (const Op& o : p.ops) bytes += op_bound(o.kind);
  bytes = (bytes + 4095) & ~size_t(4095);
  try {
    auto code = std::make_shared<NativeCode>();
    code->op_code = std::make_unique<const uint8_t*[]>(p.ops.size());
    const std::vector<uint8_t> live = native_flags_live(p);
    auto t = std::make_unique<Translator>(m, bytes, live, code->op_code.get());
    t->translate();
    // Written while only writable; from now on only executable.
    t->setProtectModeRE();
    code->entry = t->getCode<NativeCode::Entry>();
    code->gen = std::move(t);
    return code;
  } catch (const std::exception&) {
    return nullptr;  // no executable memory, or an op larger than its bound: interpret
  }
}

bool native_run(System& s, const NativeCode& code, int32_t pc, uint8_t* rec) {
  Machine& m = *s.machine;
  return code.entry(&s, &m, rec, code.op_code[size_t(pc)], m.stack.data(), m.stack_ops.data());
}

size_t native_code_bytes(const NativeCode& code) { return code.gen->getSize(); }

#else  // no native back end on this host

struct NativeCode {};

std::shared_ptr<NativeCode> native_translate(Machine&) { return nullptr; }
bool native_run(System&, const NativeCode&, int32_t, uint8_t*) { return false; }
size_t native_code_bytes(const NativeCode&) { return 0; }

#endif

}  // namespace korva
