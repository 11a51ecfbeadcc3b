// The binding of keyword rows to their C++ routines. A keyword routine is a plain function
// named after its keyword, taking System& and then its int32_t parameters, returning int32_t
// (a function) or void (an instruction):
//
//     int32_t sum(System& s, int32_t a, int32_t b);
//     void velocity_update(System& s, int32_t e);
//
// keyword_routine<F> adapts such a function to the one shape the machine calls: parameters
// come from eax, ebx, ecx, edx, esi in that order, a result goes to eax, edi is untouched, and
// an instruction leaves eax as it was. Each keyword family provides
// `void bind_<family>_keywords(KeywordBindings&)` which binds its routines by keyword name.
#pragma once
#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>

#include "brain/brain.h"
#include "brain/registers.h"

namespace korva {

struct System;

using KeywordRoutine = void (*)(System& s, Registers& regs);

// Routine per keyword row (table order). nullptr: the keyword is not available yet; the
// machine then returns 0 from it and reports it once per run.
struct KeywordBindings {
  KeywordRoutine routine[kKeywordRows] = {};
};

// Binds routine to the row called name and to every synonym of it (the rows that share its
// entry). False, binding nothing, when no row has that name.
[[nodiscard]] bool bind_keyword(KeywordBindings& b, std::string_view name, KeywordRoutine routine);

namespace keyword_detail {

template <typename Sig>
struct Adapter;

template <typename R, typename... P>
struct Adapter<R (*)(System&, P...)> {
  static_assert(sizeof...(P) <= 5, "a keyword takes at most five parameters");
  static_assert((std::is_same_v<P, int32_t> && ...), "keyword parameters are int32_t");
  static_assert(std::is_same_v<R, int32_t> || std::is_void_v<R>,
                "a keyword returns int32_t (a function) or nothing (an instruction)");

  template <R (*F)(System&, P...), size_t... I>
  static void call(System& s, Registers& regs, std::index_sequence<I...>) {
    if constexpr (std::is_void_v<R>)
      F(s, regs.r[I]...);
    else
      regs.r[0] = F(s, regs.r[I]...);
  }
  template <R (*F)(System&, P...)>
  static void routine(System& s, Registers& regs) {
    call<F>(s, regs, std::index_sequence_for<P...>{});
  }
};

}  // namespace keyword_detail

// The uniform routine of keyword function F.
template <auto F>
inline constexpr KeywordRoutine keyword_routine =
    &keyword_detail::Adapter<decltype(F)>::template routine<F>;

}  // namespace korva
