// brainc --run N: runs a brain for N brain steps as element 0 of an otherwise empty project and
// prints each declared variable as name=value, in declaration order. Messages of the run
// (brain faults, keywords not available yet) go to stderr.
#include <cstdio>
#include <memory>
#include <string_view>

#include "brain/brain_run.h"
#include "brain/machine.h"
#include "engine/engine.h"
#include "run/keyword_table.h"
#include "runtime/memory_blocks.h"

void print_compile_error(std::string_view file, int32_t line, const std::string& text);  // brainc.cpp

int brainc_run(std::string_view file, int32_t steps, bool interpret) {
  auto blocks = std::make_unique<korva::Blocks>();
  korva::BrainRunResult r =
      korva::run_brain_file(file, steps, korva::bind_brain_keywords, [&](korva::System& s) {
        s.blocks = blocks.get();
        if (interpret) s.machine->back_end = korva::BackEnd::Interpreter;
        korva::fill_math_tables(*s.core);
      });
  if (!r.compiled) {
    print_compile_error(file, r.error_line, r.compile_error);
    return 1;
  }
  for (const auto& [name, value] : r.variables) std::printf("%s=%d\n", name.c_str(), value);
  return 0;
}
