// Helpers shared by the model's own files: StringStack temporaries released in scope order,
// and a line cursor over a byte buffer that never reads outside it.
#pragma once
#include <cstdint>
#include <string_view>

#include "core/core.h"

namespace korva {

// A StringStack slot held for one scope; nested scopes release in last-in, first-out order.
class Temp {
 public:
  explicit Temp(Core& c) : c_(c), s_(str_temp(c)) {}
  Temp(Core& c, std::string_view v) : Temp(c) { str_set(s_, v); }
  ~Temp() { str_release(c_, s_); }
  Temp(const Temp&) = delete;
  Temp& operator=(const Temp&) = delete;
  FixedString& operator*() { return s_; }
  FixedString* operator->() { return &s_; }
  std::string_view view() const { return s_.view(); }

 private:
  Core& c_;
  FixedString& s_;
};

}  // namespace korva
