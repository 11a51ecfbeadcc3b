// brainc: compiles brain files the way the engine compiles the brain of element 0 of a
// one-element project (code at the start of the CodeBuffer) and prints the code bytes, a
// disassembly, or the compile error text that the engine would show after "brain ERROR!|",
// as FILE:LINE: TEXT.
//
//   brainc [--hex] [--asm] [--editor] [--all-errors] FILE.brn...
//   brainc --run N FILE.brn...   runs N brain steps and prints the variables (run.cpp), as
//                                host code where the host allows it; --interpreter interprets
//   brainc --keywords            prints the keyword reference (markdown)
//
// --all-errors goes on after an error with the next line and prints every error of the file,
// one FILE:LINE: TEXT each, in line order.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "brain/brain.h"
#include "brain/keyword_reference.h"
#include "core/core.h"
#include "model/model.h"

int brainc_run(std::string_view file, int32_t steps, bool interpret);  // run.cpp

// FILE:LINE: TEXT (FILE: TEXT without a line), the form compilers use, so that editors open
// the line.
void print_compile_error(std::string_view file, int32_t line, const std::string& text) {
  std::printf("%.*s%s: %s\n", int(file.size()), file.data(), line > 0 ? (":" + std::to_string(line)).c_str() : "",
              text.c_str());
}

namespace {

void usage() {
  std::fprintf(stderr, "usage: brainc [--hex] [--asm] [--editor] [--all-errors] FILE.brn...\n"
                       "       brainc --run N [--interpreter] FILE.brn...\n"
                       "       brainc --keywords\n");
}

}  // namespace

int main(int argc, char** argv) {
  bool hex = false, assembly = false, all_errors = false, keywords = false, interpret = false;
  korva::Pass pass = korva::Pass::Normal;
  std::vector<std::string_view> files;
  int32_t run_steps = -1;
  for (int i = 1; i < argc; ++i) {
    std::string_view a = argv[i];
    if (a == "--run" && i + 1 < argc) run_steps = std::atoi(argv[++i]);
    else if (a == "--hex") hex = true;
    else if (a == "--interpreter") interpret = true;
    else if (a == "--asm") assembly = true;
    else if (a == "--editor") pass = korva::Pass::Editor;
    else if (a == "--all-errors") all_errors = true;
    else if (a == "--keywords") keywords = true;
    else if (a.size() > 1 && a[0] == '-') {
      usage();
      return 2;
    } else {
      files.push_back(a);
    }
  }
  if (keywords && files.empty()) {
    // Without the availability column: brainc binds only the keywords a brain needs without a
    // window or a scene, so what it has says little about what a project run has.
    std::fputs(korva::keyword_reference_markdown().c_str(), stdout);
    return 0;
  }
  if (files.empty() || keywords) {
    usage();
    return 2;
  }

  int status = 0;
  for (std::string_view file : files) {
    if (run_steps >= 0) {
      status |= brainc_run(file, run_steps, interpret);
      continue;
    }
    auto c = korva::core_create();
    auto m = korva::model_create();
    auto b = korva::brain_create();
    // The message box would show "'brainc' brain ERROR!|" + the error: print the error alone.
    c->ui.message_box = [](std::string_view, std::string_view, std::string_view) { return 1; };
    korva::str_set(korva::element_record(*c, 0), "brainc|||" + std::string(file));
    m->last_index = 0;
    b->keep_going = all_errors;
    korva::compile_project_brains(*c, *m, *b, pass);
    if (b->brain_error) {
      if (b->errors.empty()) print_compile_error(file, b->error_line, b->compile_error);
      // Labels are resolved and open ifs found after the last line: put their errors in place.
      std::stable_sort(b->errors.begin(), b->errors.end(),
                       [](const auto& x, const auto& y) { return x.line < y.line; });
      for (const auto& e : b->errors) print_compile_error(file, e.line, e.text);
      status = 1;
      continue;
    }
    if (hex) {
      std::string line;
      char byte[4];
      for (uint32_t i = b->brain_start; i < b->out; ++i) {
        std::snprintf(byte, sizeof byte, i == b->brain_start ? "%02X" : " %02X", b->code[i]);
        line += byte;
      }
      std::printf("%s\n", line.c_str());
    }
    if (assembly) std::printf("%s", korva::disassemble(*b, b->brain_start, b->out).c_str());
  }
  return status;
}
