// The application core's public face: the Core context (strings, files, pools, folders,
// clock, command-line numbers) and the helpers that every other folder uses.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "core/files.h"
#include "core/fixed_string.h"
#include "core/frame.h"
#include "core/pools.h"
#include "core/settings.h"
#include "core/ui_hooks.h"

namespace korva {

constexpr int32_t kElementTableSlots = 257;  // element k (1..256) lives in slot k
constexpr int32_t kListTableSlots = 801;     // indices 0..800
constexpr int32_t kMaxParams = 256;          // command-line numbers kept

// Everything the core keeps for one system. Tests create a fresh one per case.
struct Core {
  std::array<uint8_t*, kPoolCount> pools{};
  StringState str;
  FileState files;

  // String arrays taken from the StringStack at creation.
  FixedString* element_table[kElementTableSlots] = {};
  FixedString* list_table[kListTableSlots] = {};

  // Folder state (slots on the StringStack, kept for the life of the system).
  FixedString* base_folder = nullptr;
  FixedString* data_folder = nullptr;
  FixedString* temp_path = nullptr;
  FixedString* engine_file = nullptr;
  FixedString* scratch = nullptr;
  bool no_scramble = false;

  // random_range: byte cursor into the "random.bin" pool, and the message-pump counter.
  int32_t random_cursor = 0;
  uint32_t pump_counter = 0;

  int64_t tick_divisor = 1;  // clock counts per tick of 1/4500 s

  int32_t par_count = 0;
  int32_t par[kMaxParams] = {};

  // Draws printed text on screen when no output file is selected (filled in by the 2D layer).
  std::function<void(std::string_view text, bool new_line)> screen_print;
  UiHooks ui;

  Settings settings;  // the engine settings of "config.ini"
  AppFrame frame;     // the screen (owned by the program) and the window-side state

  Core() = default;
  Core(const Core&) = delete;
  Core& operator=(const Core&) = delete;
  ~Core();

  uint8_t* pool(Pool p) const { return pools[static_cast<int32_t>(p)]; }
  template <typename T>
  T* pool_as(Pool p) const { return reinterpret_cast<T*>(pool(p)); }
};

// Allocates every pool (zero-filled, in table order), the string arrays and folder strings.
std::unique_ptr<Core> core_create();

}  // namespace korva
