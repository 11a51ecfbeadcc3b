// korva-mkdata's generators: every data file of an editing installation, computed from its
// definition or drawn by code. Each generator returns the file's bytes; install() writes them.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/math_tables.h"

namespace korva::mkdata {

using Bytes = std::vector<uint8_t>;

// ---- Math tables (raw little-endian, no header) ----------------------------------------------

constexpr int32_t kSinusRows = 450;           // one row per whole degree, 0..449
constexpr int32_t kSinusBytes = kSinusRows * 256;
constexpr int32_t kSinusBigEntries = 3600;    // one per 1/8 degree, 0..449.875
constexpr int32_t kAtanEntries = 720;         // one per 1/8 degree, 0..89.875

// Row d, column c holds round(sin(d degrees) x (c - 128)), so column 1 multiplies by -127 and
// column 255 by +127: the engine's horizontal thrust reads x from column 1 of row d and z from
// column 255 of row d + 90, which moves an element along its own forward axis.
Bytes make_sinus();
// 3600 int32: round(sin(k/8 degree) x 32768).
Bytes make_sinusbig();
// 720 int32 in ascending order: round(tan(k/8 degree) x 1024).
Bytes make_atan();
// 2000 bytes from a fixed-seed generator.
Bytes make_random(uint32_t seed = kRandomSeed);

// ---- Palette, 8-bit images, PCX ---------------------------------------------------------------

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
};
using Palette = std::array<Rgb, 256>;

// The GUI's fixed palette index for a colour (black pair 0/1, a 7 x 6 x 6 cube in 2..253, two
// whites 254/255). Our palette is built so that every entry maps back to its own index.
int32_t gui_rgb_index(int32_t r, int32_t g, int32_t b);
const Palette& gui_palette();
// Index of the cube cell (ri 0..6, gi 0..5, bi 0..5).
constexpr uint8_t cube(int32_t ri, int32_t gi, int32_t bi) {
  return static_cast<uint8_t>(36 * ri + 6 * gi + bi + 2);
}

struct Image8 {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> pixels;

  Image8() = default;
  Image8(int32_t w, int32_t h, uint8_t fill = 0) : width(w), height(h), pixels(size_t(w) * h, fill) {}
  uint8_t& at(int32_t x, int32_t y) { return pixels[size_t(y) * width + x]; }
  uint8_t at(int32_t x, int32_t y) const { return pixels[size_t(y) * width + x]; }
  void plot(int32_t x, int32_t y, uint8_t c) {
    if (x >= 0 && y >= 0 && x < width && y < height) at(x, y) = c;
  }
  void fill(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint8_t c);  // inclusive, clipped
};

// 24-bit picture used for BMP screens and textures.
struct ImageRgb {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<Rgb> pixels;

  ImageRgb() = default;
  ImageRgb(int32_t w, int32_t h, Rgb fill = {}) : width(w), height(h), pixels(size_t(w) * h, fill) {}
  Rgb& at(int32_t x, int32_t y) { return pixels[size_t(y) * width + x]; }
  void blend(int32_t x, int32_t y, Rgb c, int32_t alpha);  // alpha 0..255, clipped
};

// Version 5 PCX, 8 bits, one plane, run-length encoded, 256-colour palette at the end.
Bytes pcx_encode(const Image8& image, const Palette& palette);
// Decodes by the engine's rules (header byte 10, pixel data from byte 128, palette = last 768
// bytes, (width + 1) & ~1 bytes per line). Returns false for anything it cannot decode whole.
bool pcx_decode(const Bytes& file, Image8& out, Palette* palette = nullptr);
ImageRgb to_rgb(const Image8& image, const Palette& palette);

// ---- Text rendering (FreeType) ----------------------------------------------------------------

// A scalable font opened from a file, rendered at one pixel size at a time.
class Typeface {
 public:
  Typeface();
  ~Typeface();
  Typeface(const Typeface&) = delete;
  Typeface& operator=(const Typeface&) = delete;

  bool open(const std::string& path);
  bool is_open() const;
  void set_pixel_size(int32_t pixels);
  int32_t ascent() const;       // pixels above the baseline at the current size
  int32_t line_height() const;  // pixels from one line to the next
  int32_t text_width(std::string_view text) const;
  // Calls plot(x, y, coverage 1..255) for each covered pixel of the text; (x, y) is the left
  // end of the baseline.
  void draw(std::string_view text, int32_t x, int32_t y,
            const std::function<void(int32_t, int32_t, int32_t)>& plot) const;
  // Glyph of one character code (Windows-1252): advance and coverage bitmap of the full cell
  // (advance x line_height), baseline at ascent().
  int32_t glyph_cell(uint8_t code, std::vector<uint8_t>& cell) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// The first usable free font of the system (DejaVu Sans, then Liberation Sans); empty if none.
std::string find_font_file(bool bold = false);
// A fixed-width face (DejaVu Sans Mono or Liberation Mono); empty when none is installed.
std::string find_mono_font_file();
// The brain editor's grid font ("data/editor.fnt"): fixed width, 8 pixels a character; empty
// bytes when no fixed-width face is installed (the editor then uses the panel font).
Bytes make_editor_fnt();

// Our bitmap font file (".fnt"): see docs/file-formats.md.
Bytes make_fnt(const Typeface& face);
struct FntInfo {
  int32_t first = 0, count = 0, height = 0, ascent = 0;
  std::vector<int32_t> advance;
};
bool fnt_parse(const Bytes& file, FntInfo& info);

// ---- Skin --------------------------------------------------------------------------------------

constexpr int32_t kSkinWidth = 128;
constexpr int32_t kSkinHeight = 112;  // the virtual editor's icons from row 64
enum class SkinVariant { Editor, Player };
// The panel skin with every region where the GUI reads it. The face draws the title strip's
// name; without one the strip is left plain.
Image8 make_skin(SkinVariant variant, const Typeface* face);

// ---- Pictures, sounds, models ----------------------------------------------------------------

Bytes bmp_encode(const ImageRgb& image);  // 24-bit, bottom-up
ImageRgb make_screen(std::string_view title, std::string_view subtitle, Typeface* face,
                     bool dark);
ImageRgb make_sky();          // the default 3D background panorama
ImageRgb make_texture();      // the default texture of visuals

struct Sound {
  int32_t rate = 22050;
  std::vector<int16_t> samples;  // mono
};
Bytes wav_encode(const Sound& sound);
enum class SoundKind { Silence, Beep, Click, Blip, Explosion, Engine, Pickup };
Sound make_sound(SoundKind kind);
// The sample video "images/sample_.avi": three seconds of a moving colour pattern with a tone
// (MPEG-4 in AVI, 160 x 120 at 20 pictures a second). Empty when it cannot be made.
Bytes make_sample_video();

struct Mesh {
  struct Vertex {
    float x, y, z, u, v;
  };
  std::vector<Vertex> vertices;
  std::vector<std::array<int32_t, 3>> faces;
};
// Hood n (0..4) of the 3D background, half 'a' (x >= 0) or 'b' (x <= 0); radius 1, seen from
// inside.
Mesh make_hood(int32_t n, char half);
Mesh make_box(float half_x, float half_y, float half_z);
Mesh make_sphere(float radius, int32_t rings, int32_t segments, bool inside);
Mesh make_cross(float length, float thickness);
Bytes x_encode(const Mesh& mesh, std::string_view texture);  // DirectX text model
Bytes tds_encode(const Mesh& mesh, std::string_view name);   // 3D Studio model

// ---- Text files --------------------------------------------------------------------------------

// Joins lines with carriage return and line feed after each one.
std::string crlf(const std::vector<std::string>& lines);
Bytes to_bytes(std::string_view text);

struct DemoElement {
  std::string record;  // the element record, paths written with "./"
  std::string brain;   // brain text, lines separated by "\n"
};
// A project file: comment line, count, records, settings line, "@n" brain sections.
Bytes project_encode(std::string_view description, const std::vector<DemoElement>& elements,
                     std::string_view settings);
// The 65536-byte companion with the collision matrix and the six settings.
Bytes companion_encode(int32_t clip, int32_t fov);

// ---- Installation -----------------------------------------------------------------------------

struct FileEntry {
  std::string path;  // relative to the installation folder, "/" separators
  Bytes data;
};
struct FileGroup {
  std::string name;  // shown in the progress line
  std::vector<FileEntry> files;
};

// A hilly square terrain of side `size` from (x0, z0), steps x steps quads, seen from above.
Mesh make_hills(float x0, float z0, float size, int32_t steps);
// The ground map the engine generates from a .3ds model, stamped with the model's content.
Bytes ground_map_of_model(const Bytes& tds);

// The race example project ("projects/race"): a spline racer and a recorded-track racer.
FileGroup race_demo_files();
// The meshes example project ("projects/shadows"): a rippling sheet, volume shadows, a material.
FileGroup shadow_demo_files();

// The folders of an editing installation.
std::vector<std::string> installation_folders();
// Every generated file, in groups. Fails (empty, with a message) only when no font can be
// opened.
std::vector<FileGroup> installation_files(const std::string& font_path, std::string& error);

struct InstallOptions {
  bool force = false;        // overwrite files that exist
  std::string font_path;     // empty: find_font_file()
  std::function<void(const std::string&)> report;  // one line per group
};
struct InstallResult {
  int32_t written = 0;
  int32_t kept = 0;    // existed already and were left alone
  int32_t failed = 0;  // could not be written
  std::string error;   // set when nothing could be done
};
InstallResult install(const std::string& folder, const InstallOptions& options);

}  // namespace korva::mkdata
