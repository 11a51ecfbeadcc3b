// The core's keywords: element-local variables, starting other programs, restarting the
// player, how the program runs, the date and time, and switching an element's brain off and on.
#pragma once
#include <cstdint>
#include <string_view>

#include "core/system.h"

namespace korva {

struct KeywordBindings;

constexpr int32_t kLocalSlots = 128;  // local 0 is the last word of the record, 127 at byte 512

int32_t local(System& s, int32_t e, int32_t slot);
void local_set(System& s, int32_t e, int32_t slot, int32_t v);
void run(System& s, int32_t command);       // waits for the program's end, pumping
void run_task(System& s, int32_t command);  // returns once the program has started
void reset(System& s);
int32_t exemode(System& s, int32_t mask);
int32_t year(System& s);
int32_t month(System& s);
int32_t day(System& s);
int32_t hour(System& s);
int32_t minute(System& s);
int32_t second(System& s);
void disable(System& s, int32_t e);
void enable(System& s, int32_t e);

// The year from the two digits of a date: 50..99 are 1950..1999, 0..49 are 2000..2049.
constexpr int32_t year_from_two_digits(int32_t yy) { return yy < 50 ? 2000 + yy : 1900 + yy; }

// Starts a command line as a new process: words separated by blanks, a double-quoted part kept
// as one word, "\" read as "/"; the first word is the program, searched in PATH when it has no
// "/". Returns the process id, or -1 when it could not be started.
int32_t start_process(std::string_view command_line);

void bind_core_keywords(KeywordBindings& b);

}  // namespace korva
