// The brain step: picking, the per-frame flags, and one run of every running brain.
#include "brain/brain_runner.h"

#include "brain/machine.h"
#include "model/model.h"
#include "model/run_state.h"

namespace korva {

void brain_step(System& s, const BrainRunner& runner) {
  if (s.brain && s.brain->picking != 0 && runner.pick) {
    int32_t picked = runner.pick(s);
    if (picked != 0) s.brain->picking = picked;
  }
  uint8_t* records = s.core->pool(Pool::Instances);
  const int32_t count = s.model ? element_count(*s.model) : 0;

  // Extra rotation (bit 3) holds for one frame only.
  for (int32_t i = 0; i < kInstanceRecords; ++i) {
    uint8_t* rec = records + i * kInstanceRecordBytes;
    ir_set(rec, ir::kFlags, ir_get(rec, ir::kFlags) & ~ir::kFlagExtraRotation);
  }

  if (runner.before_brains) runner.before_brains(s);
  for (int32_t i = 0; i < count && i < kInstanceRecords; ++i) {
    uint8_t* rec = records + i * kInstanceRecordBytes;
    const int32_t flags = ir_get(rec, ir::kFlags);
    if ((flags & ir::kFlagActive) == 0 || (flags & ir::kFlagBrainStopped) != 0) continue;
    if (!machine_call_brain(s, element_handle(i))) report_brain_fault(s, i, s.machine->fault);
    ir_set(rec, ir::kCallCounter,
           static_cast<int32_t>(static_cast<uint32_t>(ir_get(rec, ir::kCallCounter)) + 1u));
  }
  if (runner.after_brains) runner.after_brains(s);
  if (s.run) ++s.run->tics;
}

}  // namespace korva
