// Running one brain on its own, for brainc --run and the brain tests: the brain is compiled as
// element 0 of an otherwise empty project, its declared defaults are placed in the instance
// record as the element configuration places them, and brain steps run.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "brain/keyword_binding.h"
#include "core/system.h"

namespace korva {

struct BrainRunResult {
  bool compiled = false;
  std::string compile_error;  // the CompileError when the brain did not compile
  int32_t error_line = 0;     // and the line it is about (0: the whole brain)
  // Each declared variable after the steps, in declaration order.
  std::vector<std::pair<std::string, int32_t>> variables;
};

// Builds the element configuration of element 0 from the declaration lines of text (type,
// default text and slot per declaration) and writes the initial values into its record.
// s.brain must hold the variables of text's compilation (for defaults that name symbols).
void place_declared_defaults(System& s, std::string_view text);

// Compiles the brain file at path as element 0 of an empty project and runs steps brain steps.
// bind fills the keyword bindings (the machine's own keywords are always bound). Messages go
// through the message-box hook of the Core that run_brain_file creates, which prints them
// on stderr unless set_up sets it. set_up may also wire further states (memory blocks...)
// and fill tables before the brain is compiled.
BrainRunResult run_brain_file(std::string_view path, int32_t steps,
                              const std::function<void(KeywordBindings&)>& bind,
                              const std::function<void(System&)>& set_up = {});

}  // namespace korva
