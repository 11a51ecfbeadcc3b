// The brain language's public face: the keyword table, the compiler that turns brain files into
// x86 code in the guest CodeBuffer, the project-wide brain compilation with brain sharing, and
// the disassembler. The machine that executes the code reads the buffers of BrainState.
//
// Guest memory regions owned here (mapped by the machine at the addresses of guest_memory.h):
// the CodeBuffer, the TempArea and the LiteralPool.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brain/guest_memory.h"
#include "core/core.h"

namespace korva {

struct Model;

// ---- Keyword table ----

// One row of the static keyword table, in table order.
struct KeywordRow {
  const char* name;  // lower-case, at most 26 characters
  int8_t returns;    // R: 1 = the keyword returns a value
  int8_t params;     // N: exact number of parameters, 0..5
  int8_t flag;       // F: carried with the row, not read by the compiler
};

constexpr int32_t kKeywordRows = 488;
constexpr int32_t kMaxKeywordEntries = 672;  // keyword entries plus the closing "*end*"

const KeywordRow& keyword_row(int32_t row);   // row 0..kKeywordRows-1
std::string keyword_row_text(int32_t row);    // "R|name|N|F|", as stored in the 32-byte text
int32_t keyword_find(std::string_view name);  // first row with that name, -1 when none
// The row whose routine row implements: the first row of its synonym group (itself otherwise).
int32_t keyword_routine_row(int32_t row);
// The guest entry address of row's routine (synonyms share their first row's address).
uint32_t keyword_entry_address(int32_t row);
// The keyword routine entered at addr (its first row), or -1.
int32_t keyword_at_address(uint32_t addr);

// ---- Declarations ----

// The declaration type of a prepared line (comment cut, trimmed, lower-cased): 0 for "var ",
// 1..6 for "user" with the units ele, int, met, deg, vel, spi; kNotDeclaration otherwise, and
// kUnknownUnit for a "user" line whose unit is none of these (rejected: it would shift the
// offsets of the variables after it between the compiler and the element configuration).
constexpr int32_t kNotDeclaration = -1;
constexpr int32_t kUnknownUnit = -2;
int32_t declaration_type(std::string_view line);
// The declared name: the text between the prefix and the first "=", trimmed.
std::string_view declaration_name(std::string_view line, int32_t type);

// ---- Compiler ----

enum class OperandKind : int32_t { Constant = 0, Variable, ElementAddress, Temporary, StringLiteral };

// The normal pass compiles everything; the editor pass only the calls marked "editor".
enum class Pass : int32_t { Normal, Editor };

constexpr int32_t kMaxVariables = 127;        // declarations per brain
constexpr int32_t kFirstVariableOffset = 1020;
constexpr int32_t kTemporaries = guest::kTempAreaBytes / 4;
constexpr int32_t kLabelEntryBytes = 20;      // 16-byte name + code address
constexpr int32_t kMaxLabels = 4096 / kLabelEntryBytes;  // the compiler label area
constexpr int32_t kControlStackWords = 4096 / 4;         // the compiler work area
constexpr uint32_t kControlStackBottom = 0xF1CAAC1Fu;
constexpr int32_t kMaxLineLength = kStrCapacity;         // a source line fits one FixedString
constexpr int64_t kMaxBrainFileBytes = 3145728;          // the general file buffer

struct VariableEntry {
  int32_t type;       // declaration type code 0..6
  std::string name;   // lower case, trimmed
  int32_t offset;     // byte offset in the instance record: 1020, 1016, ...
};

// A goto or gosub placeholder waiting for label resolution.
struct Placeholder {
  uint32_t pos;          // offset of its 16 bytes in the CodeBuffer
  bool gosub;
  char name[16];         // the label's blank-padded name
  std::string prefix;    // the line prefix of the statement, for the error text
  int32_t line = 0;      // the statement's line
};

// Compiled brains of a project and the compiler's state. One per system (System::brain).
struct BrainState {
  // Guest memory regions.
  std::vector<uint8_t> code;          // CodeBuffer, guest::kCodeBufferBytes
  std::vector<uint8_t> temp_area;     // TempArea, guest::kTempAreaBytes
  std::vector<uint8_t> literal_pool;  // LiteralPool, guest::kLiteralPoolBytes

  uint32_t out = 0;          // output position: offset of the next free CodeBuffer byte
  uint32_t literal_pos = 0;  // next free LiteralPool byte (offset)
  // The literal range: guest addresses of the LiteralPool position before and after compiling
  // a project's brains; keyword routines recognise literal pointers by it.
  uint32_t literal_start = guest::kLiteralPoolBase;
  uint32_t literal_end = guest::kLiteralPoolBase;

  int32_t picking = 0;      // set when any brain calls visual_picked
  int32_t brain_error = 0;  // set when any brain of the project failed to compile
  // The brains of the last project compilation that failed: whose, which file, which line
  // (0 before the first line), and the error text the box showed.
  struct Failure {
    int32_t element = 0;
    std::string path;
    int32_t line = 0;
    std::string text;
  };
  std::vector<Failure> failures;
  // Where each line of every compiled brain starts in the CodeBuffer, in code order, so that a
  // fault can name its brain line; and each element's brain file.
  struct CodeLine {
    uint32_t offset = 0;
    int32_t element = 0;  // the element whose brain it is (the first of those sharing it)
    int32_t line = 0;
  };
  std::vector<CodeLine> code_lines;
  std::vector<std::string> brain_paths;

  // Brain sharing, indexed by element.
  uint32_t checksum[256] = {};
  int32_t owner[256] = {};

  // ---- State of the brain being compiled ----
  Pass pass = Pass::Normal;
  std::string compile_error;     // empty = no error
  int32_t error_line = 0;        // the source line the error is about (0: the whole brain)
  // Set by the caller: after an error the compilation goes on with the next line, and every
  // error is kept in errors (the first one is still compile_error). The brain fails all the
  // same; this is for tools that list every error of a file at once.
  bool keep_going = false;
  struct Error {
    int32_t line = 0;  // 0: the whole brain
    std::string text;
  };
  std::vector<Error> errors;
  bool capacity_error = false;   // a buffer ran full: the brain fails whatever the pass
  int32_t line = 0;              // line number (the first line is 1)
  std::string line_prefix;       // source text + " (" + line + ")|"
  std::string source;            // the line's source text; string literals are taken from it
  int32_t temps = 0;             // temporaries of the current statement
  int32_t status = 0;            // kind of the last resolution, -1 after an error
  std::vector<VariableEntry> variables;  // the element entry, then one per declaration
  int32_t label_count = 0;       // entries in the label area (Pool::CompilerLabels)
  int32_t control_top = 0;       // index of the top word in the work area (Pool::CompilerWork)
  std::vector<Placeholder> placeholders;

  // What the last compile_brain produced, for tools and tests: the code offset at the start
  // of each line (index = line number; one more entry marks the final ret), and the goto
  // placeholder tails (offset, length) that hold label text rather than instructions.
  uint32_t brain_start = 0;
  std::vector<uint32_t> line_code;
  std::vector<std::pair<uint32_t, uint32_t>> data_ranges;

  BrainState();
};

std::unique_ptr<BrainState> brain_create();

// The brain line that holds guest code address eip: its element (the first of those sharing the
// brain) and line; false for an address outside every compiled line.
bool brain_line_at(const BrainState& b, uint32_t eip, int32_t& element, int32_t& line);
// "FILE, line N: TEXT" for a line of element's brain file ("private brain of element N" when the
// file cannot be read), for the messages that name where a brain went wrong.
std::string brain_line_text(const BrainState& b, int32_t element, int32_t line);

// Guest address of a CodeBuffer offset.
constexpr uint32_t code_address(uint32_t offset) { return guest::kCodeBufferBase + offset; }

// Compiles the brain file at path into the CodeBuffer at the output position. Returns true on
// success; on failure b.compile_error holds the text the project compiler shows.
bool compile_brain(Core& c, BrainState& b, std::string_view path, Pass pass);
// The same for a brain text held in memory.
bool compile_brain_text(Core& c, BrainState& b, std::string_view text, Pass pass);

// Compiles the brains of every element of the table (field 4 of each record), identical brain
// files sharing one compiled brain, and writes each entry address into its instance record.
void compile_project_brains(Core& c, Model& m, BrainState& b, Pass pass);

// Resolves a default value text (a "var " declaration's text after "=", a kind-7 brain
// parameter) as one operand: decimal, hexadecimal, unit suffixes, a leading minus. False (and
// 0) for anything that is not a number.
bool resolve_value_text(Core& c, BrainState& b, std::string_view text, int32_t& value);

// Gives the LiteralPool back (before a new project is loaded into the same process).
void literal_pool_reset(BrainState& b);

// The checksum of a brain file: the wrapping sum of its little-endian 32-bit words; a missing
// file gives 0 and a file shorter than 4 bytes its length.
uint32_t brain_checksum(std::string_view bytes);

// One line per instruction of the CodeBuffer bytes [from, to): address, bytes, mnemonic, and
// the keyword name of every call of a keyword routine.
std::string disassemble(const BrainState& b, uint32_t from, uint32_t to);

}  // namespace korva
