// A fresh system for keyword tests: a Core with the math tables filled, a RunState, a System
// wiring them, and word access to instance records by element index.
#pragma once
#include <cstdint>
#include <memory>

#include "core/core.h"
#include "core/system.h"
#include "engine/element_access.h"
#include "engine/math_tables.h"
#include "model/instance_record.h"
#include "model/run_state.h"

namespace korva {

struct KeywordFixture {
  std::unique_ptr<Core> core = core_create();
  RunState run;
  System sys;

  KeywordFixture() {
    fill_math_tables(*core);
    sys.core = core.get();
    sys.run = &run;
  }
  static int32_t h(int32_t i) { return element_handle(i); }
  uint8_t* record(int32_t i) { return core->pool(Pool::Instances) + i * kInstanceRecordBytes; }
  int32_t get(int32_t i, int32_t offset) { return ir_get(record(i), offset); }
  void set(int32_t i, int32_t offset, int32_t v) { ir_set(record(i), offset, v); }
  void set3(int32_t i, int32_t offset, int32_t x, int32_t y, int32_t z) {
    set(i, offset, x);
    set(i, offset + 4, y);
    set(i, offset + 8, z);
  }
};

}  // namespace korva
