// The brain step of the frame loop: picking, then every active element whose brain is not
// stopped runs its compiled brain once, in element order.
#pragma once
#include <cstdint>
#include <functional>

#include "core/system.h"

namespace korva {

// Seams to the parts of the system that the brain step calls but that live above the brains.
struct BrainRunner {
  // The scene's picking routine, run once per step while the picking flag is set; a non-zero
  // answer is stored in the picking flag.
  std::function<int32_t(System&)> pick;
  // Network synchronisation around the element loop.
  std::function<void(System&)> before_brains;
  std::function<void(System&)> after_brains;
};

// One brain step. A brain fault stops that element's brain, is reported, and the step goes on
// with the next element.
void brain_step(System& s, const BrainRunner& runner);

}  // namespace korva
