// The instruction table, the emitter, the decoder and the mnemonics of the brain x86 subset.
#include "brain/x86.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace korva::x86 {

namespace {

constexpr InsInfo make(const char* name, Operand operand, const char* text,
                       std::initializer_list<uint8_t> bytes) {
  InsInfo r{name, operand, text, static_cast<uint8_t>(bytes.size()), {0, 0, 0, 0}};
  int32_t i = 0;
  for (uint8_t b : bytes) r.bytes[i++] = b;
  return r;
}

constexpr InsInfo kTable[kInstructionCount] = {
#define KORVA_X86_ROW(name, operand, text, ...) make(#name, Operand::operand, text, {__VA_ARGS__}),
    KORVA_X86_INSTRUCTIONS(KORVA_X86_ROW)
#undef KORVA_X86_ROW
};

// The per-register rows must follow the parameter order eax, ebx, ecx, edx, esi.
static_assert(kTable[static_cast<int32_t>(Ins::mov_esi_imm)].bytes[0] == 0xBE);
static_assert(kTable[static_cast<int32_t>(Ins::neg_esi)].bytes[1] == 0xDE);

void put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

}  // namespace

const InsInfo& info(Ins ins) { return kTable[static_cast<int32_t>(ins)]; }

int32_t operand_bytes(Operand op) {
  switch (op) {
    case Operand::None: return 0;
    case Operand::Rel8: return 1;
    default: return 4;
  }
}

int32_t decode(const uint8_t* p, uint32_t avail, Ins& ins, uint32_t& operand) {
  for (int32_t i = 0; i < kInstructionCount; ++i) {
    const InsInfo& row = kTable[i];
    uint32_t len = row.length + static_cast<uint32_t>(operand_bytes(row.operand));
    if (len > avail || std::memcmp(p, row.bytes, row.length) != 0) continue;
    ins = static_cast<Ins>(i);
    const uint8_t* o = p + row.length;
    if (row.operand == Operand::None)
      operand = 0;
    else if (row.operand == Operand::Rel8)
      operand = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(o[0])));
    else
      operand = get32(o);
    return static_cast<int32_t>(len);
  }
  return 0;
}

std::string mnemonic(Ins ins, uint32_t operand, uint32_t addr) {
  const InsInfo& row = info(ins);
  char buf[32] = "";
  uint32_t next = addr + static_cast<uint32_t>(instruction_length(ins));
  switch (row.operand) {
    case Operand::None: break;
    case Operand::Imm32: std::snprintf(buf, sizeof buf, "%d", static_cast<int32_t>(operand)); break;
    case Operand::Disp32: std::snprintf(buf, sizeof buf, "%+d", static_cast<int32_t>(operand)); break;
    case Operand::Abs32: std::snprintf(buf, sizeof buf, "0x%08X", operand); break;
    case Operand::Rel8:
    case Operand::Rel32: std::snprintf(buf, sizeof buf, "0x%08X", next + operand); break;
  }
  std::string s;
  for (const char* t = row.text; *t; ++t) {
    if (*t == '#')
      s += buf;
    else
      s += *t;
  }
  return s;
}

void emit_raw(CodeWriter& w, const uint8_t* bytes, uint32_t count) {
  if (w.full || w.limit - *w.pos < count || *w.pos > w.limit) {
    w.full = true;
    return;
  }
  std::memcpy(w.buf + *w.pos, bytes, count);
  *w.pos += count;
}

void emit(CodeWriter& w, Ins ins, uint32_t operand) {
  const InsInfo& row = info(ins);
  uint8_t bytes[8];
  std::memcpy(bytes, row.bytes, row.length);
  uint32_t len = row.length;
  switch (row.operand) {
    case Operand::None: break;
    case Operand::Rel8: bytes[len++] = static_cast<uint8_t>(operand); break;
    case Operand::Rel32:
      // The displacement counts from the end of this instruction.
      put32(bytes + len, operand - (w.address() + len + 4));
      len += 4;
      break;
    default:
      put32(bytes + len, operand);
      len += 4;
      break;
  }
  emit_raw(w, bytes, len);
}

uint32_t emit_open_jump(CodeWriter& w, Ins ins) {
  emit(w, ins, w.address() + static_cast<uint32_t>(instruction_length(ins)));
  return w.address();
}

void patch_rel32(CodeWriter& w, uint32_t after, uint32_t target) {
  uint32_t off = after - w.base;
  if (w.full || off < 4 || off > *w.pos) return;
  put32(w.buf + off - 4, target - after);
}

}  // namespace korva::x86
