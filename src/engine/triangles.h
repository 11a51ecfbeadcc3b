// Triangle lists read from .3ds models: what visuals build their meshes from and what ground
// maps are made of. Plain data, no 3D device.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace korva {

// One triangle: x, y, z of its first, second and third corner.
using Triangle = std::array<float, 9>;
using TriangleList = std::vector<Triangle>;

constexpr uint16_t kChunkMain = 0x4D4D;
constexpr uint16_t kChunkEditor = 0x3D3D;
constexpr uint16_t kChunkObject = 0x4000;
constexpr uint16_t kChunkMesh = 0x4100;
constexpr uint16_t kChunkVertices = 0x4110;
constexpr uint16_t kChunkFaces = 0x4120;
// A model that met fewer of the chunks above is not a model: the default one is read instead.
constexpr int32_t kMinChunks = 5;
// Files are read whole; anything bigger than this is refused rather than allocated.
constexpr int64_t kMaxModelBytes = 64 << 20;

// Walks a .3ds image in memory and appends its triangles (file x, y, z become x, z, y).
// Returns the number of recognised chunks met, or -1 when the main chunk is wrong.
int32_t tds_parse(const uint8_t* data, size_t size, TriangleList& out);
// Reads a .3ds file into out (replacing its contents); falls back to the default model when
// the file is missing, unreadable or lacks the needed chunks. Returns the triangle count.
int32_t read_triangles(std::string_view path, TriangleList& out,
                       std::string_view default_path = "3dsfiles/default_.3ds");
// Mirrors a triangle list in x, keeping the corners clockwise.
void mirror_triangles(TriangleList& list);

}  // namespace korva
