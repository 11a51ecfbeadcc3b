// The brain parser: a single pass, one line at a time. Statements are recognised by their
// prefixes; expressions are compiled by reducing the innermost piece of the compact text into a
// temporary until a single operand is left. Gotos and gosubs become placeholders that are
// resolved against the LabelTable once the whole brain has compiled.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "brain/brain_local.h"

namespace korva {

using x86::Ins;
using x86::Reg;

namespace {

// 'text' in single quotes, for messages.
std::string quoted(std::string_view text) {
  std::string q;
  q.reserve(text.size() + 2);
  q += '\'';
  q += text;
  q += '\'';
  return q;
}

std::string temp_name(int32_t t) {
  char name[16] = {'@'};
  const std::to_chars_result end = std::to_chars(name + 1, name + sizeof name, t);
  return std::string(name, end.ptr);
}

bool is_name_char(char ch) {
  return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
         ch == '_';
}

bool has_operator(std::string_view s) {
  for (char ch : s)
    if (is_operator(ch)) return true;
  return false;
}

// ---- Expression phases; each returns true when it reduced something (or failed) ----

// A. The first call argument that contains an operator is evaluated into a temporary. The
// argument is a piece without brackets, between "(" or "," and the next "," or ")".
bool reduce_compound_argument(Compiler& k, std::string& e) {
  for (size_t i = 0; i < e.size(); ++i) {
    if (e[i] != '(' && e[i] != ',') continue;
    size_t from = i + 1, end = from;
    while (end < e.size() && e[end] != '(' && e[end] != ',' && e[end] != ')') ++end;
    if (end >= e.size() || e[end] == '(') continue;
    std::string piece = e.substr(from, end - from);
    if (!has_operator(piece)) continue;
    int32_t t = compile_expression(k, piece);
    if (failed(k)) return true;
    if (t < 0) {
      t = new_temporary(k);
      if (t < 0) return true;
      gen_store_temporary(k, t);
    }
    e.replace(from, end - from, temp_name(t));
    return true;
  }
  return false;
}

// B. The innermost call: the first ")" and the last "(" before it.
bool reduce_call(Compiler& k, std::string& e) {
  size_t close = e.find(')');
  if (close == std::string::npos) return false;
  size_t open = e.rfind('(', close);
  if (open == std::string::npos) return false;
  size_t start = open;
  while (start > 0 && is_name_char(e[start - 1])) --start;
  // A unary minus in front of the call negates its result, unless it follows "(" or ",": then
  // it belongs to the argument and is applied when the argument is loaded.
  bool negate = start > 0 && e[start - 1] == kUnaryMinus &&
                (start == 1 || (e[start - 2] != ',' && e[start - 2] != '('));
  if (!compile_call(k, std::string_view(e).substr(start, close + 1 - start))) return true;
  if (negate) x86::emit_neg(k.w, Reg::eax);
  int32_t t = new_temporary(k);
  if (t < 0) return true;
  gen_store_temporary(k, t);
  // The applied minus leaves with the call, so it is not applied a second time.
  size_t from = negate ? start - 1 : start;
  e.replace(from, close + 1 - from, temp_name(t));
  return true;
}

// C. The innermost square-bracket group.
bool reduce_group(Compiler& k, std::string& e) {
  size_t close = e.find(']');
  if (close == std::string::npos) return false;
  size_t open = e.rfind('[', close);
  if (open == std::string::npos) return false;
  int32_t before = k.b.temps;
  int32_t t = compile_expression(k, e.substr(open + 1, close - open - 1));
  if (failed(k)) return true;
  if (k.b.temps == before || t < 0) {
    // A single operand: its value goes into a temporary of its own.
    t = new_temporary(k);
    if (t < 0) return true;
    gen_store_temporary(k, t);
  }
  e.replace(open, close - open + 1, temp_name(t));
  return true;
}

// D. The first binary operation of the highest remaining precedence level.
bool reduce_operation(Compiler& k, std::string& e) {
  // Which operators the expression holds, in one pass, before looking for each in turn.
  bool present[256] = {};
  for (char ch : e) present[static_cast<uint8_t>(ch)] = true;
  for (char op : kOperators) {
    if (!present[static_cast<uint8_t>(op)]) continue;
    size_t pos = e.find(op);
    size_t from = pos;
    while (from > 0 && !is_operator(e[from - 1])) --from;
    size_t end = pos + 1;
    while (end < e.size() && !is_operator(e[end])) ++end;
    std::string_view left = std::string_view(e).substr(from, pos - from);
    std::string_view right = std::string_view(e).substr(pos + 1, end - pos - 1);
    if (right.empty()) {
      fail(k, "Variable (or value, or function) expected: " + e.substr(from, end - from));
      return true;
    }
    OperandValue l, r;
    if (!resolve_operand(k, left, l) || !resolve_operand(k, right, r)) return true;
    if (r.kind == OperandKind::ElementAddress) {
      fail(k, "Variable 'element' must be left operand");
      return true;
    }
    gen_binary(k, op, l, r);
    int32_t t = new_temporary(k);
    if (t < 0) return true;
    gen_store_temporary(k, t);
    e.replace(from, end - from, temp_name(t));
    return true;
  }
  return false;
}

// ---- LabelTable (compiler label area) and ControlStack (compiler work area) ----

uint8_t* label_entry(Compiler& k, int32_t i) {
  return k.c.pool(Pool::CompilerLabels) + static_cast<size_t>(i) * kLabelEntryBytes;
}

// The 16-byte blank-padded name of a label text; false when the text is longer.
bool label_name(Compiler& k, std::string_view text, char name[16]) {
  if (text.size() > 16) {
    fail(k, "Labels can't be longer than 16 characters");
    return false;
  }
  std::memset(name, ' ', 16);
  std::memcpy(name, text.data(), text.size());
  return true;
}

int32_t find_label(Compiler& k, const char name[16]) {
  for (int32_t i = 0; i < k.b.label_count; ++i)
    if (std::memcmp(label_entry(k, i), name, 16) == 0) return i;
  return -1;
}

uint32_t label_address(Compiler& k, int32_t i) {
  uint32_t a;
  std::memcpy(&a, label_entry(k, i) + 16, 4);
  return a;
}

uint32_t* control_stack(Compiler& k) { return k.c.pool_as<uint32_t>(Pool::CompilerWork); }

void control_push(Compiler& k, uint32_t v) {
  if (k.b.control_top + 1 >= kControlStackWords) {
    fail_capacity(k, "If blocks nested too deeply (more than 1023 open)!");
    return;
  }
  control_stack(k)[++k.b.control_top] = v;
}

uint32_t control_pop(Compiler& k) {
  uint32_t v = control_stack(k)[k.b.control_top];
  if (k.b.control_top > 0) --k.b.control_top;
  return v;
}

// ---- Statements ----

void define_label(Compiler& k, std::string_view text) {
  char name[16];
  if (!label_name(k, text, name)) return;
  if (find_label(k, name) >= 0) {
    fail(k, "Label already defined");
    return;
  }
  if (k.b.label_count >= kMaxLabels) {
    fail_capacity(k, "Too many labels (more than 204 in one brain)!");
    return;
  }
  uint8_t* entry = label_entry(k, k.b.label_count++);
  uint32_t addr = k.w.address();
  std::memcpy(entry, name, 16);
  std::memcpy(entry + 16, &addr, 4);
}

// goto and gosub: 16 bytes of label name now, a jmp or call once the labels are known.
void jump_placeholder(Compiler& k, std::string_view text, bool gosub) {
  Placeholder p{};
  if (!label_name(k, text, p.name)) return;
  uint8_t bytes[16];
  std::memcpy(bytes, p.name, 16);
  if (gosub) bytes[12] |= 0x80;  // label names are text: bit 7 tells a gosub from a goto
  p.pos = k.b.out;
  p.gosub = gosub;
  p.prefix = k.b.line_prefix;
  p.line = k.b.line;
  x86::emit_raw(k.w, bytes, 16);
  if (!k.w.full) k.b.placeholders.push_back(std::move(p));
}

// When the compilation goes on after errors, an if whose condition failed still opens a block,
// so that its else and endif are not reported as nesting errors too.
constexpr uint32_t kFailedIf = 0xFFFFFFFFu;
void open_failed_if(Compiler& k) {
  if (k.b.keep_going && !k.b.capacity_error) control_push(k, kFailedIf);
}

// After an error: when the compilation goes on, the error is kept in the list and cleared, and
// the code of the failed line is dropped (the brain fails anyway; this keeps the buffer short).
// A full buffer always ends the compilation.
void note_error(Compiler& k, uint32_t line_start) {
  BrainState& b = k.b;
  if (!failed(k) || !b.keep_going) return;
  b.errors.push_back({b.error_line, b.compile_error});
  if (b.capacity_error) return;
  b.compile_error.clear();
  b.status = 0;
  b.out = line_start;
}

void general_statement(Compiler& k, std::string line) {
  static constexpr std::string_view kEditorMark = ") editor";
  bool marked = line.size() >= kEditorMark.size() &&
                line.compare(line.size() - kEditorMark.size(), kEditorMark.size(), kEditorMark) == 0;
  replace_all(line, kEditorMark, ")");
  if (k.b.pass == Pass::Editor) {
    // Only marked calls, compiled as written; an error in them is ignored.
    if (marked) {
      uint32_t start = k.b.out;
      if (!compile_call(k, line) && !k.b.capacity_error) {
        k.b.compile_error.clear();
        k.b.out = start;  // the line is skipped: no argument loads are left behind
      }
    }
    return;
  }
  std::string first3;
  const bool if_line = line.compare(0, 3, "if ") == 0;
  if (!compact_line(line, first3)) {
    fail(k, "Brackets nesting error!");
    if (if_line) open_failed_if(k);
    return;
  }
  k.b.temps = 0;
  if (first3 == "if ") {
    compile_expression(k, line.substr(2));
    if (failed(k)) {
      open_failed_if(k);
      return;
    }
    x86::emit(k.w, Ins::cmp_eax_zero);
    control_push(k, x86::emit_open_jump(k.w, Ins::je_near));
  } else if (line == "else") {
    uint32_t after = x86::emit_open_jump(k.w, Ins::jmp_near);
    uint32_t open = control_pop(k);
    if (open == kControlStackBottom) {
      fail_alone(k, "If...endif nesting error!");
      return;
    }
    if (open == kFailedIf) {
      control_push(k, kFailedIf);
      return;
    }
    x86::patch_rel32(k.w, open, after);
    control_push(k, after);
  } else if (line == "endif") {
    uint32_t open = control_pop(k);
    if (open == kControlStackBottom) {
      fail_alone(k, "If...endif nesting error!");
      return;
    }
    if (open != kFailedIf) x86::patch_rel32(k.w, open, k.w.address());
  } else {
    std::string_view left = field_of(line, 1, '=');
    std::string_view right = field_of(line, 2, '=');
    if (right.empty()) {
      compile_expression(k, line);  // an expression statement; its value is dropped
      return;
    }
    OperandValue target;
    if (!resolve_operand(k, left, target)) return;
    if (target.kind != OperandKind::Variable) {
      fail(k, quoted(left) + " is not a variable and cannot be assigned!");
      return;
    }
    compile_expression(k, std::string(right));
    if (failed(k)) return;
    x86::emit_store_var(k.w, target.value);
  }
}

// Placeholders become jmp label (the 11 bytes after it keep their text and never run) or call
// label followed by eleven nops, gotos first.
void resolve_labels(Compiler& k) {
  for (int32_t round = 0; round < 2; ++round) {
    for (const Placeholder& p : k.b.placeholders) {
      if (p.gosub != (round == 1)) continue;
      int32_t i = find_label(k, p.name);
      if (i < 0) {
        std::string label(trim_blanks(std::string_view(p.name, 16)));
        k.b.line_prefix = p.prefix;
        k.b.line = p.line;
        fail(k, "Undefined label '" + label + "'!");
        if (!k.b.keep_going) return;
        note_error(k, k.b.out);
        continue;
      }
      uint32_t saved = k.b.out;
      k.b.out = p.pos;
      x86::emit(k.w, p.gosub ? Ins::call_near : Ins::jmp_near, label_address(k, i));
      if (p.gosub) {
        for (int32_t n = 0; n < 11; ++n) x86::emit(k.w, Ins::nop);
      } else {
        k.b.data_ranges.emplace_back(p.pos + 5, 11);
      }
      k.b.out = saved;
    }
  }
}

// One line of the brain text: up to the next line feed, without a carriage return before it.
bool next_line(std::string_view text, size_t& pos, std::string_view& line) {
  if (pos >= text.size()) return false;
  size_t lf = text.find('\n', pos);
  size_t end = lf == std::string_view::npos ? text.size() : lf;
  line = text.substr(pos, end - pos);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  pos = lf == std::string_view::npos ? text.size() : lf + 1;
  return true;
}

void collect_declarations(Compiler& k, std::string_view text) {
  BrainState& b = k.b;
  b.variables.clear();
  b.variables.push_back({0, "element", 0});
  int32_t count = 0;
  size_t pos = 0;
  std::string_view raw;
  std::string source;
  while (count <= kMaxVariables && next_line(text, pos, raw)) {
    std::string line = prepare_line(raw, source);
    int32_t type = declaration_type(line);
    if (type < 0) continue;
    b.variables.push_back({type, std::string(declaration_name(line, type)),
                           kFirstVariableOffset - 4 * count});
    ++count;
  }
  if (count > kMaxVariables) fail_alone(k, "Too many variables defined!");
}

void compile_line(Compiler& k, std::string_view raw) {
  BrainState& b = k.b;
  if (raw.size() > static_cast<size_t>(kMaxLineLength)) {
    fail_alone(k, "Line " + std::to_string(b.line) + " is longer than 2044 characters!");
    return;
  }
  std::string line = prepare_line(raw, b.source);
  if (line.empty()) return;
  b.line_prefix = b.source + " (" + std::to_string(b.line) + ")|";
  int32_t type = declaration_type(line);
  if (type >= 0) return;
  if (type == kUnknownUnit) {
    fail(k, "Unknown unit in a user declaration (ele, int, met, deg, vel or spi expected)!");
    return;
  }
  bool normal = b.pass == Pass::Normal;
  if (line.compare(0, 5, "goto ") == 0) {
    if (normal) jump_placeholder(k, std::string_view(line).substr(5), false);
  } else if (line.back() == ':') {
    define_label(k, std::string_view(line).substr(0, line.size() - 1));
  } else if (line.compare(0, 6, "gosub ") == 0) {
    if (normal) jump_placeholder(k, std::string_view(line).substr(6), true);
  } else if (line == "return") {
    if (normal) x86::emit(k.w, Ins::ret);
  } else {
    general_statement(k, std::move(line));
  }
}

}  // namespace

bool compile_call(Compiler& k, std::string_view text) {
  size_t open = text.find('(');
  std::string_view name = text.substr(0, open);
  std::string args;
  if (open != std::string_view::npos)
    for (char ch : text.substr(open + 1))
      if (ch != ')') args += ch;
  int32_t count = 0;
  if (!args.empty()) {
    count = 1;
    for (char ch : args) count += ch == ',';
  }
  int32_t row = keyword_find(name);
  if (row < 0) {
    if (name.empty())
      fail(k, "Square brackets '[' exected but round brackets '(' found instead!");
    else
      fail(k, "Unknown function/instruction '" + std::string(name) + "'!");
    return false;
  }
  int32_t params = keyword_row(row).params;
  if (count != params) {
    fail(k, quoted(name) + " requires " + std::to_string(params) + " parameter(s)!");
    return false;
  }
  for (int32_t i = 0; i < count; ++i) {
    std::string_view arg = field_of(args, i + 1, ',');
    OperandValue v;
    if (!resolve_operand(k, arg, v)) {
      if (!k.b.capacity_error) {
        k.b.compile_error.clear();
        fail(k, "Unknown parameter '" + std::string(arg) + "'!");
      }
      return false;
    }
    gen_load_argument(k, static_cast<Reg>(i), v);
  }
  x86::emit_call(k.w, keyword_entry_address(row));
  if (keyword_routine_row(row) == keyword_find("visual_picked")) k.b.picking = 1;
  return true;
}

int32_t compile_expression(Compiler& k, std::string e) {
  // The original parser worked in slots of the StringStack and warned when it ran low.
  constexpr int32_t kLowMemory = 80000;
  int32_t free_bytes = str_stack_free(k.c) * kStrSlotBytes;
  if (free_bytes < kLowMemory) {
    char value[32];
    std::snprintf(value, sizeof value, "Value: %g\n", static_cast<double>(free_bytes));
    show_message(k.c, std::string(value) + "Warning! Expression parser memory low.");
  }
  int32_t first = k.b.temps;
  bool reduced = false;
  while (!failed(k) && (reduce_compound_argument(k, e) || reduce_call(k, e) ||
                        reduce_group(k, e) || reduce_operation(k, e)))
    reduced = true;
  if (failed(k)) return -1;
  if (!reduced) {
    // E. A single operand.
    OperandValue v;
    if (resolve_operand(k, e, v)) gen_load_result(k, v);
    return -1;
  }
  return k.b.temps > first ? k.b.temps - 1 : -1;
}

bool resolve_value_text(Core& c, BrainState& b, std::string_view text, int32_t& value) {
  value = 0;
  std::string source;
  std::string t = prepare_line(text, source);
  t.erase(std::remove(t.begin(), t.end(), ' '), t.end());
  if (t.empty() || t[0] == '"') return false;
  if (t[0] == '-') t[0] = kUnaryMinus;
  // A compilation context of its own, so that no brain's compile state is touched.
  std::string saved_error;
  saved_error.swap(b.compile_error);
  Compiler k{c, b, {}, {}};
  OperandValue v;
  bool ok = resolve_operand(k, t, v) && v.kind == OperandKind::Constant;
  b.compile_error.swap(saved_error);
  if (ok) value = v.value;
  return ok;
}

bool compile_brain_text(Core& c, BrainState& b, std::string_view text, Pass pass) {
  Compiler k{c, b, {}, std::string(c.base_folder ? c.base_folder->view() : std::string_view())};
  // The last CodeBuffer byte stays free: it is the shared empty brain of failed brains.
  k.w.buf = b.code.data();
  k.w.base = guest::kCodeBufferBase;
  k.w.limit = static_cast<uint32_t>(b.code.size()) - 1;
  k.w.pos = &b.out;

  b.pass = pass;
  b.compile_error.clear();
  b.error_line = 0;
  b.errors.clear();
  b.capacity_error = false;
  b.line = 0;
  b.line_prefix.clear();
  b.source.clear();
  b.temps = 0;
  b.status = 0;
  b.label_count = 0;
  b.control_top = 0;
  control_stack(k)[0] = kControlStackBottom;
  b.placeholders.clear();
  b.brain_start = b.out;
  b.line_code.assign(1, b.out);
  b.data_ranges.clear();

  collect_declarations(k, text);
  size_t pos = 0;
  std::string_view raw;
  note_error(k, b.out);
  // Too many variables ends the compilation whatever: every line would report the same.
  if (!b.errors.empty()) b.compile_error = b.errors.front().text;
  while (!failed(k) && next_line(text, pos, raw)) {
    ++b.line;
    const uint32_t start = b.out;
    b.line_code.push_back(b.out);
    compile_line(k, raw);
    if (k.w.full) fail_capacity(k, "Code buffer full: the project's brains are too long!");
    note_error(k, start);
  }
  // What follows the last line has no line prefix.
  b.line_prefix.clear();
  if (!failed(k)) {
    const uint32_t open = control_pop(k);
    if (open != kControlStackBottom && open != kFailedIf) {
      fail_alone(k, "If...endif nesting error!");
      // The error is the unclosed if: the last line whose code starts before its jump ends.
      b.error_line = 0;
      for (size_t line = 1; line < b.line_code.size(); ++line)
        if (code_address(b.line_code[line]) < open) b.error_line = int32_t(line);
      note_error(k, b.out);
    }
  }
  if (!failed(k)) {
    b.line_code.push_back(b.out);
    x86::emit(k.w, Ins::ret);
    if (k.w.full) fail_capacity(k, "Code buffer full: the project's brains are too long!");
    note_error(k, b.out);  // going on after errors, this one is listed too
  }
  if (!failed(k)) resolve_labels(k);
  // Going on after errors, the brain still fails with its first error.
  if (b.keep_going && !b.errors.empty()) {
    b.compile_error = b.errors.front().text;
    b.error_line = b.errors.front().line;
  }
  return !failed(k);
}

}  // namespace korva
