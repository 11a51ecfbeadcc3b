// The "Network connection" dialog on the panel screen: the connection (LAN or an address), the
// LAN sessions found (asked again every 3 seconds), the session name and, for an address, the
// host's address; "Host" and "Join". Mouse and keys both work: F1 LAN, F2 address, Up and
// Down pick a session, Tab moves between the fields, F5 hosts, F6 joins, Escape closes.
#include "editors/dialog_network.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "core/core.h"
#include "core/ui_hooks.h"
#include "devices/input.h"
#include "devices/net_transport.h"
#include "editors/gui_local.h"

namespace korva {
namespace {

constexpr int32_t kX1 = 120, kY1 = 90, kX2 = 520, kY2 = 390;
constexpr int32_t kListRows = 6;
constexpr int32_t kNameLimit = 200;
constexpr int64_t kRefreshMs = 3000;
constexpr int32_t kScanF2 = 60, kScanF5 = 63, kScanF6 = 64;

int64_t now_ms() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string take_key(Gui& g, int32_t& scan) {
  scan = 0;
  if (!g.input) return {};
  std::string key(next_key(*g.core, *g.input).view());
  scan = g.input->last_key;
  return key;
}

bool keys_waiting(const Gui& g) { return g.input && g.input->read != g.input->write; }

std::string player_name() {
  const char* u = std::getenv("USER");
  return (u && *u) ? u : "unknown";
}

std::string computer_name() {
  char name[256] = {};
  return gethostname(name, sizeof name - 1) == 0 && name[0] ? name : "Session";
}

struct Field {
  std::string left, right;
  std::string text() const { return left + right; }
};

}  // namespace

bool network_dialog(Gui& g, Net& n, uint16_t port, const std::string& lan_target) {
  int32_t connection = -1;  // none chosen yet
  std::vector<NetFound> sessions;
  int32_t selected = -1;
  Field name{computer_name().substr(0, kNameLimit), ""}, address{"127.0.0.1", ""};
  int32_t focus = 0;  // 0 the name, 1 the address
  int64_t next_refresh = 0;
  const int32_t fh = gui_font_height(g);
  const int32_t ink = gui_skin_colour(g, skin::kWindowTextX);
  const int32_t field_ink = gui_skin_colour(g, skin::kInputTextX);
  const int32_t fill = gui_skin_colour(g, skin::kInputFillX);
  const int32_t mark = gui_skin_colour(g, skin::kLabelX);
  const int32_t buttons_y = kY1 + 34 + fh;
  const GuiRect list{kX1 + 16, buttons_y + fh + 14, kX2 - 16, buttons_y + fh + 26 + kListRows * fh};
  const GuiRect name_box{kX1 + 130, list.y2 + 10, kX2 - 16, list.y2 + 14 + fh};
  const GuiRect addr_box{kX1 + 130, name_box.y2 + 8, kX2 - 16, name_box.y2 + 12 + fh};
  gui_flush_input(g);
  gui_clear(g);

  for (;;) {
    if (connection == 0 && now_ms() >= next_refresh) {
      const std::string keep = selected >= 0 && selected < static_cast<int32_t>(sessions.size())
                                   ? sessions[selected].name
                                   : std::string();
      sessions = net_lan_find(port, 150, lan_target);
      selected = sessions.empty() ? -1 : 0;
      for (size_t k = 0; k < sessions.size(); ++k)
        if (sessions[k].name == keep) selected = static_cast<int32_t>(k);
      next_refresh = now_ms() + kRefreshMs;
    }
    const bool can_join = (connection == 0 && selected >= 0) || (connection == 1 && !address.text().empty());

    // Drawing.
    gui_clear(g);
    gui_window(g, kX1, kY1, kX2, kY2, true);
    gui_reset_buttons(g);
    gui_print_in(g, "Network connection", kX1 + 16, kY1 + 28, ink);
    const int32_t lan = gui_add_button(g, kX1 + 16, buttons_y, kX1 + 96, buttons_y + fh + 4,
                                       connection == 0 ? ButtonStyle::Inset : ButtonStyle::Raised);
    gui_label_button(g, "LAN", lan);
    const int32_t addr = gui_add_button(g, kX1 + 104, buttons_y, kX1 + 204, buttons_y + fh + 4,
                                        connection == 1 ? ButtonStyle::Inset : ButtonStyle::Raised);
    gui_label_button(g, "Address", addr);
    gui_inset_frame(g, list.x1, list.y1, list.x2, list.y2);
    gui_fill_clipped(g, list.x1 + 4, list.y1 + 4, list.x2 - 5, list.y2 - 5, fill);
    if (connection < 0) gui_print_in(g, "<Select a network connection>", list.x1 + 8, list.y1 + 6, field_ink);
    for (int32_t r = 0; r < kListRows && r < static_cast<int32_t>(sessions.size()); ++r) {
      const int32_t y = list.y1 + 6 + r * fh;
      if (r == selected) gui_fill_clipped(g, list.x1 + 5, y, list.x2 - 6, y + fh - 1, mark);
      gui_print_in(g, sessions[r].name, list.x1 + 8, y, r == selected ? fill : field_ink);
    }
    gui_print_in(g, "Session name:", kX1 + 16, name_box.y1 + 3, ink);
    gui_inset_frame(g, name_box.x1, name_box.y1, name_box.x2, name_box.y2);
    gui_fill_clipped(g, name_box.x1 + 4, name_box.y1 + 4, name_box.x2 - 5, name_box.y2 - 5, fill);
    gui_print_in(g, name.text(), name_box.x1 + 6, name_box.y1 + 3, field_ink);
    if (connection == 1) {
      gui_print_in(g, "Address:", kX1 + 16, addr_box.y1 + 3, ink);
      gui_inset_frame(g, addr_box.x1, addr_box.y1, addr_box.x2, addr_box.y2);
      gui_fill_clipped(g, addr_box.x1 + 4, addr_box.y1 + 4, addr_box.x2 - 5, addr_box.y2 - 5, fill);
      gui_print_in(g, address.text(), addr_box.x1 + 6, addr_box.y1 + 3, field_ink);
    }
    // The caret under the focused field's text.
    const Field& f = focus == 1 && connection == 1 ? address : name;
    const GuiRect& box = focus == 1 && connection == 1 ? addr_box : name_box;
    const int32_t cx = box.x1 + 6 + gui_text_width(g, f.left);
    gui_fill_clipped(g, cx, box.y2 - 5, cx + 6, box.y2 - 4, mark);
    int32_t host_slot = -1, join_slot = -1;
    if (connection >= 0) {
      host_slot = gui_add_button(g, kX2 - 200, kY2 - 16 - fh - 6, kX2 - 112, kY2 - 14, ButtonStyle::Raised);
      gui_label_button(g, "Host", host_slot);
    }
    if (can_join) {
      join_slot = gui_add_button(g, kX2 - 104, kY2 - 16 - fh - 6, kX2 - 16, kY2 - 14, ButtonStyle::Raised);
      gui_label_button(g, "Join", join_slot);
    }
    gui_present(g);
    gui_pump(g);

    // Input.
    enum class Act { None, Lan, Address, Host, Join, Close } act = Act::None;
    int32_t scan = 0;
    const std::string key = take_key(g, scan);
    Field& edit = focus == 1 && connection == 1 ? address : name;
    if (scan == kScanEscape) act = Act::Close;
    else if (scan == kScanF1) act = Act::Lan;
    else if (scan == kScanF2) act = Act::Address;
    else if (scan == kScanF5 && host_slot >= 0) act = Act::Host;
    else if (scan == kScanF6 && join_slot >= 0) act = Act::Join;
    else if (scan == kScanUp && selected > 0) --selected;
    else if (scan == kScanDown && selected + 1 < static_cast<int32_t>(sessions.size())) ++selected;
    else if (scan == kScanTab) focus = connection == 1 ? 1 - focus : 0;
    else if (caret_key(edit.left, edit.right, scan)) {
    } else if (key.size() == 1 && static_cast<uint8_t>(key[0]) >= 32 && scan != kScanEnter &&
               static_cast<int32_t>(edit.text().size()) < kNameLimit) {
      edit.left += key;
    }
    if (gui_mouse_buttons(g) & 1) {
      const int32_t hit = gui_button_at_mouse(g);
      if (hit == kGuiCloseBoxHit) act = Act::Close;
      else if (hit == lan) act = Act::Lan;
      else if (hit == addr) act = Act::Address;
      else if (hit >= 0 && hit == host_slot) act = Act::Host;
      else if (hit >= 0 && hit == join_slot) act = Act::Join;
      else if (list.contains(g.mouse_x, g.mouse_y)) {
        const int32_t r = (g.mouse_y - list.y1 - 6) / std::max(1, fh);
        if (r >= 0 && r < static_cast<int32_t>(sessions.size())) selected = r;
      } else if (name_box.contains(g.mouse_x, g.mouse_y)) {
        focus = 0;
      } else if (connection == 1 && addr_box.contains(g.mouse_x, g.mouse_y)) {
        focus = 1;
      }
      gui_wait_release(g);
    }
    if (act == Act::None && !keys_waiting(g) && gui_input_exhausted(g)) act = Act::Close;  // nobody to answer

    switch (act) {
      case Act::None: break;
      case Act::Close:
        gui_clear(g);
        gui_clear_display(g);
        gui_flush_input(g);
        return false;
      case Act::Lan:
        connection = 0;
        focus = 0;
        next_refresh = 0;
        break;
      case Act::Address:
        connection = 1;
        sessions.clear();
        selected = -1;
        break;
      case Act::Host:
      case Act::Join: {
        NetSettings s;
        s.connection = connection;
        s.port = port;
        s.timeout = 1;
        s.mode = act == Act::Host ? 0 : 1;
        s.player_name = act == Act::Host ? "unknown" : player_name();
        s.session_name = act == Act::Join && connection == 0 ? sessions[selected].name : name.text();
        s.address = connection == 0 ? lan_target : address.text();
        std::string why;
        if (net_session_start(n, s, why)) {
          gui_clear(g);
          gui_clear_display(g);
          gui_flush_input(g);
          return true;
        }
        show_message(*g.core, act == Act::Host ? "Could not host session!" : "Could not join session!");
        gui_clear(g);
        break;
      }
    }
  }
}

}  // namespace korva
