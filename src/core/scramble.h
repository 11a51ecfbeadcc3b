// The scrambled copy through which every asset of a stand-alone game is stored and read back:
// each whole 32-bit little-endian word is exclusive-ored with a fixed key and rotated left by
// 13 bits; 1 to 3 trailing bytes stay as they are. Also the asset hash that names the copies.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

struct Core;

constexpr uint32_t kScrambleKey = 0x5A3C96E1u;
constexpr int32_t kScrambleRotation = 13;
// Files are scrambled whole in memory; a bigger one is not an asset of a game.
constexpr int64_t kMaxScrambledBytes = int64_t{512} << 20;

void scramble_bytes(uint8_t* data, int64_t size);
void unscramble_bytes(uint8_t* data, int64_t size);

// The file copies of a stand-alone build. Each does nothing (and returns false) when the source
// does not exist; the destination is written through a temporary file. With the no-scrambling
// flag (c.no_scramble, from "noencrypt.txt") the first two are plain copies except for files
// ending in ".prj", which are always scrambled.
bool copy_scrambled(Core& c, std::string_view source, std::string_view destination);
bool copy_unscrambled(Core& c, std::string_view source, std::string_view destination);
bool copy_plain(Core& c, std::string_view source, std::string_view destination);

// The name part of a hashed asset copy: h = h * 31 + byte (bytes signed, 32-bit wrap-around)
// over the path, in signed decimal.
int32_t asset_hash(std::string_view path);
std::string asset_hash_name(std::string_view path);

// Reads of scrambled assets: while a folder is set (by the stand-alone player), every whole-file
// read of a file directly in that folder whose name is one a build scrambles is unscrambled
// (see is_scrambled_asset_name). Process-wide, like the file handle table; empty turns it off.
void scrambled_folder_set(std::string_view folder);
const std::string& scrambled_folder();
// Hashed copies ("-123.dat", "-123.002"), sounds, ".x" models and ".bmp"/".ppm" images, but not
// the runtime's own plain files ("resume_.bmp", "end_.bmp", "hood0a.x", ...).
bool is_scrambled_asset_name(std::string_view file_name);
// True when path lies directly in the scrambled folder and is_scrambled_asset_name holds.
bool reads_scrambled(std::string_view path);

}  // namespace korva
