// The workload of the brain step benchmarks: 256 elements running one typical brain
// (arithmetic, ifs, a gosub and 20 keyword calls per run), as a Korva brain and as the same
// function in Lua, both calling the same C++ keyword routines.
#pragma once
#include <climits>
#include <cstdint>
#include <string>

#include "brain/guest_memory.h"
#include "brain/machine.h"
#include "core/system.h"
#include "model/instance_record.h"

namespace korva::bench {

constexpr int32_t kElements = 256;

// ---- The keyword routines (named after their keywords, as the families write them) ----
inline int32_t wrap(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }
inline int32_t sum(System&, int32_t a, int32_t b) { return wrap(int64_t(a) + b); }
inline int32_t subtract(System&, int32_t a, int32_t b) { return wrap(int64_t(a) - b); }
inline int32_t multiply(System&, int32_t a, int32_t b) { return wrap(int64_t(a) * b); }
inline int32_t divide(System&, int32_t a, int32_t b) {
  if (b == 0 || (a == INT_MIN && b == -1)) return INT_MAX;
  return a / b;
}
inline int32_t absolute_value(System&, int32_t v) { return v < 0 ? wrap(-int64_t(v)) : v; }
inline int32_t limit(System&, int32_t v, int32_t lo, int32_t hi) {
  return v < lo ? lo : (v >= hi ? hi : v);
}
inline int32_t between(System&, int32_t v, int32_t lo, int32_t hi) {
  return lo <= v && v <= hi ? -1 : 0;
}
// Element-data keywords validate the handle, as every keyword must.
inline uint8_t* record_of(System& s, int32_t e) { return guest_instance_record(s.machine->memory, e); }
inline int32_t score(System& s, int32_t e) {
  uint8_t* r = record_of(s, e);
  return r ? ir_get(r, ir::kScore) : 0;
}
inline void score_set(System& s, int32_t e, int32_t v) {
  if (uint8_t* r = record_of(s, e)) ir_set(r, ir::kScore, v);
}
inline void score_add(System& s, int32_t e, int32_t v) {
  if (uint8_t* r = record_of(s, e)) ir_set(r, ir::kScore, wrap(int64_t(ir_get(r, ir::kScore)) + v));
}

// The brain: 20 keyword calls on every run (numbered), a gosub, ifs and arithmetic.
inline constexpr const char* kKorvaBrain = R"(; A typical brain
var n=0
var a=0
var b=0
var c=0
var t=0
var s=0
n=n+1
a=sum(n,7)                    ; 1
b=subtract(a*3,n/2)           ; 2
c=multiply(b,2)-a             ; 3
t=divide(c,3)                 ; 4
if t>100
t=t-200
else
t=t+n*2
endif
a=limit(a,0,1000)             ; 5
gosub update                  ; 6..9
if between(b,0,5000)          ; 10
b=b-1
endif
s=score(element)              ; 11
score_set(element,s+a)        ; 12
c=sum(c,absolute_value(t))    ; 13, 14
t=divide(multiply(a,b),limit(c,1,99))  ; 15, 16, 17
if t<0
t=0-t
endif
score_add(element,1)          ; 18
s=absolute_value(s-a)+sum(t,b)  ; 19, 20
return
update:
a=sum(a,1)                    ; 6
b=subtract(b,a/4)             ; 7
c=absolute_value(c-b)         ; 8
t=multiply(t,3)/4             ; 9
return
)";

// The same brain in Lua: the element's variables live in its table, its handle in e.h.
// DIV(x, y) is integer division, written for each Lua by lua_source().
inline constexpr const char* kLuaBrain = R"(
local k = ...
local floor = math.floor
local sum, subtract, multiply, divide = k.sum, k.subtract, k.multiply, k.divide
local absolute_value, limit, between = k.absolute_value, k.limit, k.between
local score, score_set, score_add = k.score, k.score_set, k.score_add
local function update(e)
  e.a = sum(e.a, 1)
  e.b = subtract(e.b, DIV(e.a, 4))
  e.c = absolute_value(e.c - e.b)
  e.t = DIV(multiply(e.t, 3), 4)
end
return function(e)
  e.n = e.n + 1
  e.a = sum(e.n, 7)
  e.b = subtract(e.a * 3, DIV(e.n, 2))
  e.c = multiply(e.b, 2) - e.a
  e.t = divide(e.c, 3)
  if e.t > 100 then
    e.t = e.t - 200
  else
    e.t = e.t + e.n * 2
  end
  e.a = limit(e.a, 0, 1000)
  update(e)
  if between(e.b, 0, 5000) ~= 0 then
    e.b = e.b - 1
  end
  e.s = score(e.h)
  score_set(e.h, e.s + e.a)
  e.c = sum(e.c, absolute_value(e.t))
  e.t = divide(multiply(e.a, e.b), limit(e.c, 1, 99))
  if e.t < 0 then
    e.t = 0 - e.t
  end
  score_add(e.h, 1)
  e.s = absolute_value(e.s - e.a) + sum(e.t, e.b)
end
)";

// The loop-heavy brain: a 12 x 12 multiply-add over its own variables on every run (288 taken
// jumps, no keyword calls), and the same in Lua with the variables in the element's table.
inline constexpr const char* kKorvaLoopBrain = R"(; A loop-heavy brain
var n=0
var i=0
var j=0
var acc=0
n=n+1
acc=0
i=0
outer:
j=0
inner:
acc=acc+i*j+n
j=j+1
if j<12
goto inner
endif
i=i+1
if i<12
goto outer
endif
)";

inline constexpr const char* kLuaLoopBrain = R"(
local k = ...
return function(e)
  e.n = e.n + 1
  e.acc = 0
  e.i = 0
  repeat
    e.j = 0
    repeat
      e.acc = e.acc + e.i * e.j + e.n
      e.j = e.j + 1
    until not (e.j < 12)
    e.i = e.i + 1
  until not (e.i < 12)
end
)";

// The keyword-heavy brain: 20 calls of value keywords in a row, little else.
inline constexpr const char* kKorvaKeywordBrain = R"(; A keyword-heavy brain
var n=0
var a=0
var b=0
n=n+1
a=sum(n,1)
b=absolute_value(a)
a=sum(a,b)
b=subtract(a,n)
a=limit(b,0,100000)
b=multiply(a,3)
a=divide(b,2)
b=sum(a,n)
a=absolute_value(b)
b=subtract(a,7)
a=limit(b,-5,5000)
b=sum(a,a)
a=multiply(b,2)
b=divide(a,3)
a=sum(b,1)
b=absolute_value(a)
a=subtract(b,n)
b=limit(a,0,99)
a=sum(a,b)
b=divide(a,2)
)";

inline constexpr const char* kLuaKeywordBrain = R"(
local k = ...
local sum, subtract, multiply, divide = k.sum, k.subtract, k.multiply, k.divide
local absolute_value, limit = k.absolute_value, k.limit
return function(e)
  e.n = e.n + 1
  e.a = sum(e.n, 1)
  e.b = absolute_value(e.a)
  e.a = sum(e.a, e.b)
  e.b = subtract(e.a, e.n)
  e.a = limit(e.b, 0, 100000)
  e.b = multiply(e.a, 3)
  e.a = divide(e.b, 2)
  e.b = sum(e.a, e.n)
  e.a = absolute_value(e.b)
  e.b = subtract(e.a, 7)
  e.a = limit(e.b, -5, 5000)
  e.b = sum(e.a, e.a)
  e.a = multiply(e.b, 2)
  e.b = divide(e.a, 3)
  e.a = sum(e.b, 1)
  e.b = absolute_value(e.a)
  e.a = subtract(e.b, e.n)
  e.b = limit(e.a, 0, 99)
  e.a = sum(e.a, e.b)
  e.b = divide(e.a, 2)
end
)";

// The branchy brain: nested ifs on values that change from run to run.
inline constexpr const char* kKorvaBranchyBrain = R"(; A branchy brain
var n=0
var a=0
var b=0
var c=0
var s=0
n=n+1
a=n-n/8*8
b=n-n/13*13
c=0
if a<3
if b<6
c=1
else
c=2
endif
else
if a=5
c=3
else
if b>8
c=4
else
c=5
endif
endif
endif
if c<>2
if a>1
c=c+10
endif
endif
if b>=a
s=s+c
else
s=s-c
endif
if s>1000
s=0
endif
if s<-1000
s=0
endif
)";

inline constexpr const char* kLuaBranchyBrain = R"(
local k = ...
local floor = math.floor
return function(e)
  e.n = e.n + 1
  e.a = e.n - DIV(e.n, 8) * 8
  e.b = e.n - DIV(e.n, 13) * 13
  e.c = 0
  if e.a < 3 then
    if e.b < 6 then e.c = 1 else e.c = 2 end
  else
    if e.a == 5 then
      e.c = 3
    else
      if e.b > 8 then e.c = 4 else e.c = 5 end
    end
  end
  if e.c ~= 2 then
    if e.a > 1 then e.c = e.c + 10 end
  end
  if e.b >= e.a then e.s = e.s + e.c else e.s = e.s - e.c end
  if e.s > 1000 then e.s = 0 end
  if e.s < -1000 then e.s = 0 end
end
)";

// kLuaBrain with DIV(x, y) written as floor division: x // y in Lua 5.4 (integers), and
// floor(x / y) in LuaJIT (numbers are doubles; floor is one of its fast functions).
inline std::string lua_source(bool has_floor_division, const char* brain = kLuaBrain) {
  std::string s = brain, out;
  size_t pos = 0;
  for (size_t at; (at = s.find("DIV(", pos)) != std::string::npos;) {
    out += s.substr(pos, at - pos);
    size_t i = at + 4, comma = 0;
    for (int depth = 0; i < s.size(); ++i) {
      if (s[i] == '(') ++depth;
      else if (s[i] == ')' && depth-- == 0) break;
      else if (s[i] == ',' && depth == 0) comma = i;
    }
    std::string x = s.substr(at + 4, comma - at - 4), y = s.substr(comma + 1, i - comma - 1);
    out += has_floor_division ? "((" + x + ") // (" + y + "))" : "floor((" + x + ") / (" + y + "))";
    pos = i + 1;
  }
  return out + s.substr(pos);
}

}  // namespace korva::bench
