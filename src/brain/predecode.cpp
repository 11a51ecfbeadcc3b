// Pre-decoding: turns the CodeBuffer bytes reachable from the brain entries into Ops, using
// the one instruction table of x86.h. Operands are resolved here once: absolute memory
// operands become host pointers (or a fault op when outside the map), branch and call targets
// become op indices (or a fault op when outside the code), calls of keyword entries become
// keyword calls, nops are skipped, and a compare followed by its conditional jump is fused.
#include <bitset>
#include <cstring>

#include "brain/machine.h"
#include "brain/native.h"
#include "model/instance_record.h"

namespace korva {

namespace {

using x86::Ins;

// The highest edi-relative offset whose 4-byte word still lies inside the instance record.
constexpr int32_t kLastRecordWord = kInstanceRecordBytes - 4;

struct Decoder {
  System& s;
  Machine& m;
  const uint8_t* code;
  uint32_t size;
  std::vector<uint32_t> work;  // instruction starts still to decode (CodeBuffer offsets)

  int32_t new_op(const Op& op) {
    m.program.ops.push_back(op);
    return static_cast<int32_t>(m.program.ops.size()) - 1;
  }

  Op fault_op(FaultKind kind, uint32_t eip, uint32_t address) {
    Op f;
    f.kind = OpKind::Fault;
    f.imm = static_cast<int32_t>(kind);
    f.eip = eip;
    f.ret = address;
    return f;
  }

  // The op index of the instruction at guest address addr, queued for decoding; -1 when addr
  // is outside the compiled code.
  int32_t op_for(uint32_t addr) {
    uint32_t off = addr - guest::kCodeBufferBase;
    if (off >= size) return -1;
    int32_t& slot = m.program.op_at[off];
    if (slot < 0) {
      slot = new_op(Op{});
      work.push_back(off);
    }
    return slot;
  }

  // The op index of a branch target, or a new fault op when the target is outside the code.
  int32_t target_op(uint32_t eip, uint32_t target) {
    int32_t t = op_for(target);
    return t >= 0 ? t : new_op(fault_op(FaultKind::JumpOutsideCode, eip, target));
  }

  // Fills op for an absolute memory operand; a word outside the map (or not writable for a
  // store) makes it a fault op.
  void set_abs(Op& op, OpKind kind, uint32_t eip, uint32_t addr, Access access) {
    uint8_t* p = guest_translate(m.memory, addr, 4, access);
    if (!p || reinterpret_cast<uintptr_t>(p) % alignof(int32_t) != 0) {
      // Unaligned words are legal x86 but never emitted; treating them as outside the map
      // keeps every Abs access a plain aligned host load.
      op = fault_op(FaultKind::MemoryOutsideMap, eip, addr);
      return;
    }
    op.kind = kind;
    op.ptr = reinterpret_cast<int32_t*>(p);
  }

  // Fills op for an edi-relative operand; offsets that leave the record make it a fault op.
  void set_var(Op& op, OpKind kind, uint32_t eip, uint32_t disp) {
    int32_t d = static_cast<int32_t>(disp);
    if (d < 0 || d > kLastRecordWord) {
      op = fault_op(FaultKind::VariableOutsideRecord, eip, disp);
      return;
    }
    op.kind = kind;
    op.imm = d;
  }

  void decode_at(uint32_t off) {
    const uint32_t eip = guest::kCodeBufferBase + off;
    Op op;
    op.eip = eip;
    Ins ins{};
    uint32_t operand = 0;
    int32_t len = x86::decode(code + off, size - off, ins, operand);
    if (len == 0) {
      m.program.ops[m.program.op_at[off]] = fault_op(FaultKind::UnknownInstruction, eip, eip);
      return;
    }
    const uint32_t next_addr = eip + static_cast<uint32_t>(len);
    const int32_t imm = static_cast<int32_t>(operand);
    const auto reg_of = [](Ins form, Ins first) {
      return static_cast<uint8_t>(static_cast<int32_t>(form) - static_cast<int32_t>(first));
    };
    constexpr uint8_t eax = static_cast<uint8_t>(x86::Reg::eax);
    constexpr uint8_t ebx = static_cast<uint8_t>(x86::Reg::ebx);
    constexpr uint8_t ecx = static_cast<uint8_t>(x86::Reg::ecx);
    bool falls_through = true;

    switch (ins) {
      case Ins::mov_eax_imm: case Ins::mov_ebx_imm: case Ins::mov_ecx_imm:
      case Ins::mov_edx_imm: case Ins::mov_esi_imm:
        op.kind = OpKind::MovImm, op.a = reg_of(ins, Ins::mov_eax_imm), op.imm = imm;
        break;
      case Ins::mov_eax_var: case Ins::mov_ebx_var: case Ins::mov_ecx_var:
      case Ins::mov_edx_var: case Ins::mov_esi_var:
        op.a = reg_of(ins, Ins::mov_eax_var);
        set_var(op, OpKind::MovVar, eip, operand);
        break;
      case Ins::mov_eax_edi: case Ins::mov_ebx_edi: case Ins::mov_ecx_edi:
      case Ins::mov_edx_edi: case Ins::mov_esi_edi:
        op.kind = OpKind::MovEdi, op.a = reg_of(ins, Ins::mov_eax_edi);
        break;
      case Ins::add_eax_imm: case Ins::add_ebx_imm: case Ins::add_ecx_imm:
      case Ins::add_edx_imm: case Ins::add_esi_imm:
        op.kind = OpKind::AddImm, op.a = reg_of(ins, Ins::add_eax_imm), op.imm = imm;
        break;
      case Ins::mov_eax_abs: case Ins::mov_ebx_abs: case Ins::mov_ecx_abs:
      case Ins::mov_edx_abs: case Ins::mov_esi_abs:
        op.a = reg_of(ins, Ins::mov_eax_abs);
        set_abs(op, OpKind::MovAbs, eip, operand, Access::Read);
        break;
      case Ins::neg_eax: case Ins::neg_ebx: case Ins::neg_ecx: case Ins::neg_edx:
      case Ins::neg_esi:
        op.kind = OpKind::Neg, op.a = reg_of(ins, Ins::neg_eax);
        break;
      case Ins::mov_abs_eax: op.b = eax, set_abs(op, OpKind::StoreAbs, eip, operand, Access::Write); break;
      case Ins::mov_var_eax: op.b = eax, set_var(op, OpKind::StoreVar, eip, operand); break;
      case Ins::cdq: op.kind = OpKind::Cdq; break;
      case Ins::idiv_ecx: op.kind = OpKind::Idiv, op.b = ecx; break;
      case Ins::imul_eax_imm: op.kind = OpKind::ImulImm, op.a = eax, op.imm = imm; break;
      case Ins::imul_eax_var: op.a = eax, set_var(op, OpKind::ImulVar, eip, operand); break;
      case Ins::imul_eax_abs: op.a = eax, set_abs(op, OpKind::ImulAbs, eip, operand, Access::Read); break;
      case Ins::sub_eax_imm: op.kind = OpKind::SubImm, op.a = eax, op.imm = imm; break;
      case Ins::sub_eax_var: op.a = eax, set_var(op, OpKind::SubVar, eip, operand); break;
      case Ins::sub_eax_abs: op.a = eax, set_abs(op, OpKind::SubAbs, eip, operand, Access::Read); break;
      case Ins::add_eax_imm_short: op.kind = OpKind::AddImm, op.a = eax, op.imm = imm; break;
      case Ins::add_eax_var: op.a = eax, set_var(op, OpKind::AddVar, eip, operand); break;
      case Ins::add_eax_abs: op.a = eax, set_abs(op, OpKind::AddAbs, eip, operand, Access::Read); break;
      case Ins::or_eax_imm: op.kind = OpKind::OrImm, op.a = eax, op.imm = imm; break;
      case Ins::or_eax_var: op.a = eax, set_var(op, OpKind::OrVar, eip, operand); break;
      case Ins::or_eax_abs: op.a = eax, set_abs(op, OpKind::OrAbs, eip, operand, Access::Read); break;
      case Ins::or_eax_ebx: op.kind = OpKind::OrReg, op.a = eax, op.b = ebx; break;
      case Ins::and_eax_imm: op.kind = OpKind::AndImm, op.a = eax, op.imm = imm; break;
      case Ins::and_eax_var: op.a = eax, set_var(op, OpKind::AndVar, eip, operand); break;
      case Ins::and_eax_abs: op.a = eax, set_abs(op, OpKind::AndAbs, eip, operand, Access::Read); break;
      case Ins::and_eax_ebx: op.kind = OpKind::AndReg, op.a = eax, op.b = ebx; break;
      case Ins::xor_eax_imm: op.kind = OpKind::XorImm, op.a = eax, op.imm = imm; break;
      case Ins::xor_eax_var: op.a = eax, set_var(op, OpKind::XorVar, eip, operand); break;
      case Ins::xor_eax_abs: op.a = eax, set_abs(op, OpKind::XorAbs, eip, operand, Access::Read); break;
      case Ins::xor_eax_ebx: op.kind = OpKind::XorReg, op.a = eax, op.b = ebx; break;
      case Ins::xor_eax_eax: op.kind = OpKind::XorReg, op.a = eax, op.b = eax; break;
      case Ins::mov_ebx_eax: op.kind = OpKind::MovReg, op.a = ebx, op.b = eax; break;
      case Ins::cmp_ebx_imm: op.kind = OpKind::CmpImm, op.a = ebx, op.imm = imm; break;
      case Ins::cmp_ebx_var: op.a = ebx, set_var(op, OpKind::CmpVar, eip, operand); break;
      case Ins::cmp_ebx_abs: op.a = ebx, set_abs(op, OpKind::CmpAbs, eip, operand, Access::Read); break;
      case Ins::cmp_eax_zero: op.kind = OpKind::CmpImm, op.a = eax, op.imm = 0; break;
      case Ins::je_short: case Ins::je_near: op.kind = OpKind::Jcc, op.cond = Cond::E; break;
      case Ins::jne_short: op.kind = OpKind::Jcc, op.cond = Cond::NE; break;
      case Ins::jl_short: op.kind = OpKind::Jcc, op.cond = Cond::L; break;
      case Ins::jg_short: op.kind = OpKind::Jcc, op.cond = Cond::G; break;
      case Ins::jle_short: op.kind = OpKind::Jcc, op.cond = Cond::LE; break;
      case Ins::jge_short: op.kind = OpKind::Jcc, op.cond = Cond::GE; break;
      case Ins::jmp_near: op.kind = OpKind::Jmp, falls_through = false; break;
      case Ins::call_near: {
        uint32_t target = next_addr + operand;
        int32_t row = keyword_at_address(target);
        if (row >= 0) {
          op.kind = OpKind::CallKeyword, op.imm = row;
        } else {
          op.kind = OpKind::CallCode, op.ret = next_addr;
          op.target = target_op(eip, target);
        }
        break;
      }
      case Ins::ret: op.kind = OpKind::Ret, falls_through = false; break;
      case Ins::nop: op.kind = OpKind::Nop; break;
      case Ins::count: break;
    }
    if (op.kind == OpKind::Jcc || op.kind == OpKind::Jmp) op.target = target_op(eip, next_addr + operand);
    if (op.kind == OpKind::Fault) falls_through = false;
    if (falls_through) {
      op.next = op_for(next_addr);
      if (op.next < 0) op.next = new_op(fault_op(FaultKind::RanPastCode, eip, next_addr));
    }
    m.program.ops[m.program.op_at[off]] = op;
  }

  // Follows a chain of nops to the first op that does something.
  int32_t skip_nops(int32_t i) const {
    const std::vector<Op>& ops = m.program.ops;
    // Nops always fall through forward (or into a fault op), so the chain ends.
    while (i >= 0 && ops[i].kind == OpKind::Nop) i = ops[i].next;
    return i;
  }

  void link() {
    std::vector<Op>& ops = m.program.ops;
    for (Op& op : ops) {
      op.next = skip_nops(op.next);
      op.target = skip_nops(op.target);
    }
    // A compare whose next op is a conditional jump becomes one op; the jump stays in place
    // for any branch that enters it directly.
    for (Op& op : ops) {
      if (op.next < 0 || ops[op.next].kind != OpKind::Jcc) continue;
      const Op& j = ops[op.next];
      OpKind fused;
      switch (op.kind) {
        case OpKind::CmpImm: fused = OpKind::CmpImmJcc; break;
        case OpKind::CmpVar: fused = OpKind::CmpVarJcc; break;
        case OpKind::CmpAbs: fused = OpKind::CmpAbsJcc; break;
        default: continue;
      }
      op.kind = fused;
      op.cond = j.cond;
      op.target = j.target;
      op.next = j.next;
    }
    if (m.peephole) {
      fuse_booleans();
      skip_reloads();
    }
  }

  // The peephole pass, second part: a load of the word just stored from the same register
  // ("mov [x], eax / mov eax, [x]", as the compiler emits for every temporary) changes nothing,
  // so the store goes on after it. The load stays in place for branches that enter it.
  void skip_reloads() {
    std::vector<Op>& ops = m.program.ops;
    for (Op& store : ops) {
      for (;;) {
        if (store.next < 0 || (store.kind != OpKind::StoreAbs && store.kind != OpKind::StoreVar)) break;
        const Op& load = ops[size_t(store.next)];
        const bool same_word = store.kind == OpKind::StoreAbs
                                   ? load.kind == OpKind::MovAbs && load.ptr == store.ptr
                                   : load.kind == OpKind::MovVar && load.imm == store.imm;
        if (!same_word || load.a != store.b) break;
        store.next = load.next;
        ++m.program.skipped_reloads;
      }
    }
  }

  // The peephole pass, first part: "mov eax, 1 / cmp reg, src + jcc over / xor eax, eax /
  // over: mov [temp], eax / cmp eax, 0 + je target" becomes one CmpImmBool or CmpVarBool at the
  // mov's place (predecoded.h). The compiled bytes stay as they are; only what runs changes.
  // Temporaries are still stored: they are guest memory that a brain could read.
  void fuse_booleans() {
    std::vector<Op>& ops = m.program.ops;
    const auto at = [&](int32_t i) -> const Op* { return i >= 0 ? &ops[size_t(i)] : nullptr; };
    for (Op& mov : ops) {
      if (mov.kind != OpKind::MovImm || mov.a != 0 || mov.imm != 1) continue;
      const Op* cmp = at(mov.next);
      if (!cmp || (cmp->kind != OpKind::CmpImmJcc && cmp->kind != OpKind::CmpVarJcc) || cmp->a == 0) continue;
      const Op* zero = at(cmp->next);
      if (!zero || zero->kind != OpKind::XorReg || zero->a != 0 || zero->b != 0) continue;
      const Op* keep = at(zero->next);
      if (!keep || cmp->target != zero->next || keep->kind != OpKind::StoreAbs || keep->b != 0) continue;
      const Op* test = at(keep->next);
      if (!test || test->kind != OpKind::CmpImmJcc || test->a != 0 || test->imm != 0 || test->cond != Cond::E)
        continue;
      Op f;
      f.kind = cmp->kind == OpKind::CmpImmJcc ? OpKind::CmpImmBool : OpKind::CmpVarBool;
      f.a = cmp->a;
      f.imm = cmp->imm;
      f.cond = cmp->cond;
      f.ptr = keep->ptr;
      f.eip = cmp->eip;
      f.ret = test->eip;
      f.target = test->target;
      f.next = test->next;
      mov = f;
      ++m.program.fused_booleans;
    }
  }
};

}  // namespace

void machine_predecode_from(System& s, const std::vector<uint32_t>& entries) {
  Machine& m = *s.machine;
  Program& p = m.program;
  const BrainState& b = *s.brain;
  p.code_size = b.out < b.code.size() ? b.out : static_cast<uint32_t>(b.code.size());
  p.ops.clear();
  p.op_at.assign(p.code_size, -1);
  p.fused_booleans = 0;
  p.skipped_reloads = 0;

  Decoder d{s, m, b.code.data(), p.code_size, {}};
  for (uint32_t e : entries) d.op_for(e);
  while (!d.work.empty()) {
    uint32_t off = d.work.back();
    d.work.pop_back();
    d.decode_at(off);
  }
  d.link();
  for (Op& op : p.ops) {
    op.next_op = op.next >= 0 ? &p.ops[op.next] : nullptr;
    op.target_op = op.target >= 0 ? &p.ops[op.target] : nullptr;
  }
  p.handlers_set = false;
  m.native = m.back_end == BackEnd::Native ? native_translate(m) : nullptr;
}

std::vector<std::string> machine_unbound_keywords(const Machine& m) {
  std::bitset<kKeywordRows> called;
  for (const Op& op : m.program.ops)
    if (op.kind == OpKind::CallKeyword && op.imm >= 0 && op.imm < kKeywordRows && !m.keywords.routine[op.imm])
      called[size_t(op.imm)] = true;
  std::vector<std::string> names;
  for (int32_t row = 0; row < kKeywordRows; ++row)
    if (called[size_t(row)]) names.emplace_back(keyword_row(row).name);
  return names;
}

void machine_predecode(System& s) {
  std::vector<uint32_t> entries;
  const uint8_t* records = s.core->pool(Pool::Instances);
  for (int32_t i = 0; i < kInstanceRecords; ++i)
    entries.push_back(static_cast<uint32_t>(ir_get(records + i * kInstanceRecordBytes, ir::kBrainEntry)));
  machine_predecode_from(s, entries);
}

}  // namespace korva
