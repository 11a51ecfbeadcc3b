// The register file of the brain machine. The parameter registers come first, in parameter
// order (the order of x86::Reg), so that parameter k of the keyword convention is r[k].
#pragma once
#include <cstdint>

#include "brain/x86.h"

namespace korva {

constexpr int32_t kEdi = x86::kParamRegs;  // index of edi in Registers::r

struct Registers {
  int32_t r[x86::kParamRegs + 1] = {};  // eax, ebx, ecx, edx, esi, edi
  uint32_t esp = 0;
  uint32_t eip = 0;  // guest address of the instruction being executed (kept at calls and faults)

  int32_t& operator[](x86::Reg x) { return r[static_cast<uint8_t>(x)]; }
  int32_t operator[](x86::Reg x) const { return r[static_cast<uint8_t>(x)]; }
  int32_t& eax() { return r[0]; }
  int32_t& edi() { return r[kEdi]; }
};

}  // namespace korva
