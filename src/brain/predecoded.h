// The pre-decoded form of the CodeBuffer that the machine executes: one Op per reachable
// instruction, with operands resolved (registers as indices, memory operands as host pointers
// or record offsets, branch targets as op indices), so that a frame never decodes bytes.
#pragma once
#include <cstdint>
#include <vector>

namespace korva {

// Conditions of the conditional jumps in the subset.
enum class Cond : uint8_t { E, NE, L, G, LE, GE };

// How the lazily kept flags were produced: Sub holds the operands of a - b (cmp, sub, neg and
// the logic operations as result - 0); Add holds the operands of a + b.
enum class FlagKind : uint8_t { Sub, Add };

// Operations of the machine. Suffixes name the source operand: Imm (op.imm), Var (the word at
// offset op.imm of the current instance record), Abs (the host word op.ptr), Reg (register
// op.b). Alu operations work on register op.a.
#define KORVA_MACHINE_OPS(X)                                                                  \
  X(MovImm) X(MovVar) X(MovAbs) X(MovReg) X(MovEdi) X(StoreVar) X(StoreAbs)                   \
  X(AddImm) X(AddVar) X(AddAbs)                                                               \
  X(SubImm) X(SubVar) X(SubAbs)                                                               \
  X(OrImm) X(OrVar) X(OrAbs) X(OrReg)                                                         \
  X(AndImm) X(AndVar) X(AndAbs) X(AndReg)                                                     \
  X(XorImm) X(XorVar) X(XorAbs) X(XorReg)                                                     \
  X(CmpImm) X(CmpVar) X(CmpAbs)                                                               \
  X(ImulImm) X(ImulVar) X(ImulAbs)                                                            \
  X(Neg) X(Cdq) X(Idiv)                                                                       \
  X(Jcc) X(Jmp) X(CallCode) X(CallKeyword) X(Ret) X(Nop)                                      \
  /* cmp followed by a conditional jump, fused at the cmp's place */                          \
  X(CmpImmJcc) X(CmpVarJcc) X(CmpAbsJcc)                                                      \
  /* a comparison made into 0 or 1 in eax, stored to a temporary and tested, fused */         \
  X(CmpImmBool) X(CmpVarBool)                                                                 \
  X(Fault)

enum class OpKind : uint8_t {
#define KORVA_MACHINE_OP_ENUM(name) name,
  KORVA_MACHINE_OPS(KORVA_MACHINE_OP_ENUM)
#undef KORVA_MACHINE_OP_ENUM
};

enum class FaultKind : uint8_t {
  None,
  UnknownInstruction,  // bytes that are no instruction of the subset
  MemoryOutsideMap,    // a memory operand outside the mapped regions (or not writable)
  VariableOutsideRecord,  // an edi-relative operand that leaves the instance record
  JumpOutsideCode,     // a jump or call to an address outside the compiled code
  RanPastCode,         // execution ran past the end of the compiled code
  StackOverflow,
  StackUnderflow,
  ExecuteTooDeep,
  Budget,              // the brain call ran past its budget (an endless loop)
  TimeLimit,           // the brain call ran longer than its time limit (a slow endless loop)
  BadEntry,            // a brain entry address that is not compiled code
};

// CmpImmBool / CmpVarBool stand for the sequence the compiler emits for "if a < b" (any
// comparison), entered at its first instruction:
//     mov eax, 1 / cmp reg, src / jcc over / xor eax, eax / over: mov [temp], eax /
//     cmp eax, 0 / je target
// a: reg, imm: src (Imm or Var), cond: the jcc's, ptr: the temporary, target: the je's target,
// next: the op after the je; eip and ret: where the two jumps are reported, the addresses of
// "cmp reg, src" and "cmp eax, 0" (as for any fused compare and jump). The effects are those of
// the sequence, taken jumps included (each counts against the budget); the ops of the sequence
// stay in place for branches that enter it further on.
struct Op {
  OpKind kind = OpKind::Nop;
  uint8_t a = 0;        // destination register (x86::Reg order)
  uint8_t b = 0;        // source register
  Cond cond = Cond::E;  // Jcc and fused compares
  int32_t imm = 0;      // immediate, record offset, keyword row or fault kind
  int32_t next = -1;    // op executed after this one
  int32_t target = -1;  // branch or call target op
  int32_t* ptr = nullptr;  // host word of an Abs operand
  uint32_t eip = 0;     // guest address of the instruction; for Fault the faulting address in imm
  uint32_t ret = 0;     // CallCode: the guest return address; Fault: the address involved
  // The same links as pointers, and the interpreter's handler of kind (threaded dispatch).
  const Op* next_op = nullptr;
  const Op* target_op = nullptr;
  const void* handler = nullptr;
};

struct Program {
  std::vector<Op> ops;
  std::vector<int32_t> op_at;  // CodeBuffer offset -> op index, -1 when not an instruction start
  uint32_t code_size = 0;      // bytes of compiled code (the output position)
  bool handlers_set = false;   // Op::handler filled in by the interpreter
  int32_t fused_booleans = 0;  // CmpImmBool / CmpVarBool ops made by the peephole pass
  int32_t skipped_reloads = 0; // loads of a just-stored word that the pass links around
};

}  // namespace korva
