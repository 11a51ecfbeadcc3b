// The .3ds triangle reader: walks the chunks of a 3D Studio file and turns every face list into
// triangles of the remembered vertex list, with the file's z-up axes turned into y-up.
#include "engine/triangles.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/files.h"

namespace korva {

namespace {

uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
float f32(const uint8_t* p) {
  const uint32_t v = u32(p);
  float f;
  std::memcpy(&f, &v, 4);
  return f;
}

}  // namespace

int32_t tds_parse(const uint8_t* data, size_t size, TriangleList& out) {
  if (!data || size < 6 || u16(data) != kChunkMain) return -1;
  // The main chunk's length bounds the walk; a length past the end of the file stops at the end.
  const size_t end = std::min<size_t>(u32(data + 2), size);
  int32_t met = 1;
  const uint8_t* vertices = nullptr;  // the remembered vertex list: count, then x, y, z floats
  size_t vertex_count = 0;
  size_t p = 6;
  while (p + 6 <= end) {
    const uint16_t id = u16(data + p);
    const uint32_t length = u32(data + p + 2);
    // A chunk shorter than its own header would never advance the walk; a chunk running past
    // the end is cut there.
    if (length < 6) break;
    const size_t chunk_end = length > end - p ? end : p + length;
    switch (id) {
      case kChunkEditor:
      case kChunkMesh:
        ++met;
        p += 6;  // entered: its sub-chunks follow
        continue;
      case kChunkObject: {
        ++met;
        size_t q = p + 6;
        while (q < chunk_end && data[q] != 0) ++q;  // the object's name
        p = q + 1;
        continue;
      }
      case kChunkVertices: {
        ++met;
        if (p + 8 <= chunk_end) {
          const size_t n = u16(data + p + 6);
          const size_t room = (chunk_end - (p + 8)) / 12;
          vertex_count = std::min(n, room);  // a count past the chunk keeps what is there
          vertices = data + p + 8;
        }
        break;
      }
      case kChunkFaces: {
        ++met;
        if (p + 8 > chunk_end || !vertices) break;
        const size_t n = std::min<size_t>(u16(data + p + 6), (chunk_end - (p + 8)) / 8);
        const uint8_t* f = data + p + 8;
        for (size_t i = 0; i < n; ++i, f += 8) {
          Triangle t;
          bool ok = true;
          for (int k = 0; k < 3 && ok; ++k) {
            const size_t v = u16(f + 2 * k);
            if (v >= vertex_count) {
              ok = false;  // an index past the vertex list: the face is dropped
              break;
            }
            const uint8_t* c = vertices + v * 12;
            t[size_t(k * 3 + 0)] = f32(c);
            t[size_t(k * 3 + 1)] = f32(c + 8);  // file z is the scene's y
            t[size_t(k * 3 + 2)] = f32(c + 4);  // file y is the scene's z
          }
          for (float x : t) ok = ok && std::isfinite(x);
          if (ok) out.push_back(t);
        }
        break;
      }
      default:
        break;
    }
    p = chunk_end;
  }
  return met;
}

int32_t read_triangles(std::string_view path, TriangleList& out, std::string_view default_path) {
  out.clear();
  std::vector<uint8_t> bytes;
  if (read_whole_file(path, bytes, kMaxModelBytes) && tds_parse(bytes.data(), bytes.size(), out) >= kMinChunks)
    return static_cast<int32_t>(out.size());
  out.clear();
  if (!default_path.empty() && default_path != path && read_whole_file(default_path, bytes, kMaxModelBytes) &&
      tds_parse(bytes.data(), bytes.size(), out) >= kMinChunks)
    return static_cast<int32_t>(out.size());
  out.clear();  // not even the default model: no triangles
  return 0;
}

void mirror_triangles(TriangleList& list) {
  for (auto& t : list) {
    for (int k = 0; k < 3; ++k) t[size_t(k * 3)] = -t[size_t(k * 3)];
    // Mirroring turns clockwise corners anticlockwise: swap two corners back.
    for (int k = 0; k < 3; ++k) std::swap(t[size_t(3 + k)], t[size_t(6 + k)]);
  }
}

}  // namespace korva
