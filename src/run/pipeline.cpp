// The run's ordered list of steps: each subsystem adds its steps to a phase once, and the run
// calls the phases in their order.
#include "run/run.h"

namespace korva {

const char* phase_name(Phase phase) {
  static constexpr const char* kNames[] = {
      "asset reset", "run start", "input",  "races",    "collisions", "joysticks", "before brains", "after brains",
      "restore",   "2D under", "scene sync", "sound sync", "3D",      "2D over",       "present",
      "sound commit", "run end",
  };
  static_assert(sizeof(kNames) / sizeof(kNames[0]) == size_t(Phase::Count), "one name per phase");
  const auto k = size_t(phase);
  return k < size_t(Phase::Count) ? kNames[k] : "?";
}

void run_step_add(RunPipeline& p, Phase phase, std::string_view name, RunStepFn run) {
  // Kept sorted by phase, registration order within a phase.
  auto at = p.steps.begin();
  while (at != p.steps.end() && at->phase <= phase) ++at;
  p.steps.insert(at, RunStep{phase, std::string(name), std::move(run)});
}

void run_phase(System& s, Phase phase) {
  if (!s.pipeline) return;
  for (const RunStep& step : s.pipeline->steps)
    if (step.phase == phase && step.run) step.run(s);
}

std::vector<std::string> run_step_names(const RunPipeline& p) {
  std::vector<std::string> names;
  for (const RunStep& step : p.steps) names.push_back(std::string(phase_name(step.phase)) + ": " + step.name);
  return names;
}

}  // namespace korva
