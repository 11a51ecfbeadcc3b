// Symbol resolution: what an operand text of the compact form stands for (a constant, a
// variable, an element address, a temporary or a string literal), and the LiteralPool.
#include <cstring>

#include "brain/brain_local.h"

namespace korva {

void fail(Compiler& k, std::string_view msg) {
  if (failed(k)) return;
  k.b.compile_error = k.b.line_prefix;
  k.b.compile_error += msg;
  k.b.error_line = k.b.line;
  k.b.status = -1;
}

void fail_alone(Compiler& k, std::string_view msg) {
  if (failed(k)) return;
  k.b.compile_error.assign(msg);
  k.b.error_line = k.b.line;
  k.b.status = -1;
}

void fail_capacity(Compiler& k, std::string_view msg) {
  fail(k, msg);
  k.b.capacity_error = true;
}

int32_t new_temporary(Compiler& k) {
  if (k.b.temps >= kTemporaries) {
    fail_capacity(k, "Expression too complex: more than 4096 temporaries in one line!");
    return -1;
  }
  return k.b.temps++;
}

namespace {

bool unknown_symbol(Compiler& k, std::string_view text) {
  std::string msg = "Unknown symbol '";
  msg += text;
  msg += "'!";
  fail(k, msg);
  return false;
}

bool all_of(std::string_view s, bool (*pred)(char)) {
  if (s.empty()) return false;
  for (char ch : s)
    if (!pred(ch)) return false;
  return true;
}
bool is_digit(char ch) { return ch >= '0' && ch <= '9'; }
bool is_hex_digit(char ch) { return is_digit(ch) || (ch >= 'a' && ch <= 'f'); }

// Copies the next string literal of the line's source text into the LiteralPool and returns
// its guest address. The literal is consumed from the source text (both quotes blanked), so
// the next string operand finds the following literal.
bool take_literal(Compiler& k, uint32_t& addr) {
  BrainState& b = k.b;
  std::string& src = b.source;
  std::string_view body;
  size_t open = src.find('"');
  if (open != std::string::npos) {
    src[open] = ' ';
    size_t close = src.find('"', open + 1);
    size_t end = close == std::string::npos ? src.size() : close;
    body = std::string_view(src).substr(open + 1, end - open - 1);
    if (close != std::string::npos) src[close] = ' ';
  }
  std::string text;
  if (body.substr(0, 2) == ".\\") {
    text = k.base_folder;
    body.remove_prefix(2);
  }
  for (size_t i = 0; i < body.size(); ++i) {
    if (body[i] == '\\' && i + 1 < body.size() && (body[i + 1] == 'n' || body[i + 1] == '0')) {
      text += body[i + 1] == 'n' ? '\n' : '\0';
      ++i;
    } else {
      text += body[i];
    }
  }
  uint32_t room = static_cast<uint32_t>(b.literal_pool.size()) - b.literal_pos;
  if (text.size() + 1 > room) {
    fail_capacity(k, "String literals too long: the literal pool is full!");
    return false;
  }
  std::memcpy(b.literal_pool.data() + b.literal_pos, text.data(), text.size());
  b.literal_pool[b.literal_pos + text.size()] = 0;
  addr = guest::kLiteralPoolBase + b.literal_pos;
  b.literal_pos += static_cast<uint32_t>(text.size()) + 1;
  return true;
}

// A unit suffix turns the thousandths t into engine units (64-bit intermediate, truncated
// toward zero, wrapped to 32 bits).
bool unit_value(std::string_view suffix, int64_t t, int32_t& out) {
  int64_t v;
  if (suffix == "mt") v = t * 512;
  else if (suffix == "dg") v = t * 512 / 1000;
  else if (suffix == "ms") v = t * 17067 / 1000;
  else if (suffix == "rm") v = t * 1024 / 10000;
  else return false;
  out = static_cast<int32_t>(static_cast<uint32_t>(v));
  return true;
}

}  // namespace

bool resolve_operand(Compiler& k, std::string_view text, OperandValue& out) {
  BrainState& b = k.b;
  out = OperandValue{};
  if (failed(k)) return false;
  // 1. Nothing at all.
  if (text.empty()) return unknown_symbol(k, text);
  // 2. A string literal.
  if (text[0] == '"') {
    uint32_t addr = 0;
    if (!take_literal(k, addr)) return false;
    out.kind = OperandKind::StringLiteral;
    out.value = static_cast<int32_t>(addr);
    b.status = static_cast<int32_t>(out.kind);
    return true;
  }
  // 3. Unary minus.
  bool neg = false;
  if (text[0] == kUnaryMinus) {
    neg = true;
    text.remove_prefix(1);
  }
  // 4. The current element, or another one N records away ("#-N" arrives as "\N").
  if (text.substr(0, 7) == "element" && (text.size() < 8 || text[7] != '(')) {
    int32_t n = str_to_int(field_of(text, 2, '#'));
    uint32_t v;
    if (n != 0) {
      v = static_cast<uint32_t>(n) * 1024u;
    } else {
      std::string_view back = field_of(text, 2, kNegativeElement);
      if (back.empty() && text.size() > 7) return unknown_symbol(k, text);
      v = 0u - static_cast<uint32_t>(str_to_int(back)) * 1024u;
    }
    out.kind = OperandKind::ElementAddress;
    out.value = static_cast<int32_t>(v);
  } else if (text[0] == '@') {
    // 5. A temporary; only the slots of the TempArea exist.
    int32_t t = str_to_int(text.substr(1));
    if (t < 0 || t >= kTemporaries) return unknown_symbol(k, text);
    out.kind = OperandKind::Temporary;
    out.value = static_cast<int32_t>(temporary_address(t));
    out.neg = neg;
  } else if (text[0] != '0' && text.substr(0, 2) != "-0" && str_to_int(text) == 0) {
    // 6. A name: a declared variable.
    const VariableEntry* found = nullptr;
    for (const VariableEntry& v : b.variables) {
      if (v.name == text) {
        found = &v;
        break;
      }
    }
    if (!found) return unknown_symbol(k, text);
    out.kind = OperandKind::Variable;
    out.value = found->offset;
    out.neg = neg;
  } else {
    // 7. A number: decimal, hexadecimal, or decimal with a unit suffix.
    int32_t v = 0;
    if (text.size() >= 2 && unit_value(text.substr(text.size() - 2), 0, v)) {
      int64_t t = str_to_fixed3(text.substr(0, text.size() - 2));
      unit_value(text.substr(text.size() - 2), t, v);
    } else if (text.substr(0, 2) == "0x" && all_of(text.substr(2), is_hex_digit)) {
      uint32_t h = 0;
      for (char ch : text.substr(2)) h = h * 16u + uint32_t(is_digit(ch) ? ch - '0' : ch - 'a' + 10);
      v = static_cast<int32_t>(h);
    } else if (all_of(text, is_digit)) {
      v = str_to_int(text);
    } else {
      return unknown_symbol(k, text);
    }
    if (neg) v = static_cast<int32_t>(0u - static_cast<uint32_t>(v));
    out.kind = OperandKind::Constant;
    out.value = v;
  }
  // The editor pass has no instance record or temporaries to read: they read as 0.
  if (b.pass == Pass::Editor &&
      (out.kind == OperandKind::Variable || out.kind == OperandKind::Temporary)) {
    out = OperandValue{};
  }
  b.status = static_cast<int32_t>(out.kind);
  return true;
}

}  // namespace korva
