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

// Lines of a text held in memory. A line ends at a line feed; a carriage return right before
// it is not part of the line. The last line may end at the end of the buffer.
struct LineCursor {
  const char* data;
  int64_t size;
  int64_t pos = 0;

  bool at_end() const { return pos >= size; }
  // The next line (without its line end); the cursor moves past the line end.
  std::string_view next() {
    int64_t start = pos;
    int64_t end = start;
    while (end < size && data[end] != '\n') ++end;
    pos = end < size ? end + 1 : size;
    int64_t len = end - start;
    if (len > 0 && end < size && data[end - 1] == '\r') --len;
    return {data + start, static_cast<size_t>(len)};
  }
};

}  // namespace korva
