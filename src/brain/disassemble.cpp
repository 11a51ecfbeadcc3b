// The disassembler of compiled brains: one line per instruction, with the keyword name of
// every call of a keyword routine and the label text that follows a resolved goto.
#include <cstdio>

#include "brain/brain_local.h"

namespace korva {

namespace {

void append_bytes(std::string& s, const uint8_t* p, uint32_t n) {
  char hex[4];
  for (uint32_t i = 0; i < n; ++i) {
    std::snprintf(hex, sizeof hex, "%02X ", p[i]);
    s += hex;
  }
}

void append_line(std::string& s, uint32_t addr, const uint8_t* p, uint32_t n, std::string_view text) {
  char head[16];
  std::snprintf(head, sizeof head, "%08X  ", addr);
  s += head;
  std::string bytes;
  append_bytes(bytes, p, n);
  bytes.resize(bytes.size() < 24 ? 24 : bytes.size(), ' ');
  s += bytes;
  s += ' ';
  s += text;
  s += '\n';
}

}  // namespace

std::string disassemble(const BrainState& b, uint32_t from, uint32_t to) {
  std::string s;
  if (to > b.code.size()) to = static_cast<uint32_t>(b.code.size());
  uint32_t pos = from;
  while (pos < to) {
    const uint8_t* p = b.code.data() + pos;
    uint32_t addr = code_address(pos);
    // Label text after a goto's jmp: data, never executed.
    uint32_t data = 0;
    for (const auto& [start, len] : b.data_ranges)
      if (pos == start) data = len;
    if (data > 0 && pos + data <= to) {
      std::string text = "db '";
      for (uint32_t i = 0; i < data; ++i) text += p[i] >= 0x20 && p[i] < 0x7F ? static_cast<char>(p[i]) : '.';
      text += "'";
      append_line(s, addr, p, data, text);
      pos += data;
      continue;
    }
    x86::Ins ins;
    uint32_t operand = 0;
    int32_t len = x86::decode(p, to - pos, ins, operand);
    if (len == 0) {
      char text[16];
      std::snprintf(text, sizeof text, "db 0x%02X", p[0]);
      append_line(s, addr, p, 1, text);
      ++pos;
      continue;
    }
    std::string text = x86::mnemonic(ins, operand, addr);
    if (ins == x86::Ins::call_near) {
      int32_t row = keyword_at_address(addr + static_cast<uint32_t>(len) + operand);
      if (row >= 0) {
        text += "  ; ";
        text += keyword_row(row).name;
      }
    }
    append_line(s, addr, p, static_cast<uint32_t>(len), text);
    pos += static_cast<uint32_t>(len);
  }
  return s;
}

}  // namespace korva
