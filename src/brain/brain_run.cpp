// One brain run on its own: a fresh system, the brain as element 0, its defaults, N steps.
#include "brain/brain_run.h"

#include "brain/brain.h"
#include "brain/brain_local.h"
#include "brain/brain_runner.h"
#include "brain/machine.h"
#include "model/model.h"
#include "model/run_state.h"

namespace korva {

namespace {

// The value of a "var" default: the text resolved as one operand of a statement (units,
// hexadecimal and negative numbers allowed); what does not resolve gives 0.
int32_t resolve_default(Core& c, BrainState& b, std::string_view text) {
  std::string t(trim_blanks(text));
  for (char& ch : t)
    if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch - 'A' + 'a');
  if (!t.empty() && t[0] == '-') t[0] = kUnaryMinus;
  Compiler k{c, b, {}, {}};
  const std::string saved_error = b.compile_error;
  b.compile_error.clear();
  OperandValue v;
  int32_t value = resolve_operand(k, t, v) && v.kind != OperandKind::StringLiteral ? v.value : 0;
  b.compile_error = saved_error;
  return value;
}

}  // namespace

void place_declared_defaults(System& s, std::string_view text) {
  Core& c = *s.core;
  BrainState& b = *s.brain;
  std::string config;
  int32_t count = 0;
  size_t pos = 0;
  std::string source;
  while (pos < text.size() && count < kMaxVariables) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(pos, end - pos);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);  // lines end in CR LF
    std::string line = prepare_line(raw, source);
    pos = end + 1;
    int32_t type = declaration_type(line);
    if (type < 0) continue;
    size_t eq = line.find('=');
    std::string value = eq == std::string::npos ? std::string() : std::string(trim_blanks(std::string_view(line).substr(eq + 1)));
    // In the configuration a plain "var" is type 7; user parameters keep their unit type.
    config += "/" + std::to_string(type == 0 ? 7 : type) + "/" + value + "/" +
              std::to_string(kFirstVariableOffset - 4 * count);
    ++count;
  }
  element_field_set(c, 0, fld::kParams, std::to_string(count) + config);
  store_brain_parameters(c, 0, [&](std::string_view t) { return resolve_default(c, b, t); });
}

BrainRunResult run_brain_file(std::string_view path, int32_t steps,
                              const std::function<void(KeywordBindings&)>& bind,
                              const std::function<void(System&)>& set_up) {
  BrainRunResult result;
  auto core = core_create();
  auto model = model_create();
  auto brain = brain_create();
  auto machine = machine_create();
  RunState run;
  System s{core.get(), model.get(), &run, brain.get(), machine.get()};
  if (set_up) set_up(s);

  str_set(element_record(*core, 0), "brainc|||" + std::string(path));
  model->last_index = 0;
  // The compile error is returned, not shown.
  auto message_box = core->ui.message_box;
  core->ui.message_box = [](std::string_view, std::string_view, std::string_view) { return 1; };
  compile_project_brains(*core, *model, *brain, Pass::Normal);
  core->ui.message_box = message_box;
  if (brain->brain_error) {
    result.compile_error = brain->compile_error;
    result.error_line = brain->error_line;
    return result;
  }
  result.compiled = true;

  // The same text the compiler read, for the defaults.
  std::string text;
  int64_t size = file_size(*core, path);
  if (size > 0 && size <= kMaxBrainFileBytes) {
    text.resize(static_cast<size_t>(size));
    int64_t got = 0;
    if (read_file(*core, path, 0, size, text.data(), &got) != 0) got = 0;
    text.resize(static_cast<size_t>(got));
  }
  place_declared_defaults(s, text);
  uint8_t* rec = core->pool(Pool::Instances);
  ir_set(rec, ir::kFlags, ir::kFlagActive);

  machine_attach(s);
  bind_machine_keywords(machine->keywords);
  if (bind) bind(machine->keywords);
  machine_predecode(s);
  for (const std::string& name : machine_unbound_keywords(*machine))
    show_message(*core, "The keyword '" + name + "' is not available yet: it does nothing and returns 0.");
  run.tics = 0;
  BrainRunner runner;
  for (int32_t i = 0; i < steps; ++i) brain_step(s, runner);

  for (size_t k = 1; k < brain->variables.size(); ++k)
    result.variables.emplace_back(brain->variables[k].name, ir_get(rec, brain->variables[k].offset));
  return result;
}

}  // namespace korva
