// The resource browser: a folder's files of one kind as a 3 x 3 page of previews with paging,
// folder change, choice and erase. While a preview is drawn, "crashed.txt" in the data folder
// names its file, so that a file whose preview brings the program down can be found.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "core/core.h"
#include "core/pcx.h"
#include "devices/input.h"
#include "editors/editors.h"
#include "editors/gui_local.h"
#include "model/model.h"
#include "platform/platform.h"

namespace korva {
namespace {

enum class Preview { Image, ImageWithSize, Model, Text, NameOnly };

struct KindRow {
  int32_t kind;
  const char* mask;
  Preview preview;
};

constexpr KindRow kKinds[] = {
    {-1, "*.bmp", Preview::Image},       {0, "*.03d", Preview::Text},
    {1, "*.a3d", Preview::NameOnly},      {3, "*.a3d", Preview::NameOnly},
    {4, "*.d3d", Preview::NameOnly},      {2, "*.pcx", Preview::ImageWithSize},
    {5, "*.pcx", Preview::ImageWithSize}, {6, "*.pcx", Preview::ImageWithSize},
    {8, "*.pcx", Preview::ImageWithSize}, {7, "*.pcx", Preview::NameOnly},
    {11, "*.v3d", Preview::Model},        {-2, "*.prj", Preview::Text},
    {-3, "*.ele", Preview::Text},         {-4, "*.3ds", Preview::Model},
    {12, "*.3ds", Preview::Model},        {-5, "*.brn", Preview::Text},
    {-6, "*.chn", Preview::Text},         {-7, "*.bmp", Preview::Image},
};

const KindRow& kind_row(int32_t kind) {
  for (const KindRow& r : kKinds)
    if (r.kind == kind) return r;
  return kKinds[0];
}

constexpr int32_t kCellX[3] = {40, 240, 440};
constexpr int32_t kCellY[3] = {80, 210, 340};
constexpr int32_t kCells = 9;
// Larger images are not decoded for a preview: their memory would be out of all proportion.
constexpr int64_t kLargestImageFile = 64 << 20;
constexpr int64_t kLargestImagePixels = 8192 * 8192;
constexpr int64_t kTextPreviewBytes = 2048;

std::string name_of(std::string_view path) {
  const size_t cut = path.rfind('/');
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

// The name without its extension (four characters with the dot; two for ".x" models).
std::string short_name(std::string_view name) {
  const size_t dot = name.rfind('.');
  const bool cut = dot != std::string_view::npos && dot > 0 && name.size() - dot <= 4;
  return std::string(cut ? name.substr(0, dot) : name);
}

// Decodes an image file of any format the engine reads into GUI palette indices.
bool image_indices(Gui& g, std::string_view path, std::vector<uint8_t>& pixels, int32_t& w, int32_t& h) {
  std::vector<uint8_t> bytes;
  if (!read_whole_file(path, bytes, kLargestImageFile) || bytes.empty()) return false;
  if (bytes[0] == 10 && bytes.size() > 128) {
    const int64_t pw = int64_t(bytes[8] | (bytes[9] << 8)) - int64_t(bytes[4] | (bytes[5] << 8)) + 1;
    const int64_t ph = int64_t(bytes[10] | (bytes[11] << 8)) - int64_t(bytes[6] | (bytes[7] << 8)) + 1;
    if (pw <= 0 || ph <= 0 || pw * ph > kLargestImagePixels) return false;
    pixels.assign(static_cast<size_t>(pw * ph), 0);
    const int32_t n = pcx_decode(g, bytes.data(), int64_t(bytes.size()), pixels.data(),
                                 int64_t(pixels.size()), PcxMode::Remap);
    if (n <= 1 && pw * ph > 1) return false;
    w = g.image_width;
    h = g.image_height;
    return true;
  }
  std::vector<uint8_t> rgb;
  if (!platform::image_decode_rgb(bytes.data(), int64_t(bytes.size()), rgb, w, h) || w <= 0 || h <= 0)
    return false;
  pixels.resize(size_t(w) * size_t(h));
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint8_t>(gui_rgb_index(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]));
  return true;
}

// The frames of an animated image: 'walk_.pcx' is frame 1, 'walk_.002' frame 2 and so on.
int32_t frame_count(std::string_view path) {
  if (path.size() < 4) return 1;
  const std::string stem(path.substr(0, path.size() - 3));
  int32_t n = 1;
  while (n < 999) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%03d", n + 1);
    if (access((stem + digits).c_str(), F_OK) != 0) break;
    ++n;
  }
  return n;
}

void print_outlined(Gui& g, std::string_view text, int32_t x, int32_t y) {
  const int32_t black = 0, white = gui_rgb_index(255, 255, 255);
  gui_print_in(g, text, x - 1, y, black);
  gui_print_in(g, text, x + 1, y, black);
  gui_print_in(g, text, x, y - 1, black);
  gui_print_in(g, text, x, y + 1, black);
  gui_print_in(g, text, x, y, white);
}

// The cell of a file that cannot be shown: a cross over the cell.
void default_preview(Gui& g, int32_t x, int32_t y) {
  const int32_t grey = gui_rgb_index(96, 96, 96);
  gui_fill_box(g, x, y, x + kPreviewWidth - 1, y + kPreviewHeight - 1, gui_rgb_index(32, 32, 32));
  gui_line(g, x + 8, y + 8, x + kPreviewWidth - 9, y + kPreviewHeight - 9, grey);
  gui_line(g, x + kPreviewWidth - 9, y + 8, x + 8, y + kPreviewHeight - 9, grey);
}

// The beginning of a text file, a line per row, cut at the cell's edge.
bool text_preview(Gui& g, std::string_view path, int32_t x, int32_t y) {
  std::vector<uint8_t> bytes(kTextPreviewBytes);
  int64_t got = 0;
  if (read_file(*g.core, path, 0, kTextPreviewBytes, bytes.data(), &got) != 0) return false;
  gui_fill_box(g, x, y, x + kPreviewWidth - 1, y + kPreviewHeight - 1, gui_rgb_index(0, 0, 51));
  const int32_t ink = gui_rgb_index(170, 221, 255);
  const int32_t fh = std::max(1, gui_font_height(g));
  int32_t row = 0;
  std::string line;
  auto flush = [&] {
    const int32_t ty = y + 3 + row * fh;
    if (ty + fh <= y + kPreviewHeight - fh - 4) {
      std::string cut = line;
      while (!cut.empty() && gui_text_width(g, cut) > kPreviewWidth - 6) cut.pop_back();
      gui_print_in(g, cut, x + 3, ty, ink);
    }
    ++row;
    line.clear();
  };
  for (int64_t i = 0; i < got; ++i) {
    const char ch = static_cast<char>(bytes[size_t(i)]);
    if (ch == '\n') {
      flush();
    } else if (ch == '\t') {
      line += "  ";
    } else if (ch != '\r') {
      line += (ch >= 32 && ch < 127) ? ch : '.';
    }
  }
  if (!line.empty()) flush();
  return true;
}

bool model_preview(Gui& g, PreviewDevice* device, std::string_view path, int32_t x, int32_t y) {
  if (!device) return false;
  std::vector<uint8_t> rgb;
  if (!render_model_preview(*device, path, kPreviewWidth, kPreviewHeight, rgb)) return false;
  std::vector<uint8_t> pixels(size_t(kPreviewWidth) * kPreviewHeight);
  for (size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<uint8_t>(gui_rgb_index(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]));
  gui_blit_scaled(g, pixels.data(), kPreviewWidth, kPreviewHeight, x, y, x + kPreviewWidth - 1,
                  y + kPreviewHeight - 1);
  return true;
}

std::string marker_path(const Gui& g) {
  return std::string(g.core && g.core->data_folder ? g.core->data_folder->view() : std::string_view()) +
         "crashed.txt";
}

}  // namespace

std::string_view resource_mask(int32_t kind) { return kind_row(kind).mask; }

void draw_resource_preview(Gui& g, PreviewDevice* device, std::string_view path, int32_t kind,
                           int32_t x, int32_t y) {
  const KindRow& row = kind_row(kind);
  const std::string name = name_of(path);
  std::string label = short_name(name);
  bool shown = true;
  gui_fill_box(g, x, y, x + kPreviewWidth - 1, y + kPreviewHeight - 1, 0);
  switch (row.preview) {
    case Preview::Image:
    case Preview::ImageWithSize: {
      std::vector<uint8_t> pixels;
      int32_t w = 0, h = 0;
      shown = image_indices(g, path, pixels, w, h);
      if (shown) {
        gui_blit_scaled(g, pixels.data(), w, h, x, y, x + kPreviewWidth - 1, y + kPreviewHeight - 1);
        if (row.preview == Preview::ImageWithSize) {
          label += " " + std::to_string(w) + "x" + std::to_string(h);
          if (const int32_t frames = frame_count(path); frames > 1) label += " " + std::to_string(frames);
        }
      }
      break;
    }
    case Preview::Model:
      shown = model_preview(g, device, path, x, y);
      break;
    case Preview::Text:
      shown = text_preview(g, path, x, y);
      break;
    case Preview::NameOnly:
      break;
  }
  if (!shown) default_preview(g, x, y);
  while (!label.empty() && gui_text_width(g, label) > kPreviewWidth - 8) label.pop_back();
  print_outlined(g, label, x + 4, y + kPreviewHeight - gui_font_height(g) - 3);
}

std::string browse_resources(Gui& g, std::string_view start_path, int32_t kind, std::string_view title,
                             PreviewDevice* device) {
  const std::string mask(resource_mask(kind));
  // The start path's folder; relative folders are below the installation's base folder.
  std::string folder(start_path.substr(0, start_path.rfind('/') == std::string_view::npos ? 0 : start_path.rfind('/') + 1));
  if ((folder.empty() || folder.front() != '/') && g.core && g.core->base_folder)
    folder = std::string(g.core->base_folder->view()) + (folder.starts_with("./") ? folder.substr(2) : folder);
  const std::string marker = marker_path(g);
  const int32_t text = gui_skin_colour(g, skin::kWindowTextX);
  const int32_t white = gui_rgb_index(255, 255, 255);
  int32_t page = 0;
  std::string chosen;
  const bool hidden = g.cursor_hidden;
  gui_hide_cursor(g, false);
  gui_flush_input(g);

  bool restart = true;
  std::vector<FileListEntry> entries;
  while (true) {
    if (restart) {
      if (!list_chooser_folder(folder, mask, entries)) entries.clear();
      entries.erase(std::remove_if(entries.begin(), entries.end(), [](const FileListEntry& e) { return e.folder; }),
                    entries.end());
      restart = false;
    }
    const int32_t count = static_cast<int32_t>(entries.size());
    const int32_t pages = (count - 1) / 9 + 1;
    page = std::clamp(page, 0, pages - 1);

    gui_clear(g);
    gui_window(g, 0, 0, kGuiWidth, kGuiHeight, true);
    gui_reset_buttons(g);
    gui_print_in(g, title, 360 - gui_text_width(g, title) / 2, 12 - gui_font_height(g) / 2, white);
    const int32_t prev = gui_add_button(g, 42, 40, 120, 64, ButtonStyle::Raised);
    const int32_t next = gui_add_button(g, 128, 40, 206, 64, ButtonStyle::Raised);
    const int32_t change = gui_add_button(g, 434, 40, 598, 64, ButtonStyle::Raised);
    gui_set_colour(g, text);
    gui_label_button(g, "<<", prev);
    gui_label_button(g, ">>", next);
    gui_label_button(g, "Change Directory", change);
    const std::string page_text = "Page " + std::to_string(page + 1) + " of " + std::to_string(pages);
    gui_print_in(g, page_text, 320 - gui_text_width(g, page_text) / 2, 52 - gui_font_height(g) / 2, text);
    for (int32_t cell = 0; cell < kCells; ++cell) {
      const int32_t x = kCellX[cell % 3], y = kCellY[cell / 3];
      gui_inset_frame(g, x - 4, y - 4, x + kPreviewWidth + 4, y + kPreviewHeight + 4);
      gui_fill_box(g, x, y, x + kPreviewWidth - 1, y + kPreviewHeight - 1, 0);
      gui_print_in(g, "Wait...", x + 8, y + 8, white);
    }
    gui_present(g);

    // The previews one by one; a mouse press stops the drawing and is handled at once.
    bool stopped = false;
    for (int32_t cell = 0; cell < kCells; ++cell) {
      const int32_t i = page * kCells + cell;
      const int32_t x = kCellX[cell % 3], y = kCellY[cell / 3];
      if (i >= count) {
        gui_fill_box(g, x, y, x + kPreviewWidth - 1, y + kPreviewHeight - 1, 0);
        continue;
      }
      const std::string path = folder + entries[size_t(i)].name;
      (void)file_write_safely(marker, path.data(), int64_t(path.size()));
      draw_resource_preview(g, device, path, kind, x, y);
      gui_present(g);
      unlink(marker.c_str());
      gui_pump(g);
      if (gui_mouse_buttons(g) != 0) {
        stopped = true;
        break;
      }
    }

    // Waits for a press, Page Up, Page Down, Escape or Delete.
    int32_t scan = 0;
    int32_t buttons = stopped ? gui_mouse_buttons(g) : 0;
    while (buttons == 0) {
      gui_present(g);
      gui_pump(g);
      if (g.input && g.input->read != g.input->write) {
        next_key(*g.core, *g.input);
        scan = g.input->last_key;
        if (scan == kScanEscape || scan == kScanPageUp || scan == kScanPageDown || scan == kScanDelete) break;
        continue;
      }
      buttons = gui_mouse_buttons(g);
      if (buttons == 0 && gui_input_exhausted(g)) {
        scan = kScanEscape;  // nobody left to choose
        break;
      }
    }
    if (scan == kScanEscape) break;
    if (scan == kScanPageUp) {
      --page;
      continue;
    }
    if (scan == kScanPageDown) {
      ++page;
      continue;
    }
    if (buttons == 0) continue;  // Delete alone does nothing here
    const int32_t hit = gui_button_at_mouse(g);
    const int32_t mx = g.mouse_x, my = g.mouse_y;
    gui_wait_release(g);
    if (hit == kGuiCloseBoxHit) break;
    if (hit == prev) {
      --page;
      continue;
    }
    if (hit == next) {
      ++page;
      continue;
    }
    if (hit == change) {
      const std::string picked = choose_file(g, folder, "*.*");
      if (!picked.empty()) {
        folder = picked.substr(0, picked.rfind('/') + 1);
        page = 0;
        restart = true;
      }
      continue;
    }
    for (int32_t cell = 0; cell < kCells; ++cell) {
      const int32_t x = kCellX[cell % 3], y = kCellY[cell / 3];
      const int32_t i = page * kCells + cell;
      if (mx < x || mx >= x + kPreviewWidth || my < y || my >= y + kPreviewHeight || i >= count) continue;
      const std::string& name = entries[size_t(i)].name;
      if (buttons & 1) {
        chosen = folder + name;
      } else if (gui_message_box(g, "Do you really want to PERMANENTLY ERASE " + name + "?", " NO! ", " YES ") == 2) {
        erase_resource(folder + name);
        restart = true;
      }
      break;
    }
    if (!chosen.empty()) break;
  }
  gui_leave_screen(g, hidden);
  return chosen;
}

}  // namespace korva
