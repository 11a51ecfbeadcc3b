// The visual editor: a visual's animation frames and their parts on a property panel beside a
// turntable preview of the current frame, the frame list re-arranged in the text editor, and
// saving under "visuals/NAME/NAME.v3d" after the user has named and confirmed it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "core/core.h"
#include "core/files.h"
#include "core/fixed_string.h"
#include "devices/input.h"
#include "editors/editors.h"
#include "editors/gui_local.h"
#include "editors/preview_local.h"
#include "engine/triangles.h"
#include "platform/platform.h"
#include "render/render.h"

namespace korva {
namespace {

// Fields of a part line as this editor sets them (the engine's reading of each is in render/).
namespace vf {
constexpr int32_t kFrame = 1, kTexture = 2, kSource = 3, kTextureMode = 4, kQuality = 5, kMaterial = 6,
                  kFlip = 8, kTransparency = 9, kWrap = 11, kTranslucency = 21, kRed = 25, kGreen = 26,
                  kBlue = 27, kFaceCoordinates = 29, kTarget = 30, kMorph = 31,
                  kViews = render::kFirstViewField;  // the right view's image; the other four follow
}  // namespace vf

constexpr std::string_view kTextureModes = "COLOR ONLY|SIX VIEWS|FLAT PROJECTION|CYLINDRICAL WRAP";
constexpr std::string_view kSixViews = "BACK|RIGHT|FRONT|LEFT|TOP|BOTTOM";
constexpr int32_t kSixViewsMode = 1;
constexpr std::string_view kQualities = "WIREFRAME|UNLITFLAT|FLAT|GOURAUD";
constexpr std::string_view kMaterials = "DULL|METAL";
constexpr std::string_view kWrapDirections = "FLAT|CYLINDER|SPHERE|CHROME";
constexpr std::string_view kNoYes = "NO|YES";
constexpr std::string_view kYesNo = "YES|NO";
constexpr std::string_view kPartChoices = "ADD NEW PART|DELETE CURRENT PART|CANCEL";
constexpr std::string_view kFramesHeading = "Re-arrange animation frames list:";
constexpr int32_t kMetal = 5;  // field 6's value for a shiny material
// More parts than the engine reads from one file would be lost on the next load.
constexpr int32_t kMaxLines = render::kMaxParts;

enum Line : int32_t {
  kName, kFrameLine, kPartLine, kSourceLine, kTargetLine, kMorphLine, kTextureLine, kModeLine,
  kTransparencyLine, kTranslucencyLine, kWrapLine, kQualityLine, kMaterialLine, kFlipLine, kColorLine,
};
constexpr const char* kLabels[kVisualPanelLines] = {
    "VISUAL NAME...: ", "FRAME.........# ", "PART..........# ", "PART SOURCE...: ", "PART TARGET.... ",
    "MORPHING:.....% ", "TEXTURE NAME..: ", "TEXTURE MODE..: ", "TRANSPARENCY..: ", "TRANSLUCENCY..: ",
    "WRAP DIRECTION: ", "QUALITY.......: ", "MATERIAL......: ", "FACES FLIP....: ", "COLOR.........: ",
};

std::vector<std::string> split_fields(std::string_view line) {
  std::vector<std::string> out;
  size_t start = 0;
  while (true) {
    const size_t bar = line.find('|', start);
    out.emplace_back(line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return out;
}

std::string join_fields(const std::vector<std::string>& f) {
  std::string s;
  for (size_t i = 0; i < f.size(); ++i) s += (i ? "|" : "") + f[i];
  return s;
}

std::string get(std::string_view line, int32_t n) { return std::string(field_view(line, n, '|')); }
int32_t get_int(std::string_view line, int32_t n) { return str_to_int(field_view(line, n, '|')); }

void put(std::string& line, int32_t n, std::string_view value) {
  std::vector<std::string> f = split_fields(line);
  // Missing numbers read as 0; missing view images must stay empty (they follow field 2).
  while (f.size() < size_t(n)) f.emplace_back(f.size() + 1 < size_t(vf::kViews) ? "0" : "");
  f[size_t(n - 1)] = std::string(value);
  line = join_fields(f);
}

std::string entry(std::string_view entries, int32_t index) {
  return std::string(field_view(entries, index + 1, '|'));
}

int32_t texture_mode(std::string_view line) { return std::clamp(get_int(line, vf::kTextureMode), 0, 3); }
bool has_target(std::string_view line) {
  const std::string target = get(line, vf::kTarget);
  return !target.empty() && target != get(line, vf::kSource);
}
std::string yes_no(std::string_view line, int32_t n) { return get_int(line, n) == 1 ? "YES" : "NO"; }

// The last part of a path that fits the width, led by "..." when it was cut.
std::string fit(const Gui& g, std::string text, int32_t width) {
  if (gui_text_width(g, text) <= width) return text;
  while (!text.empty() && gui_text_width(g, "..." + text) > width) text.erase(0, 1);
  return "..." + text;
}

// A path below the base folder as part lines write it ("./" and the rest).
std::string project_relative(const Gui& g, std::string_view path) {
  const std::string base(g.core && g.core->base_folder ? g.core->base_folder->view() : std::string_view());
  if (!base.empty() && path.starts_with(base)) return "./" + std::string(path.substr(base.size()));
  return std::string(path);
}

std::string resolved(std::string_view base, std::string_view path) {
  if (path.starts_with("./")) return std::string(base) + std::string(path.substr(2));
  if (!path.empty() && path.front() == '/') return std::string(path);
  return std::string(base) + std::string(path);
}

std::string base_of(const Gui& g) {
  return std::string(g.core && g.core->base_folder ? g.core->base_folder->view() : std::string_view());
}

bool headless(const Gui& g) { return !g.screen || !g.screen->window; }

}  // namespace

std::string default_part_line(int32_t frame) {
  return std::to_string(frame) +
         "|./images/default_.bmp|./visuals/default_.3ds|1|3|0|0|0|0|0|0|25000|0|0|0|0|0|0|0|0|0|0|0|0|255|255|"
         "255|0|1|./visuals/default_.3ds|0";
}

VisualDocument visual_document_from_text(std::string_view text) {
  VisualDocument d;
  std::map<int32_t, std::vector<std::string>> frames;
  size_t start = 0;
  int32_t lines = 0;
  while (start < text.size() && lines < kMaxLines) {
    size_t nl = text.find('\n', start);
    if (nl == std::string_view::npos) nl = text.size();
    std::string_view line = text.substr(start, nl - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    start = nl + 1;
    if (line.find('|') == std::string_view::npos) continue;
    frames[get_int(line, vf::kFrame)].emplace_back(line);
    ++lines;
  }
  for (auto& [number, parts] : frames) d.frames.push_back(std::move(parts));
  if (d.frames.empty()) d.frames.push_back({default_part_line(1)});
  return d;
}

std::string visual_document_text(const VisualDocument& d) {
  std::string out;
  for (size_t f = 0; f < d.frames.size(); ++f)
    for (std::string line : d.frames[f]) {
      put(line, vf::kFrame, std::to_string(f + 1));
      out += line + "\r\n";
    }
  return out;
}

std::vector<std::string> visual_panel_lines(const VisualDocument& d, int32_t frame, int32_t part) {
  std::vector<std::string> v(kLabels, kLabels + kVisualPanelLines);
  if (d.frames.empty()) return v;
  frame = std::clamp(frame, 0, int32_t(d.frames.size()) - 1);
  const auto& parts = d.frames[size_t(frame)];
  part = std::clamp(part, 0, std::max(0, int32_t(parts.size()) - 1));
  const std::string line = parts.empty() ? default_part_line(frame + 1) : parts[size_t(part)];
  const int32_t mode = texture_mode(line);
  const bool textured = mode != 0, wrapped = mode >= 2;
  const int32_t material = get_int(line, vf::kMaterial) == kMetal ? 1 : 0;
  v[kName] += d.name;
  v[kFrameLine] += std::to_string(frame + 1) + " of " + std::to_string(d.frames.size());
  v[kPartLine] += std::to_string(part + 1) + " of " + std::to_string(parts.size());
  v[kSourceLine] += get(line, vf::kSource);
  v[kTargetLine] += has_target(line) ? get(line, vf::kTarget) + " [opt]" : "[opt]";
  v[kMorphLine] += has_target(line) ? std::to_string(get_int(line, vf::kMorph)) + " [opt]" : "-";
  v[kTextureLine] += textured ? get(line, vf::kTexture) : "-";
  v[kModeLine] += entry(kTextureModes, mode);
  v[kTransparencyLine] += textured ? yes_no(line, vf::kTransparency) : "-";
  v[kTranslucencyLine] += yes_no(line, vf::kTranslucency);
  v[kWrapLine] += wrapped ? entry(kWrapDirections, std::clamp(get_int(line, vf::kWrap), 0, 3)) : "-";
  v[kQualityLine] += entry(kQualities, std::clamp(get_int(line, vf::kQuality), 0, 3));
  v[kMaterialLine] += entry(kMaterials, material);
  v[kFlipLine] += yes_no(line, vf::kFlip);
  v[kColorLine] += textured ? "-"
                            : get(line, vf::kRed) + "-" + get(line, vf::kGreen) + "-" + get(line, vf::kBlue);
  return v;
}

std::string frames_list_text(const VisualDocument& d) {
  std::string out = std::string(kFramesHeading) + "\r\n";
  for (size_t f = 0; f < d.frames.size(); ++f) out += std::to_string(f + 1) + "\r\n";
  return out;
}

bool rearrange_frames(VisualDocument& d, std::string_view list) {
  std::vector<std::vector<std::string>> frames;
  size_t lines = 0;
  size_t start = 0;
  while (start < list.size()) {
    size_t nl = list.find_first_of("\r\n", start);
    if (nl == std::string_view::npos) nl = list.size();
    const std::string_view line = gui_trim(list.substr(start, nl - start));
    start = nl + 1;
    if (line.empty() || line[0] < '0' || line[0] > '9') continue;
    const int32_t n = str_to_int(line);
    if (n < 1 || n > int32_t(d.frames.size())) continue;
    const auto& parts = d.frames[size_t(n - 1)];
    if (lines + parts.size() > size_t(kMaxLines)) break;  // the engine reads no more lines
    lines += parts.size();
    frames.push_back(parts);
  }
  if (frames.empty()) return false;
  d.frames = std::move(frames);
  return true;
}

namespace {

// A frame's parts as the scene builds them: both models read (a missing one falls back to the
// installation's default model) and mirrored as the engine does.
std::vector<render::VisualPartData> frame_parts(const VisualDocument& d, int32_t frame, std::string_view base) {
  std::vector<render::VisualPartData> out;
  if (frame < 0 || frame >= int32_t(d.frames.size())) return out;
  const std::string fallback = std::string(base) + "3dsfiles/default_.3ds";
  for (const std::string& line : d.frames[size_t(frame)]) {
    render::VisualPartData p;
    if (!render::parse_part(line, p.part)) continue;
    p.part.image = resolved(base, p.part.image);
    for (std::string& view : p.part.views)
      if (!view.empty()) view = resolved(base, view);
    read_triangles(resolved(base, p.part.model), p.triangles, fallback);
    if (!p.part.model2.empty()) read_triangles(resolved(base, p.part.model2), p.triangles2, fallback);
    if (p.part.mirrored == 1) {
      mirror_triangles(p.triangles);
      mirror_triangles(p.triangles2);
    }
    out.push_back(std::move(p));
  }
  return out;
}

}  // namespace

bool render_frame_preview(PreviewDevice& device, const VisualDocument& d, int32_t frame,
                          std::string_view base_folder, float turn_degrees, int32_t width, int32_t height,
                          std::vector<uint8_t>& rgb) {
  render::TextureCache textures;
  return render_parts_preview(device, frame_parts(d, frame, base_folder), textures, turn_degrees, width, height,
                              rgb);
}

int32_t choose_entry(Gui& g, std::string_view title, std::string_view entries, int32_t current) {
  std::vector<std::string> items;
  for (int32_t i = 1; i <= 16 && !field_view(entries, i, '|').empty(); ++i)
    items.emplace_back(field_view(entries, i, '|'));
  if (items.empty()) return -1;
  if (headless(g))
    std::fprintf(stderr, "%.*s: %.*s\n", int(title.size()), title.data(), int(entries.size()), entries.data());
  const int32_t n = int32_t(items.size());
  const int32_t row = 28, width = 300;
  const int32_t x0 = (kGuiWidth - width) / 2, y0 = (kGuiHeight - (n * row + 40)) / 2;
  const int32_t ink = gui_skin_colour(g, skin::kWindowTextX), white = gui_rgb_index(255, 255, 255);
  int32_t at = std::clamp(current, 0, n - 1);
  gui_flush_input(g);
  int32_t chosen = -1;
  while (true) {
    gui_window(g, x0, y0, x0 + width, y0 + n * row + 40, true);
    gui_reset_buttons(g);
    gui_print_in(g, title, x0 + width / 2 - gui_text_width(g, title) / 2 + 14, y0 + 12 - gui_font_height(g) / 2,
                 white);
    for (int32_t i = 0; i < n; ++i) {
      const int32_t y = y0 + 30 + i * row;
      const int32_t slot = gui_add_button(g, x0 + 12, y, x0 + width - 12, y + row - 6,
                                          i == at ? ButtonStyle::Inset : ButtonStyle::Raised);
      gui_set_colour(g, ink);
      gui_label_button(g, items[size_t(i)], slot);
    }
    gui_present(g);
    gui_pump(g);
    if (g.input && g.input->read != g.input->write) {
      next_key(*g.core, *g.input);
      const int32_t scan = g.input->last_key;
      if (scan == kScanEscape) break;
      if (scan == kScanEnter) {
        chosen = at;
        break;
      }
      if (scan == kScanUp) at = (at + n - 1) % n;
      if (scan == kScanDown) at = (at + 1) % n;
      continue;
    }
    if (gui_mouse_buttons(g) & 1) {
      const int32_t hit = gui_button_at_mouse(g);
      gui_wait_release(g);
      if (hit == kGuiCloseBoxHit) break;
      if (hit >= 0 && hit < n) {
        chosen = hit;
        break;
      }
      continue;
    }
    if (gui_input_exhausted(g)) break;  // nobody left to choose: nothing changes
  }
  gui_flush_input(g);
  return chosen;
}

namespace {

constexpr int32_t kPanelX = 14, kPanelY = 44, kRowHeight = 22, kPanelRight = 330;
constexpr int32_t kPreviewX = 342, kPreviewY = 44, kPreviewSize = 284;
constexpr float kTurnPerFrame = 4.0f;
constexpr auto kFramePeriod = std::chrono::milliseconds(33);  // about 30 pictures a second

enum Button : int32_t { kFramePrev, kFrameNext, kPartPrev, kPartNext, kPartsMenu, kFramesList, kButtons };
constexpr const char* kButtonLabels[kButtons] = {"<< FRAME", "FRAME >>", "<< PART", "PART >>", "PARTS...",
                                                 "FRAMES LIST..."};

struct Session {
  Gui& g;
  PreviewDevice* device;
  std::string base;
  VisualDocument doc;
  int32_t frame = 0, part = 0;
  bool changed = false;
  // The preview's parts, read again only when the frame or its lines change.
  std::vector<render::VisualPartData> parts;
  render::TextureCache textures;
  bool parts_stale = true;
  float turn = 30.0f;
  int32_t line_slot[kVisualPanelLines] = {};
  int32_t button_slot[kButtons] = {};

  Session(Gui& gui, PreviewDevice* preview, std::string base_folder, VisualDocument d)
      : g(gui), device(preview), base(std::move(base_folder)), doc(std::move(d)) {}

  std::string& line() { return doc.frames[size_t(frame)][size_t(part)]; }
  void touched() {
    changed = true;
    parts_stale = true;
  }
  void go(int32_t new_frame, int32_t new_part) {
    frame = std::clamp(new_frame, 0, int32_t(doc.frames.size()) - 1);
    part = std::clamp(new_part, 0, int32_t(doc.frames[size_t(frame)].size()) - 1);
    parts_stale = true;
  }
};

void draw(Session& s) {
  Gui& g = s.g;
  const int32_t ink = gui_skin_colour(g, skin::kWindowTextX), white = gui_rgb_index(255, 255, 255);
  gui_clear(g);
  gui_window(g, 0, 0, kGuiWidth, kGuiHeight, true);
  gui_reset_buttons(g);
  gui_print_in(g, "Visual editor", 360 - gui_text_width(g, "Visual editor") / 2, 12 - gui_font_height(g) / 2, white);
  const std::vector<std::string> lines = visual_panel_lines(s.doc, s.frame, s.part);
  for (int32_t i = 0; i < kVisualPanelLines; ++i) {
    const int32_t y = kPanelY + i * kRowHeight;
    s.line_slot[i] = gui_add_button(g, kPanelX - 4, y - 2, kPanelRight, y + kRowHeight - 4, ButtonStyle::Inset);
    gui_fill_clipped(g, kPanelX - 1, y + 1, kPanelRight - 3, y + kRowHeight - 7, gui_skin_colour(g, skin::kInputFillX));
    const std::string label = kLabels[i];
    const int32_t lw = gui_text_width(g, label);
    gui_print_in(g, label, kPanelX, y + 1, gui_skin_colour(g, skin::kLabelX));
    gui_print_in(g, fit(g, lines[size_t(i)].substr(label.size()), kPanelRight - kPanelX - lw - 6), kPanelX + lw, y + 1,
                 gui_skin_colour(g, skin::kInputTextX));
  }
  for (int32_t b = 0; b < kButtons; ++b) {
    const int32_t x = kPreviewX + (b % 2) * (kPreviewSize / 2 + 2), y = 344 + (b / 2) * 32;
    s.button_slot[b] = gui_add_button(g, x, y, x + kPreviewSize / 2 - 2, y + 26, ButtonStyle::Raised);
    gui_set_colour(g, ink);
    gui_label_button(g, kButtonLabels[b], s.button_slot[b]);
  }
  gui_print_in(g, "PgUp/PgDn: frame   Left/Right: part   Click a line to change it   Esc: leave", kPanelX, 448,
               ink);

  gui_inset_frame(g, kPreviewX - 4, kPreviewY - 4, kPreviewX + kPreviewSize + 4, kPreviewY + kPreviewSize + 4);
  gui_fill_box(g, kPreviewX, kPreviewY, kPreviewX + kPreviewSize - 1, kPreviewY + kPreviewSize - 1, 0);
  if (s.parts_stale) {
    s.parts = frame_parts(s.doc, s.frame, s.base);
    s.parts_stale = false;
  }
  std::vector<uint8_t> rgb;
  if (s.device && render_parts_preview(*s.device, s.parts, s.textures, s.turn, kPreviewSize, kPreviewSize, rgb)) {
    std::vector<uint8_t> pixels(size_t(kPreviewSize) * kPreviewSize);
    for (size_t i = 0; i < pixels.size(); ++i)
      pixels[i] = static_cast<uint8_t>(gui_rgb_index(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]));
    gui_blit_scaled(g, pixels.data(), kPreviewSize, kPreviewSize, kPreviewX, kPreviewY, kPreviewX + kPreviewSize - 1,
                    kPreviewY + kPreviewSize - 1);
  } else {
    gui_print_in(g, "No preview", kPreviewX + 8, kPreviewY + 8, white);
  }
}

// A choice property: the list offered with the current entry marked; field set to the value
// of the entry chosen.
void choose_property(Session& s, std::string_view title, std::string_view entries, int32_t field,
                     const std::vector<int32_t>& values) {
  std::string& line = s.line();
  const int32_t now = get_int(line, field);
  int32_t current = 0;
  for (size_t i = 0; i < values.size(); ++i)
    if (values[i] == now) current = int32_t(i);
  const int32_t picked = choose_entry(s.g, title, entries, current);
  if (picked < 0 || values[size_t(picked)] == now) return;
  put(line, field, std::to_string(values[size_t(picked)]));
  s.touched();
}

// The yes/no properties offer "NO|YES" when they are off and "YES|NO" when they are on.
void choose_yes_no(Session& s, std::string_view title, int32_t field) {
  if (get_int(s.line(), field) == 1)
    choose_property(s, title, kYesNo, field, {1, 0});
  else
    choose_property(s, title, kNoYes, field, {0, 1});
}

// Picks a file with the resource browser starting in the folder of the line's current one.
std::string pick(Session& s, std::string_view current, int32_t kind, std::string_view title, std::string_view folder) {
  std::string start = resolved(s.base, current);
  if (current.empty() || !std::filesystem::exists(start)) start = s.base + std::string(folder);
  const std::string chosen = browse_resources(s.g, start, kind, title, s.device);
  return chosen.empty() ? chosen : project_relative(s.g, chosen);
}

constexpr int32_t kModels = -4, kTextures = -1;

void change_texture_mode(Session& s) {
  std::string& line = s.line();
  const int32_t now = texture_mode(line);
  const int32_t picked = choose_entry(s.g, "TEXTURE MODE", kTextureModes, now);
  if (picked < 0 || picked == now) return;
  put(line, vf::kTextureMode, std::to_string(picked));
  // Six views project each view onto its side of the part's box; the others go through the wrap.
  put(line, vf::kFaceCoordinates, picked == kSixViewsMode ? "1" : "0");
  if (picked == 2) put(line, vf::kWrap, "0");
  if (picked == 3) put(line, vf::kWrap, "1");
  s.touched();
}

void ask_morph(Session& s) {
  if (!has_target(s.line())) return;
  const std::string old = get(s.line(), vf::kMorph);
  const std::string answer(gui_trim(gui_input_box(s.g, 200, old.empty() ? "0" : old, "Morphing percentage")));
  if (answer.empty() || answer[0] < '0' || answer[0] > '9') return;
  const std::string value = std::to_string(std::clamp(str_to_int(answer), 0, 100));
  if (value == old) return;
  put(s.line(), vf::kMorph, value);
  s.touched();
}

void ask_colour(Session& s) {
  std::string& line = s.line();
  const std::string old = get(line, vf::kRed) + "-" + get(line, vf::kGreen) + "-" + get(line, vf::kBlue);
  const std::string proposed = texture_mode(line) == 0 ? old : "255-255-255";
  const std::string answer(gui_trim(gui_input_box(s.g, 200, proposed, "RGB color")));
  // Three numbers joined by "-", each 0..255; anything else leaves the colour as it was.
  const std::string_view a = answer;
  if (field_view(a, 3, '-').empty() || !field_view(a, 4, '-').empty()) return;
  int32_t rgb[3];
  for (int32_t i = 0; i < 3; ++i) {
    const std::string_view n = gui_trim(field_view(a, i + 1, '-'));
    if (n.empty() || n.find_first_not_of("0123456789") != std::string_view::npos) return;
    rgb[i] = std::clamp(str_to_int(n), 0, 255);
  }
  put(line, vf::kRed, std::to_string(rgb[0]));
  put(line, vf::kGreen, std::to_string(rgb[1]));
  put(line, vf::kBlue, std::to_string(rgb[2]));
  s.touched();
}

void parts_menu(Session& s) {
  const int32_t picked = choose_entry(s.g, "PARTS", kPartChoices, 2);
  auto& parts = s.doc.frames[size_t(s.frame)];
  int32_t lines = 0;
  for (const auto& f : s.doc.frames) lines += int32_t(f.size());
  if (picked == 0 && lines < kMaxLines) {
    parts.insert(parts.begin() + s.part + 1, default_part_line(s.frame + 1));
    s.touched();
    s.go(s.frame, s.part + 1);
  } else if (picked == 1) {
    if (parts.size() < 2) {
      show_message(*s.g.core, "A frame keeps at least one part.");
      return;
    }
    parts.erase(parts.begin() + s.part);
    s.touched();
    s.go(s.frame, s.part);
  }
}

void frames_list(Session& s) {
  const std::string path = std::string(s.g.core->data_folder->view()) + "temp2.tmp";
  const std::string text = frames_list_text(s.doc);
  if (!file_write_safely(path, text.data(), int64_t(text.size()))) {
    show_message(*s.g.core, "The frame list could not be written to|" + path);
    return;
  }
  TextEditorStore store;
  brain_editor(s.g, path, store);
  std::vector<uint8_t> bytes;
  const bool read = read_whole_file(path, bytes, kEditorTextLimit + 1);
  std::error_code ec;
  std::filesystem::remove(path, ec);
  const std::string edited(bytes.begin(), bytes.end());
  if (!read || edited == text) return;
  if (!rearrange_frames(s.doc, edited)) {
    show_message(*s.g.core, "The list names no frame: the frames are left as they were.");
    return;
  }
  s.touched();
  s.go(s.frame, s.part);
}

void click_line(Session& s, int32_t line) {
  std::string& l = s.line();
  const bool textured = texture_mode(l) != 0;
  switch (line) {
    case kFrameLine: frames_list(s); break;
    case kPartLine: parts_menu(s); break;
    case kSourceLine:
    case kTargetLine: {
      const int32_t field = line == kSourceLine ? vf::kSource : vf::kTarget;
      const std::string chosen = pick(s, get(l, field), kModels, "Select a .3ds model", "3dsfiles/");
      if (chosen.empty() || chosen == get(s.line(), field)) break;
      // A part without a target of its own keeps none: its target follows the new source.
      if (line == kSourceLine && !has_target(s.line())) put(s.line(), vf::kTarget, chosen);
      put(s.line(), field, chosen);
      s.touched();
      break;
    }
    case kMorphLine: ask_morph(s); break;
    case kTextureLine: {
      if (!textured) break;
      // Six views: first which one. The back view is field 2, which views without an image of
      // their own show as well.
      int32_t field = vf::kTexture;
      if (texture_mode(l) == kSixViewsMode) {
        const int32_t view = choose_entry(s.g, "SIX VIEWS", kSixViews, 0);
        if (view < 0) break;
        if (view > 0) field = vf::kViews + view - 1;
      }
      std::string current = get(l, field);
      if (current.empty()) current = get(l, vf::kTexture);
      const std::string chosen = pick(s, current, kTextures, "Select a .bmp texture", "images/");
      if (chosen.empty() || chosen == get(s.line(), field)) break;
      put(s.line(), field, chosen);
      s.touched();
      break;
    }
    case kModeLine: change_texture_mode(s); break;
    case kTransparencyLine:
      if (textured) choose_yes_no(s, "TRANSPARENCY", vf::kTransparency);
      break;
    case kTranslucencyLine: choose_yes_no(s, "TRANSLUCENCY", vf::kTranslucency); break;
    case kWrapLine:
      if (texture_mode(l) >= 2) choose_property(s, "WRAP DIRECTION", kWrapDirections, vf::kWrap, {0, 1, 2, 3});
      break;
    case kQualityLine: choose_property(s, "QUALITY", kQualities, vf::kQuality, {0, 1, 2, 3}); break;
    case kMaterialLine: choose_property(s, "MATERIAL", kMaterials, vf::kMaterial, {0, kMetal}); break;
    case kFlipLine: choose_yes_no(s, "FACES FLIP", vf::kFlip); break;
    case kColorLine:
      if (!textured) ask_colour(s);
      break;
    default: break;
  }
}

// A name to save under: no folders, no leading dot, no line breaks.
bool usable_name(std::string_view name) {
  if (name.empty() || name.front() == '.' || name.size() > 64) return false;
  for (const char ch : name)
    if (ch == '/' || ch == '\\' || static_cast<unsigned char>(ch) < 32) return false;
  return true;
}

// The questions of leaving: the name, then the overwrite. Nothing is written unless the user
// typed the name and took it with Enter (and confirmed an overwrite).
std::string save(Session& s) {
  Gui& g = s.g;
  std::string proposed = "myvisual";
  while (true) {
    if (gui_input_exhausted(g)) return "";  // nobody there to name it
    bool taken = false;
    const std::string answer(gui_trim(gui_input_box(
        g, 300, proposed,
        "Save visual as (blank to exit without saving)|The visual (.v3d) file will be saved to the|visuals/" +
            proposed + "/ folder.",
        &taken)));
    if (!taken || answer.empty()) return "";
    std::string name = answer;
    if (name.size() > 4 && name.substr(name.size() - 4) == ".v3d") name.resize(name.size() - 4);
    if (!usable_name(name)) {
      show_message(*g.core, "'" + name + "' cannot be a visual's name.");
      proposed = "myvisual";
      continue;
    }
    const std::string folder = s.base + "visuals/" + name + "/";
    const std::string path = folder + name + ".v3d";
    if (std::filesystem::exists(path)) {
      if (gui_input_exhausted(g)) return "";
      if (gui_message_box(g, "Using the name '" + name + "' you will overwrite an existing file", " CONTINUE ",
                          " RENAME ") != 1) {
        proposed = name;
        continue;
      }
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    s.doc.name = name;
    const std::string text = visual_document_text(s.doc);
    if (!file_write_safely(path, text.data(), int64_t(text.size()))) {
      show_message(*g.core, "The visual could not be saved to|" + path);
      return "";
    }
    return path;
  }
}

}  // namespace

std::string visual_editor(Gui& g, PreviewDevice* device) {
  const std::string base = base_of(g);
  const std::string chosen = browse_resources(g, base + "visuals/", 11, "Select a visual to edit", device);
  if (chosen.empty()) return "";
  std::vector<uint8_t> bytes;
  constexpr int64_t kMaxVisualBytes = 4 << 20;
  if (!read_whole_file_raw(chosen, bytes, kMaxVisualBytes)) bytes.clear();
  Session s(g, device, base,
            visual_document_from_text(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
  std::string name = chosen.substr(chosen.rfind('/') + 1);
  if (name.size() > 4 && name.substr(name.size() - 4) == ".v3d") name.resize(name.size() - 4);
  s.doc.name = name;
  const bool hidden = g.cursor_hidden;
  gui_hide_cursor(g, false);
  gui_flush_input(g);
  auto next_frame = std::chrono::steady_clock::now();
  while (true) {
    draw(s);
    gui_present(g);
    // With a window the turntable turns at a steady rate instead of as fast as the device
    // draws; headless runs take every loop at once.
    if (!headless(g)) {
      next_frame += kFramePeriod;
      std::this_thread::sleep_until(next_frame);
      if (next_frame < std::chrono::steady_clock::now() - kFramePeriod) next_frame = std::chrono::steady_clock::now();
    }
    gui_pump(g);
    s.turn += kTurnPerFrame;
    if (s.turn >= 360.0f) s.turn -= 360.0f;
    bool leave = false;
    while (g.input && g.input->read != g.input->write && !leave) {
      next_key(*g.core, *g.input);
      switch (g.input->last_key) {
        case kScanEscape: leave = true; break;
        case kScanPageUp: s.go(s.frame - 1, s.part); break;
        case kScanPageDown: s.go(s.frame + 1, s.part); break;
        case kScanLeft: s.go(s.frame, s.part - 1); break;
        case kScanRight: s.go(s.frame, s.part + 1); break;
        default: break;
      }
    }
    if (!leave && (gui_mouse_buttons(g) & 1)) {
      const int32_t hit = gui_button_at_mouse(g);
      gui_wait_release(g);
      if (hit == kGuiCloseBoxHit) leave = true;
      for (int32_t i = 0; i < kVisualPanelLines && !leave; ++i)
        if (hit == s.line_slot[i]) click_line(s, i);
      if (hit == s.button_slot[kFramePrev]) s.go(s.frame - 1, s.part);
      if (hit == s.button_slot[kFrameNext]) s.go(s.frame + 1, s.part);
      if (hit == s.button_slot[kPartPrev]) s.go(s.frame, s.part - 1);
      if (hit == s.button_slot[kPartNext]) s.go(s.frame, s.part + 1);
      if (hit == s.button_slot[kPartsMenu]) parts_menu(s);
      if (hit == s.button_slot[kFramesList]) frames_list(s);
    }
    if (leave || gui_input_exhausted(g)) break;
  }
  const std::string saved = save(s);
  if (saved.empty() && s.changed && headless(g)) std::fprintf(stderr, "korva: the visual was not saved\n");
  gui_leave_screen(g, hidden);
  return saved;
}

}  // namespace korva
