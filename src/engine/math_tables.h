// The math tables the engine reads ("sinus.bin", "sinusbig.bin", "atan.bin", "random.bin"),
// computed from their definitions. The installation writes them with these functions and tests fill the
// pools with them, so both use one definition.
#pragma once
#include <cstdint>

namespace korva {

struct Core;

constexpr int32_t kByteSineRows = 450;                 // one row per whole degree, 0..449
constexpr int32_t kByteSineBytes = kByteSineRows * 256;
constexpr int32_t kFineSineEntries = 3600;             // one per 1/8 degree, 0..449.875
constexpr int32_t kFineSineOne = 32768;                // 1.0 in the fine table
constexpr int32_t kAtanEntries = 720;                  // one per 1/8 degree, 0..89.875
constexpr int32_t kRandomBytes = 2000;
constexpr uint32_t kRandomSeed = 0x4B4F5256;  // "KORV": the shipped table never changes

// Row d, column c holds round(sin(d degrees) x (c - 128)): column 1 scales by -127 and column
// 255 by +127, so horizontal thrust (x from column 1 of row d, z from column 255 of row d + 90)
// moves an element along its own forward axis.
void make_byte_sine_table(int8_t* out);   // kByteSineBytes
void make_fine_sine_table(int32_t* out);  // kFineSineEntries: round(sin(k/8 degree) x 32768)
void make_atan_table(int32_t* out);       // kAtanEntries: round(tan(k/8 degree) x 1024)
// kRandomBytes well-spread bytes (xorshift32 from seed), the same on every machine.
void make_random_table(uint8_t* out, uint32_t seed = kRandomSeed);

// Fills the Sinus, SinusBig, Atan and Random pools of c (little-endian, as the files hold them).
void fill_math_tables(Core& c);

}  // namespace korva
