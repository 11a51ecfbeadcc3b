// The native back end of the brain machine: translates the pre-decoded ops of a Program into
// x86-64 host code once per compile, and runs brains through it. The interpreter in machine.cpp
// stays the reference: the native code keeps its semantics exactly (registers, lazy flags, the
// guest stack and its return slots, the branch budget and clock checks, keyword calls, faults).
// Where the host cannot run it (another architecture, no executable memory) there is no native
// code and the machine interprets.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

namespace korva {

struct Machine;
struct System;
struct Program;
struct NativeCode;

// Translates m.program (pre-decoded and linked) into native code for machine m. Null when the
// host is not x86-64 or executable memory cannot be had. The code refers to m's fields and to
// the host words of the pre-decoded ops, so it belongs to m and to this program only.
std::shared_ptr<NativeCode> native_translate(Machine& m);

// Runs the native code from op pc with the registers in m.regs, as the interpreter's run does:
// true when the brain returned to the host, false on a fault (left in m.fault). rec is the host
// address of the instance record of edi.
bool native_run(System& s, const NativeCode& code, int32_t pc, uint8_t* rec);

// For every op of p, whether the flags on entering it may still be read by a conditional jump
// (1) or are set again first (0); one more entry at the end: whether they may be read at some
// return site of a gosub. The native code keeps the flags only where they are live.
std::vector<uint8_t> native_flags_live(const Program& p);

// Bytes of host code the translation produced (benchmarks and tests).
size_t native_code_bytes(const NativeCode& code);

}  // namespace korva
