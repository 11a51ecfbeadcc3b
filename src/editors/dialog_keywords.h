// The brains' dialogs (msg_box, input_box, list_box and the Runtime Error box), drawn with the
// panel GUI toolkit over the running game, and the keywords that reach the input state directly
// (clear, and the line editor behind str_input). Without a GUI (tests, tools) a dialog prints
// its text on stderr and answers as Enter would.
#pragma once
#include <cstdint>
#include <string_view>

namespace korva {

struct System;
struct KeywordBindings;

// Button codes: 1 OK and Cancel, 2 Yes and No, 3 Yes, No and Cancel, other OK. Icon: 0
// exclamation, 1 information, 2 question, 3 error, other none. Default: 1..3 the second to
// fourth button, other the first (a default beyond the last button is the first). Answers 1
// OK, 0 Cancel, 3 Yes, 2 No.
int32_t msg_box(System& s, int32_t text, int32_t icon, int32_t default_button, int32_t buttons);
// A one-line text dialog over block's text, limited to its size - 1: 1 and the block changed
// (OK), or 0 (Cancel). The prompt is the window title for style 0, the dialog's text otherwise.
int32_t input_box(System& s, int32_t prompt, int32_t block, int32_t style);
// A scrolling list of the texts named by the first count words of the integer block items:
// the chosen entry's index (OK) or -1 (Cancel, or no entry chosen).
int32_t list_box(System& s, int32_t title, int32_t items, int32_t selection, int32_t count,
                 int32_t style);
// The file list as an open (save = 0) or save dialog. The block holds the first folder or file
// name and takes the chosen path (cut to its size - 1); a text ending in "\\" gets the filter's
// first pattern. The filter is (description, pattern) pairs separated by NUL or "|"; the first
// pattern (";" between several) chooses the files listed. Open lists existing files only; save
// asks before replacing a file and refuses read-only targets. -1 when a file was chosen, else 0.
int32_t file_box(System& s, int32_t block, int32_t save, int32_t filter);

// Empties the key queue and the typed text, and forgets the last key and the wheel.
void clear(System& s);
// The line editor of the brains is the typed text of the input state (Backspace removes the
// last character, other characters are added): str_input_set starts it with a text and
// str_input copies what it holds into a block.
void str_input(System& s, int32_t target);
void str_input_set(System& s, int32_t text);

// The "Runtime Error" box: the text, an error icon and an OK button, in the dialogs' frame.
void runtime_error_box(System& s, std::string_view text);
// Points the run's Runtime Error hook at runtime_error_box for this system.
void connect_dialog_hooks(System& s);

void bind_dialog_keywords(KeywordBindings& b);

}  // namespace korva
