// What the front ends show about the installation's files: the choices of a picker, their
// thumbnails (images through the engine's readers, visuals rendered by the engine's 3D device),
// one-line summaries of brains and sounds, the list of recent projects and the user's editor.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/core.h"
#include "core/files.h"
#include "core/pcx.h"
#include "editors/editors.h"
#include "frontend/frontend.h"
#include "model/model.h"
#include "platform/platform.h"

namespace korva::frontend {

namespace fs = std::filesystem;

namespace {

// Larger files are not decoded for a thumbnail.
constexpr int64_t kLargestImageFile = 32 << 20;
constexpr int64_t kLargestImagePixels = 8192 * 8192;
constexpr int64_t kLargestBrain = 1 << 20;
constexpr size_t kMostRecent = 10;

std::string lower_extension(const std::string& path) {
  std::string e = fs::path(path).extension().string();
  for (char& ch : e) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return e;
}

struct PickPlace {
  std::string folder;                   // below the installation
  std::vector<std::string> extensions;  // with the dot, lower case
};

std::vector<PickPlace> pick_places(const std::string& field, int32_t type) {
  const std::vector<std::string> images = {".pcx", ".bmp", ".png", ".jpg"};
  if (field == "sound") return {{"sounds", {".wav"}}};
  if (field == "brain") return {{"brains", {".brn"}}};
  if (field == "background") return {{"bckgrnds", images}, {"images", images}};
  for (const ElementKind& k : element_kinds()) {
    if (k.type != type) continue;
    const std::string asset = k.asset;
    const std::string folder = asset.substr(0, asset.find('/'));
    const std::string ext = lower_extension(asset);
    if (ext == ".pcx" && type == kTypeFlatShape) return {{folder, images}};
    return {{folder, {ext}}};
  }
  return {{"visuals", {".v3d"}}};
}

// Shrinks rgb (w x h) to fit width x height, keeping its shape; nearest pixel.
void fit(const std::vector<uint8_t>& rgb, int32_t w, int32_t h, int32_t width, int32_t height, Thumbnail& out) {
  const double scale = std::min({1.0, double(width) / w, double(height) / h});
  out.width = std::max(1, int32_t(w * scale));
  out.height = std::max(1, int32_t(h * scale));
  out.rgb.resize(size_t(out.width) * size_t(out.height) * 3);
  for (int32_t y = 0; y < out.height; ++y) {
    const int32_t sy = std::min(h - 1, int32_t(y / scale));
    for (int32_t x = 0; x < out.width; ++x) {
      const int32_t sx = std::min(w - 1, int32_t(x / scale));
      std::memcpy(&out.rgb[(size_t(y) * out.width + x) * 3], &rgb[(size_t(sy) * w + sx) * 3], 3);
    }
  }
}

bool pcx_rgb(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& rgb, int32_t& w, int32_t& h) {
  if (bytes.size() < 128 + 769 || bytes[0] != 10) return false;
  const int64_t pw = int64_t(bytes[8] | (bytes[9] << 8)) - int64_t(bytes[4] | (bytes[5] << 8)) + 1;
  const int64_t ph = int64_t(bytes[10] | (bytes[11] << 8)) - int64_t(bytes[6] | (bytes[7] << 8)) + 1;
  if (pw <= 0 || ph <= 0 || pw * ph > kLargestImagePixels) return false;
  std::vector<uint8_t> buffer(size_t(pw * ph) + 768);
  PcxImage image;
  const int32_t n = pcx_decode(bytes.data(), int64_t(bytes.size()), buffer.data(), int64_t(buffer.size()),
                               PcxMode::WithPalette, PcxColourFormat{}, image);
  if (n != pw * ph || image.width != pw || image.height != ph) return false;
  w = image.width;
  h = image.height;
  const uint8_t* palette = buffer.data() + size_t(n);
  rgb.resize(size_t(n) * 3);
  for (size_t i = 0; i < size_t(n); ++i) std::memcpy(&rgb[i * 3], palette + 3 * buffer[i], 3);
  return true;
}

uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }

// "1.5 s, 22050 Hz, mono" from a WAV file's chunks; "" when it is not one.
std::string wav_summary(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  uint8_t head[12];
  if (!in.read(reinterpret_cast<char*>(head), 12) || std::memcmp(head, "RIFF", 4) != 0 ||
      std::memcmp(head + 8, "WAVE", 4) != 0)
    return "";
  uint32_t rate = 0, bytes_per_second = 0;
  int32_t channels = 0;
  for (int32_t chunks = 0; chunks < 64; ++chunks) {
    uint8_t chunk[8];
    if (!in.read(reinterpret_cast<char*>(chunk), 8)) break;
    const uint32_t size = le32(chunk + 4);
    if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
      uint8_t fmt[16];
      if (!in.read(reinterpret_cast<char*>(fmt), 16)) break;
      channels = fmt[2] | (fmt[3] << 8);
      rate = le32(fmt + 4);
      bytes_per_second = le32(fmt + 8);
      in.seekg(std::streamoff(size - 16 + (size & 1)), std::ios::cur);
    } else if (std::memcmp(chunk, "data", 4) == 0) {
      if (bytes_per_second == 0) break;
      char text[96];
      std::snprintf(text, sizeof text, "%.1f s, %u Hz, %s", double(size) / bytes_per_second, rate,
                    channels == 1 ? "mono" : channels == 2 ? "stereo" : "sound");
      return text;
    } else {
      in.seekg(std::streamoff(size + (size & 1)), std::ios::cur);
    }
  }
  return "";
}

}  // namespace

PickKind pick_kind(const std::string& field, int32_t type) {
  if (field == "sound") return PickKind::Sound;
  if (field == "brain") return PickKind::Brain;
  if (field == "background") return PickKind::Image;
  const std::vector<std::string> ext = pick_places(field, type).front().extensions;
  return ext.front() == ".pcx" ? PickKind::Image : PickKind::Visual;
}

std::vector<std::string> pick_choices(const std::string& install_dir, const std::string& field, int32_t type) {
  std::vector<std::string> out;
  for (const PickPlace& place : pick_places(field, type)) {
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::directory_iterator it(fs::path(install_dir) / place.folder, ec), end; !ec && it != end; it.increment(ec)) {
      const std::string ext = lower_extension(it->path().string());
      if (!it->is_regular_file(ec)) continue;
      if (std::find(place.extensions.begin(), place.extensions.end(), ext) == place.extensions.end()) continue;
      files.push_back(place.folder + "/" + it->path().filename().string());
    }
    std::sort(files.begin(), files.end());
    out.insert(out.end(), files.begin(), files.end());
  }
  return out;
}

bool make_thumbnail(const std::string& install_dir, const std::string& path, PreviewDevice* device, int32_t width,
                    int32_t height, Thumbnail& out) {
  out = {};
  if (width <= 0 || height <= 0) return false;
  const std::string ext = lower_extension(path);
  if (ext == ".v3d" || ext == ".3ds" || ext == ".x") {
    if (!device) return false;
    // A visual names its models and textures as "./folder/file" from the installation, which is
    // the folder korva runs in: the preview is rendered from there too.
    std::error_code ec;
    const fs::path here = fs::current_path(ec);
    if (ec || chdir(install_dir.c_str()) != 0) return false;
    std::vector<uint8_t> rgb;
    const bool rendered = render_model_preview(*device, path, width, height, rgb);
    if (chdir(here.c_str()) != 0) return false;
    if (!rendered) return false;
    out.width = width;
    out.height = height;
    out.rgb = std::move(rgb);
    return true;
  }
  std::vector<uint8_t> bytes;
  if (!read_whole_file(path, bytes, kLargestImageFile) || bytes.empty()) return false;
  std::vector<uint8_t> rgb;
  int32_t w = 0, h = 0;
  const bool ok = ext == ".pcx" ? pcx_rgb(bytes, rgb, w, h)
                                : platform::image_decode_rgb(bytes.data(), int64_t(bytes.size()), rgb, w, h);
  if (!ok || w <= 0 || h <= 0 || int64_t(w) * h > kLargestImagePixels || rgb.size() < size_t(w) * size_t(h) * 3)
    return false;
  fit(rgb, w, h, width, height, out);
  return true;
}

std::string file_summary(const std::string& path) {
  const std::string ext = lower_extension(path);
  if (ext == ".wav") return wav_summary(path);
  if (ext == ".brn" || ext == ".bra") {
    std::vector<uint8_t> bytes;
    if (!read_whole_file(path, bytes, kLargestBrain)) return "";
    return brain_description(std::string(bytes.begin(), bytes.end()));
  }
  return "";
}

std::string recent_file() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg == '/') return std::string(xdg) + "/korva/recent";
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.config/korva/recent";
}

std::vector<std::string> recent_projects() {
  std::vector<std::string> out;
  std::ifstream in(recent_file());
  std::error_code ec;
  for (std::string line; out.size() < kMostRecent && std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || std::find(out.begin(), out.end(), line) != out.end()) continue;
    if (fs::is_regular_file(line, ec)) out.push_back(line);
  }
  return out;
}

bool remember_project(const std::string& path) {
  if (path.empty() || path.find_first_of("\r\n") != std::string::npos) return false;
  std::vector<std::string> list = recent_projects();
  list.erase(std::remove(list.begin(), list.end(), path), list.end());
  list.insert(list.begin(), path);
  if (list.size() > kMostRecent) list.resize(kMostRecent);
  std::string text;
  for (const std::string& p : list) text += p + "\n";
  const std::string file = recent_file();
  std::error_code ec;
  fs::create_directories(fs::path(file).parent_path(), ec);
  return file_write_safely(file, text.data(), static_cast<int64_t>(text.size()));
}

std::string text_editor() {
  for (const char* name : {"VISUAL", "EDITOR"}) {
    const char* v = std::getenv(name);
    if (v && *v) return v;
  }
  return "xdg-open";
}

Status write_level_list(const std::string& install_dir, const std::string& name,
                        const std::vector<std::string>& projects, std::string* path) {
  constexpr size_t kLevelRows = 500;
  if (name.empty() || name.size() > 64 ||
      name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-") != std::string::npos)
    return Status::failed("a level list name is letters, digits, \"_\" and \"-\": " + name);
  if (projects.empty() || projects.size() > kLevelRows)
    return Status::failed("a level list holds 1 to 500 projects");
  const std::string base = install_dir + "/";
  // Paths below the installation are written from "./", as the builder's own lists are.
  auto relative = [&](const std::string& p) { return p.starts_with(base) ? "./" + p.substr(base.size()) : p; };
  std::string text;
  std::error_code ec;
  for (const std::string& project : projects) {
    if (!fs::is_regular_file(project, ec)) return Status::failed(project + " does not exist");
    if (project.find_first_of("|\r\n") != std::string::npos) return Status::failed("a project path cannot hold \"|\"");
    text += "./images/wait_.bmp|./images/anykey_.bmp|" + relative(project) + "|1\r\n";
  }
  for (size_t row = projects.size(); row < kLevelRows; ++row)
    text += "./images/wait_.bmp|./images/anykey_.bmp|./projects/myprj/default_.prj|0\r\n";
  const fs::path folder = fs::path(install_dir) / "multilev";
  fs::create_directories(folder, ec);
  const std::string file = (folder / (name + ".mlv")).string();
  if (!file_write_safely(file, text.data(), static_cast<int64_t>(text.size())))
    return Status::failed("cannot write " + file);
  if (path) *path = file;
  return {};
}

}  // namespace korva::frontend
