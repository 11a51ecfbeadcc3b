// Code generation for operands, binary operations and comparisons: the exact x86 bytes of the
// brain calling convention (see x86.h for the register roles).
#include "brain/brain_local.h"

namespace korva {

using x86::Ins;
using x86::Reg;

namespace {

void load_element(Compiler& k, Reg r, int32_t v) {
  x86::emit_mov_reg_edi(k.w, r);
  x86::emit_add_reg_imm(k.w, r, v);
}

// The left operand of a binary operation into eax: like an argument load, but a string
// literal loads nothing.
void load_left(Compiler& k, const OperandValue& v) {
  if (v.kind == OperandKind::StringLiteral) return;
  gen_load_argument(k, Reg::eax, v);
}

// The forms of one arithmetic or bitwise operator by kind of its right operand.
struct OpForms {
  char op;
  Ins imm, var, abs;
};
constexpr OpForms kOpForms[] = {
    {'*', Ins::imul_eax_imm, Ins::imul_eax_var, Ins::imul_eax_abs},
    {'-', Ins::sub_eax_imm, Ins::sub_eax_var, Ins::sub_eax_abs},
    {'+', Ins::add_eax_imm_short, Ins::add_eax_var, Ins::add_eax_abs},
    {kOr, Ins::or_eax_imm, Ins::or_eax_var, Ins::or_eax_abs},
    {kAnd, Ins::and_eax_imm, Ins::and_eax_var, Ins::and_eax_abs},
    {kXor, Ins::xor_eax_imm, Ins::xor_eax_var, Ins::xor_eax_abs},
};

// The register-to-register form that completes a negated bitwise operand (in ebx).
Ins bitwise_with_ebx(char op) {
  if (op == kOr) return Ins::or_eax_ebx;
  if (op == kAnd) return Ins::and_eax_ebx;
  return Ins::xor_eax_ebx;
}

// The short jump over "xor eax, eax" taken when the comparison holds; reversed is for a negated
// right operand (ebx was negated, so the order turns round).
Ins comparison_jump(char op, bool reversed) {
  switch (op) {
    case '=': return Ins::je_short;
    case '!': return Ins::jne_short;
    case '<': return reversed ? Ins::jg_short : Ins::jl_short;
    case '>': return reversed ? Ins::jl_short : Ins::jg_short;
    case kLessEqual: return reversed ? Ins::jge_short : Ins::jle_short;
    default: return reversed ? Ins::jle_short : Ins::jge_short;  // greater or equal
  }
}

void gen_division(Compiler& k, const OperandValue& r) {
  switch (r.kind) {
    case OperandKind::Constant: x86::emit_mov_reg_imm(k.w, Reg::ecx, r.value); break;
    case OperandKind::Variable:
      x86::emit_mov_reg_var(k.w, Reg::ecx, r.value);
      if (r.neg) x86::emit_neg(k.w, Reg::ecx);
      break;
    case OperandKind::Temporary:
      x86::emit_mov_reg_abs(k.w, Reg::ecx, static_cast<uint32_t>(r.value));
      if (r.neg) x86::emit_neg(k.w, Reg::ecx);
      break;
    default: break;  // a string literal loads nothing
  }
  x86::emit(k.w, Ins::cdq);
  x86::emit(k.w, Ins::idiv_ecx);
}

void gen_arithmetic(Compiler& k, const OpForms& f, const OperandValue& r) {
  uint32_t v = static_cast<uint32_t>(r.value);
  if (r.kind == OperandKind::Constant) {
    x86::emit(k.w, f.imm, v);
    return;
  }
  if (r.kind != OperandKind::Variable && r.kind != OperandKind::Temporary) return;
  bool var = r.kind == OperandKind::Variable;
  if (f.op == '*') {
    // a * (-m) = -(a * m)
    x86::emit(k.w, var ? f.var : f.abs, v);
    if (r.neg) x86::emit_neg(k.w, Reg::eax);
  } else if (f.op == '-' || f.op == '+') {
    // a - (-m) = -(-a - m) and a + (-m) = -(-a + m)
    if (r.neg) x86::emit_neg(k.w, Reg::eax);
    x86::emit(k.w, var ? f.var : f.abs, v);
    if (r.neg) x86::emit_neg(k.w, Reg::eax);
  } else if (!r.neg) {
    x86::emit(k.w, var ? f.var : f.abs, v);
  } else {
    // The negated operand goes through ebx.
    if (var)
      x86::emit_mov_reg_var(k.w, Reg::ebx, r.value);
    else
      x86::emit_mov_reg_abs(k.w, Reg::ebx, v);
    x86::emit_neg(k.w, Reg::ebx);
    x86::emit(k.w, bitwise_with_ebx(f.op));
  }
}

void gen_comparison(Compiler& k, char op, const OperandValue& r) {
  x86::emit(k.w, Ins::mov_ebx_eax);
  x86::emit_mov_reg_imm(k.w, Reg::eax, 1);
  bool reversed = false;
  switch (r.kind) {
    case OperandKind::Constant: x86::emit(k.w, Ins::cmp_ebx_imm, static_cast<uint32_t>(r.value)); break;
    case OperandKind::Variable:
    case OperandKind::Temporary:
      if (r.neg) x86::emit_neg(k.w, Reg::ebx);
      reversed = r.neg;
      x86::emit(k.w, r.kind == OperandKind::Variable ? Ins::cmp_ebx_var : Ins::cmp_ebx_abs,
                static_cast<uint32_t>(r.value));
      break;
    default: break;  // a string literal loads nothing
  }
  x86::emit(k.w, comparison_jump(op, reversed), 2);
  x86::emit(k.w, Ins::xor_eax_eax);
}

}  // namespace

void gen_load_argument(Compiler& k, Reg r, const OperandValue& v) {
  switch (v.kind) {
    case OperandKind::Constant:
    case OperandKind::StringLiteral: x86::emit_mov_reg_imm(k.w, r, v.value); break;
    case OperandKind::Variable:
      x86::emit_mov_reg_var(k.w, r, v.value);
      if (v.neg) x86::emit_neg(k.w, r);
      break;
    case OperandKind::ElementAddress: load_element(k, r, v.value); break;
    case OperandKind::Temporary:
      x86::emit_mov_reg_abs(k.w, r, static_cast<uint32_t>(v.value));
      if (v.neg) x86::emit_neg(k.w, r);
      break;
  }
}

void gen_load_result(Compiler& k, const OperandValue& v) {
  // A temporary already holds the value that is in eax; a string literal has no value here.
  if (v.kind == OperandKind::Temporary || v.kind == OperandKind::StringLiteral) return;
  gen_load_argument(k, Reg::eax, v);
}

void gen_binary(Compiler& k, char op, const OperandValue& left, const OperandValue& right) {
  load_left(k, left);
  if (op == '/') {
    gen_division(k, right);
    return;
  }
  for (const OpForms& f : kOpForms) {
    if (f.op == op) {
      gen_arithmetic(k, f, right);
      return;
    }
  }
  gen_comparison(k, op, right);
}

void gen_store_temporary(Compiler& k, int32_t t) { x86::emit_store_abs(k.w, temporary_address(t)); }

}  // namespace korva
