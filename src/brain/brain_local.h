// The brain compiler's own header: the compile context shared by the line normaliser, symbol
// resolution, the parser and the code generator.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "brain/brain.h"
#include "brain/x86.h"

namespace korva {

// Codes of the compact form that are not plain characters.
constexpr char kUnaryMinus = '\xD1';
constexpr char kLessEqual = '\xA3';
constexpr char kGreaterEqual = '$';
constexpr char kNotEqual = '!';
constexpr char kOr = '\xF5';
constexpr char kAnd = '&';
constexpr char kXor = '\xF8';
constexpr char kNegativeElement = '\\';  // "#-" of a negative element offset

// The 13 operators, in the order in which binary operations are reduced (each its own
// precedence level).
constexpr char kOperators[] = {'/', '*', '-', '+', '=', '!', '<', '>', kLessEqual,
                               kGreaterEqual, kOr, kAnd, kXor};

inline bool is_operator(char ch) {
  for (char op : kOperators)
    if (ch == op) return true;
  return false;
}

struct OperandValue {
  OperandKind kind = OperandKind::Constant;
  int32_t value = 0;
  bool neg = false;  // preceded by a unary minus (never set on a Constant)
};

// Everything one compilation works with.
struct Compiler {
  Core& c;
  BrainState& b;
  x86::CodeWriter w;
  std::string base_folder;  // replaces ".\" at the start of a string literal
};

// ---- Errors ----
// Fails the brain with the line prefix in front of msg (the first error wins).
void fail(Compiler& k, std::string_view msg);
// Fails the brain with msg standing alone.
void fail_alone(Compiler& k, std::string_view msg);
// A buffer ran full: the brain fails in every pass (see capacity_error).
void fail_capacity(Compiler& k, std::string_view msg);
inline bool failed(const Compiler& k) { return !k.b.compile_error.empty(); }

// ---- Line normalisation (normalise.cpp) ----
// Steps 1 to 5: cuts the comment, trims, keeps the trimmed source text, masks string literals
// and lower-cases. Returns the prepared line.
std::string prepare_line(std::string_view raw, std::string& source);
// Steps 8 to 13 on a prepared general statement: word operators, the "if " test (first3),
// blank removal, unary minus, two-character comparisons. False on a bracket nesting error.
bool compact_line(std::string& line, std::string& first3);
std::string_view trim_blanks(std::string_view s);
// Field n (1-based) of s split at d, as field_get reads it.
std::string_view field_of(std::string_view s, int32_t n, char d);
void replace_all(std::string& s, std::string_view search, std::string_view replacement);

// ---- Symbol resolution (resolve.cpp) ----
// Resolves one operand text of the compact form. False (with the error set) when it cannot.
bool resolve_operand(Compiler& k, std::string_view text, OperandValue& out);
// Allocates the next temporary of the statement; -1 (brain failed) when the TempArea is full.
int32_t new_temporary(Compiler& k);
inline uint32_t temporary_address(int32_t t) {
  return guest::kTempAreaBase + 4u * static_cast<uint32_t>(t);
}

// ---- Code generation (codegen.cpp) ----
// A whole expression that is a single operand, into eax.
void gen_load_result(Compiler& k, const OperandValue& v);
// A call argument into its parameter register.
void gen_load_argument(Compiler& k, x86::Reg r, const OperandValue& v);
// A binary operation; the result is left in eax.
void gen_binary(Compiler& k, char op, const OperandValue& left, const OperandValue& right);
// The store of eax into temporary t after a reduction.
void gen_store_temporary(Compiler& k, int32_t t);

// ---- Parser (parser.cpp) ----
// Compiles one call "name(arg,...)" whose arguments are single operands.
bool compile_call(Compiler& k, std::string_view text);
// Compiles a compact expression; the value ends in eax. Returns the last temporary allocated
// by this compilation, or -1 when none was (a single operand was loaded).
int32_t compile_expression(Compiler& k, std::string text);

}  // namespace korva
