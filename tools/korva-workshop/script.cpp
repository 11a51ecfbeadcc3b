// Scripted input: each command takes one or more frames, so that ImGui sees a hover before a
// press and a press before a release, as with a real mouse.
#include "script.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace korva::workshop {

namespace {

// A frame's worth of waiting for a widget to appear before a click gives up.
constexpr int32_t kPatience = 120;
// wait-idle gives korva this many frames (the window keeps drawing meanwhile).
constexpr int32_t kIdlePatience = 20000;
// wait-log gives up after this long.
constexpr Uint32 kLogPatienceMs = 60000;

struct KeyName {
  const char* name;
  SDL_Keycode sym;
  SDL_Scancode scancode;
};
constexpr KeyName kKeys[] = {
    {"Return", SDLK_RETURN, SDL_SCANCODE_RETURN}, {"Escape", SDLK_ESCAPE, SDL_SCANCODE_ESCAPE},
    {"Tab", SDLK_TAB, SDL_SCANCODE_TAB},          {"Delete", SDLK_DELETE, SDL_SCANCODE_DELETE},
    {"F5", SDLK_F5, SDL_SCANCODE_F5},             {"s", SDLK_s, SDL_SCANCODE_S},
    {"a", SDLK_a, SDL_SCANCODE_A},
};

void push_key(const std::string& chord, bool down) {
  std::string name = chord;
  Uint16 mod = KMOD_NONE;
  if (name.starts_with("ctrl+")) {
    mod = KMOD_LCTRL;
    name = name.substr(5);
  }
  for (const KeyName& k : kKeys) {
    if (name != k.name) continue;
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = k.sym;
    e.key.keysym.scancode = k.scancode;
    e.key.keysym.mod = mod;
    SDL_SetModState(down ? static_cast<SDL_Keymod>(mod) : KMOD_NONE);
    SDL_PushEvent(&e);
  }
}

}  // namespace

bool Script::load(const std::string& path, std::string& error) {
  std::ifstream in(path);
  if (!in) {
    error = "cannot read the script " + path;
    return false;
  }
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    lines_.push_back(line);
  }
  return true;
}

void Script::fail(const std::string& why) {
  std::fprintf(stderr, "korva-workshop: script line '%s': %s\n", lines_[next_].c_str(), why.c_str());
  ++failures_;
}

std::string Script::screenshot_due() {
  std::string s;
  s.swap(screenshot_);
  return s;
}

void Script::before_frame(Workshop& w, ImGuiIO& io) {
  if (mouse_.x >= 0) {
    io.MousePos = mouse_;
    io.MouseDown[0] = false;
  }
  while (next_ < lines_.size()) {
    const std::string& line = lines_[next_];
    const size_t space = line.find(' ');
    const std::string command = line.substr(0, space);
    const std::string arg = space == std::string::npos ? std::string() : line.substr(space + 1);
    auto advance = [&] {
      ++next_;
      phase_ = 0;
      waited_ = 0;
    };
    if (command == "click") {
      const auto it = w.targets().find(arg);
      if (it == w.targets().end()) {
        if (++waited_ > kPatience) {
          fail("no such widget");
          advance();
          continue;
        }
        return;
      }
      const ImVec2 centre((it->second.min.x + it->second.max.x) / 2, (it->second.min.y + it->second.max.y) / 2);
      mouse_ = centre;
      io.MousePos = centre;
      if (phase_ == 0) {  // hover first
        phase_ = 1;
        return;
      }
      if (phase_ == 1) {
        io.MouseDown[0] = true;
        phase_ = 2;
        return;
      }
      advance();  // released this frame
      return;
    }
    if (command == "key") {
      if (phase_ == 0) {
        push_key(arg, true);
        phase_ = 1;
        return;
      }
      push_key(arg, false);
      advance();
      return;
    }
    if (command == "type") {
      for (size_t at = 0; at < arg.size(); at += 16) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        std::snprintf(e.text.text, sizeof e.text.text, "%s", arg.substr(at, 16).c_str());
        SDL_PushEvent(&e);
      }
      advance();
      return;
    }
    if (command == "wait") {
      if (waited_++ < std::atoi(arg.c_str())) return;
      advance();
      continue;
    }
    if (command == "wait-idle") {
      if (w.busy() && waited_++ < kIdlePatience) return;
      if (w.busy()) fail("korva did not end");
      advance();
      continue;
    }
    if (command == "screenshot") {
      screenshot_ = arg;
      advance();
      return;
    }
    if (command == "wait-log") {
      // Something outside the script (the X server, korva) is to make the line appear.
      if (waited_ == 0) started_ = SDL_GetTicks();
      ++waited_;
      if (w.log().find(arg) == std::string::npos) {
        if (SDL_GetTicks() - started_ < kLogPatienceMs) return;
        fail("the log never held it:\n" + w.log());
      }
      advance();
      continue;
    }
    if (command == "expect-log") {
      if (w.log().find(arg) == std::string::npos) fail("the log does not hold it:\n" + w.log());
      advance();
      continue;
    }
    if (command == "expect-title") {
      if (w.title() != arg) fail("the title is '" + w.title() + "'");
      advance();
      continue;
    }
    if (command == "close") {
      SDL_Event e{};
      e.type = SDL_QUIT;
      SDL_PushEvent(&e);
      advance();
      return;
    }
    fail("unknown command");
    advance();
  }
}

}  // namespace korva::workshop
