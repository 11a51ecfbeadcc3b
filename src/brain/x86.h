// The x86 instruction subset of compiled brains: one table that the code generator's emit
// helpers, the disassembler and the machine's decoder share.
//
// Register roles in compiled code: edi holds the current instance record for the whole run of a
// brain and is never changed; eax is the result register and parameter 1; ebx, ecx, edx, esi
// are parameters 2..5, and ebx and ecx are also the scratch registers of comparisons and
// division. No value lives in a register across a call except edi.
#pragma once
#include <cstdint>
#include <string>

namespace korva::x86 {

// The five parameter registers, in parameter order. Rows of the table that exist for every
// register are listed in this order, so row + register index selects the form.
enum class Reg : uint8_t { eax, ebx, ecx, edx, esi };
constexpr int32_t kParamRegs = 5;

// What follows the fixed bytes of an instruction.
enum class Operand : uint8_t {
  None,
  Imm32,   // immediate value
  Disp32,  // displacement from edi (a brain variable or another element's word)
  Abs32,   // absolute guest address (a temporary)
  Rel8,    // jump displacement from the next instruction
  Rel32,   // jump or call displacement from the next instruction
};

// name, operand, mnemonic ("#" stands for the operand), fixed bytes. 0x3E is the DS segment
// prefix: it has no effect in a flat address space but is part of every memory operand.
#define KORVA_X86_INSTRUCTIONS(X)                                        \
  X(mov_eax_imm, Imm32, "mov eax, #", 0xB8)                              \
  X(mov_ebx_imm, Imm32, "mov ebx, #", 0xBB)                              \
  X(mov_ecx_imm, Imm32, "mov ecx, #", 0xB9)                              \
  X(mov_edx_imm, Imm32, "mov edx, #", 0xBA)                              \
  X(mov_esi_imm, Imm32, "mov esi, #", 0xBE)                              \
  X(mov_eax_var, Disp32, "mov eax, ds:[edi#]", 0x3E, 0x8B, 0x87)         \
  X(mov_ebx_var, Disp32, "mov ebx, ds:[edi#]", 0x3E, 0x8B, 0x9F)         \
  X(mov_ecx_var, Disp32, "mov ecx, ds:[edi#]", 0x3E, 0x8B, 0x8F)         \
  X(mov_edx_var, Disp32, "mov edx, ds:[edi#]", 0x3E, 0x8B, 0x97)         \
  X(mov_esi_var, Disp32, "mov esi, ds:[edi#]", 0x3E, 0x8B, 0xB7)         \
  X(mov_eax_edi, None, "mov eax, edi", 0x8B, 0xC7)                       \
  X(mov_ebx_edi, None, "mov ebx, edi", 0x8B, 0xDF)                       \
  X(mov_ecx_edi, None, "mov ecx, edi", 0x8B, 0xCF)                       \
  X(mov_edx_edi, None, "mov edx, edi", 0x8B, 0xD7)                       \
  X(mov_esi_edi, None, "mov esi, edi", 0x8B, 0xF7)                       \
  X(add_eax_imm, Imm32, "add eax, #", 0x81, 0xC0)                        \
  X(add_ebx_imm, Imm32, "add ebx, #", 0x81, 0xC3)                        \
  X(add_ecx_imm, Imm32, "add ecx, #", 0x81, 0xC1)                        \
  X(add_edx_imm, Imm32, "add edx, #", 0x81, 0xC2)                        \
  X(add_esi_imm, Imm32, "add esi, #", 0x81, 0xC6)                        \
  X(mov_eax_abs, Abs32, "mov eax, ds:[#]", 0x3E, 0x8B, 0x05)             \
  X(mov_ebx_abs, Abs32, "mov ebx, ds:[#]", 0x3E, 0x8B, 0x1D)             \
  X(mov_ecx_abs, Abs32, "mov ecx, ds:[#]", 0x3E, 0x8B, 0x0D)             \
  X(mov_edx_abs, Abs32, "mov edx, ds:[#]", 0x3E, 0x8B, 0x15)             \
  X(mov_esi_abs, Abs32, "mov esi, ds:[#]", 0x3E, 0x8B, 0x35)             \
  X(neg_eax, None, "neg eax", 0xF7, 0xD8)                                \
  X(neg_ebx, None, "neg ebx", 0xF7, 0xDB)                                \
  X(neg_ecx, None, "neg ecx", 0xF7, 0xD9)                                \
  X(neg_edx, None, "neg edx", 0xF7, 0xDA)                                \
  X(neg_esi, None, "neg esi", 0xF7, 0xDE)                                \
  X(mov_abs_eax, Abs32, "mov ds:[#], eax", 0x3E, 0xA3)                   \
  X(mov_var_eax, Disp32, "mov ds:[edi#], eax", 0x3E, 0x89, 0x87)         \
  X(cdq, None, "cdq", 0x99)                                              \
  X(idiv_ecx, None, "idiv ecx", 0xF7, 0xF9)                              \
  X(imul_eax_imm, Imm32, "imul eax, eax, #", 0x69, 0xC0)                 \
  X(imul_eax_var, Disp32, "imul eax, ds:[edi#]", 0x3E, 0x0F, 0xAF, 0x87) \
  X(imul_eax_abs, Abs32, "imul eax, ds:[#]", 0x3E, 0x0F, 0xAF, 0x05)     \
  X(sub_eax_imm, Imm32, "sub eax, #", 0x2D)                              \
  X(sub_eax_var, Disp32, "sub eax, ds:[edi#]", 0x3E, 0x2B, 0x87)         \
  X(sub_eax_abs, Abs32, "sub eax, ds:[#]", 0x3E, 0x2B, 0x05)             \
  X(add_eax_imm_short, Imm32, "add eax, #", 0x05)                        \
  X(add_eax_var, Disp32, "add eax, ds:[edi#]", 0x3E, 0x03, 0x87)         \
  X(add_eax_abs, Abs32, "add eax, ds:[#]", 0x3E, 0x03, 0x05)             \
  X(or_eax_imm, Imm32, "or eax, #", 0x0D)                                \
  X(or_eax_var, Disp32, "or eax, ds:[edi#]", 0x3E, 0x0B, 0x87)           \
  X(or_eax_abs, Abs32, "or eax, ds:[#]", 0x3E, 0x0B, 0x05)               \
  X(or_eax_ebx, None, "or eax, ebx", 0x0B, 0xC3)                         \
  X(and_eax_imm, Imm32, "and eax, #", 0x25)                              \
  X(and_eax_var, Disp32, "and eax, ds:[edi#]", 0x3E, 0x23, 0x87)         \
  X(and_eax_abs, Abs32, "and eax, ds:[#]", 0x3E, 0x23, 0x05)             \
  X(and_eax_ebx, None, "and eax, ebx", 0x23, 0xC3)                       \
  X(xor_eax_imm, Imm32, "xor eax, #", 0x35)                              \
  X(xor_eax_var, Disp32, "xor eax, ds:[edi#]", 0x3E, 0x33, 0x87)         \
  X(xor_eax_abs, Abs32, "xor eax, ds:[#]", 0x3E, 0x33, 0x05)             \
  X(xor_eax_ebx, None, "xor eax, ebx", 0x33, 0xC3)                       \
  X(mov_ebx_eax, None, "mov ebx, eax", 0x8B, 0xD8)                       \
  X(cmp_ebx_imm, Imm32, "cmp ebx, #", 0x81, 0xFB)                        \
  X(cmp_ebx_var, Disp32, "cmp ebx, ds:[edi#]", 0x3E, 0x3B, 0x9F)         \
  X(cmp_ebx_abs, Abs32, "cmp ebx, ds:[#]", 0x3E, 0x3B, 0x1D)             \
  X(je_short, Rel8, "je #", 0x74)                                        \
  X(jne_short, Rel8, "jne #", 0x75)                                      \
  X(jl_short, Rel8, "jl #", 0x7C)                                        \
  X(jg_short, Rel8, "jg #", 0x7F)                                        \
  X(jle_short, Rel8, "jle #", 0x7E)                                      \
  X(jge_short, Rel8, "jge #", 0x7D)                                      \
  X(xor_eax_eax, None, "xor eax, eax", 0x33, 0xC0)                       \
  X(cmp_eax_zero, None, "cmp eax, 0", 0x83, 0xF8, 0x00)                  \
  X(je_near, Rel32, "je #", 0x0F, 0x84)                                  \
  X(jmp_near, Rel32, "jmp #", 0xE9)                                      \
  X(call_near, Rel32, "call #", 0xE8)                                    \
  X(ret, None, "ret", 0xC3)                                              \
  X(nop, None, "nop", 0x90)

enum class Ins : uint8_t {
#define KORVA_X86_ENUM(name, operand, text, ...) name,
  KORVA_X86_INSTRUCTIONS(KORVA_X86_ENUM)
#undef KORVA_X86_ENUM
      count
};
constexpr int32_t kInstructionCount = static_cast<int32_t>(Ins::count);

struct InsInfo {
  const char* name;
  Operand operand;
  const char* text;    // mnemonic; "#" is replaced by the operand
  uint8_t length;      // fixed bytes
  uint8_t bytes[4];
};

const InsInfo& info(Ins ins);
int32_t operand_bytes(Operand op);
inline int32_t instruction_length(Ins ins) {
  return info(ins).length + operand_bytes(info(ins).operand);
}

// The form of a per-register instruction for register r (first must be the eax row).
constexpr Ins for_reg(Ins first, Reg r) {
  return static_cast<Ins>(static_cast<int32_t>(first) + static_cast<int32_t>(r));
}

// Decodes the instruction at p (avail bytes available). Returns its length, or 0 when the
// bytes are no instruction of the table. operand receives the raw operand (sign-extended for
// Rel8).
int32_t decode(const uint8_t* p, uint32_t avail, Ins& ins, uint32_t& operand);

// The mnemonic of a decoded instruction at guest address addr.
std::string mnemonic(Ins ins, uint32_t operand, uint32_t addr);

// Writes instructions into a code buffer. Nothing is written past limit: an instruction that
// does not fit sets full and is dropped, and so is everything after it.
struct CodeWriter {
  uint8_t* buf = nullptr;
  uint32_t base = 0;   // guest address of buf[0]
  uint32_t limit = 0;  // bytes that may be written
  uint32_t* pos = nullptr;  // output position (offset into buf)
  bool full = false;

  uint32_t address() const { return base + *pos; }
};

// Emits ins with its operand. For Rel32 the operand is the target address; for Rel8 the
// displacement itself.
void emit(CodeWriter& w, Ins ins, uint32_t operand = 0);
void emit_raw(CodeWriter& w, const uint8_t* bytes, uint32_t count);

// Typed helpers for the per-register forms.
inline void emit_mov_reg_imm(CodeWriter& w, Reg r, int32_t v) {
  emit(w, for_reg(Ins::mov_eax_imm, r), static_cast<uint32_t>(v));
}
inline void emit_mov_reg_var(CodeWriter& w, Reg r, int32_t disp) {
  emit(w, for_reg(Ins::mov_eax_var, r), static_cast<uint32_t>(disp));
}
inline void emit_mov_reg_edi(CodeWriter& w, Reg r) { emit(w, for_reg(Ins::mov_eax_edi, r)); }
inline void emit_add_reg_imm(CodeWriter& w, Reg r, int32_t v) {
  emit(w, for_reg(Ins::add_eax_imm, r), static_cast<uint32_t>(v));
}
inline void emit_mov_reg_abs(CodeWriter& w, Reg r, uint32_t addr) {
  emit(w, for_reg(Ins::mov_eax_abs, r), addr);
}
inline void emit_neg(CodeWriter& w, Reg r) { emit(w, for_reg(Ins::neg_eax, r)); }
inline void emit_store_abs(CodeWriter& w, uint32_t addr) { emit(w, Ins::mov_abs_eax, addr); }
inline void emit_store_var(CodeWriter& w, int32_t disp) {
  emit(w, Ins::mov_var_eax, static_cast<uint32_t>(disp));
}
inline void emit_call(CodeWriter& w, uint32_t target) { emit(w, Ins::call_near, target); }

// Emits a near jump whose displacement is left open; returns the address just after the
// displacement (what patch_rel32 takes).
uint32_t emit_open_jump(CodeWriter& w, Ins ins);
// Makes the rel32 that ends at guest address after point at target.
void patch_rel32(CodeWriter& w, uint32_t after, uint32_t target);

}  // namespace korva::x86
