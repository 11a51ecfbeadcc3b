// korva-workshop: the desktop front end. Makes the window (SDL2 + OpenGL 3 + Dear ImGui), runs
// the workshop's frames, and for tests takes a script of input and writes screenshots.
#include <GL/gl.h>
#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_opengl3.h>
#include <imgui_impl_sdl.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "script.h"
#include "workshop.h"

namespace {

const char* const kHelp =
    "Usage: korva-workshop [--dir DIR] [--size WxH] [--script FILE] [--screenshot FILE] [--frames N]\n"
    "\n"
    "The Korva workshop: make, edit and run games in a window.\n"
    "  --dir DIR          the installation folder (default: $KORVA_HOME, else the current folder)\n"
    "  --size WxH         the window size (default 1280x760)\n"
    "  --script FILE      scripted input (see tools/korva-workshop/script.h); the exit status\n"
    "                     is 1 when one of its checks failed\n"
    "  --screenshot FILE  write the last picture as PNG when the workshop ends\n"
    "  --frames N         end after N frames\n";

bool write_screenshot(const std::string& path, int32_t w, int32_t h) {
  std::vector<uint8_t> rgb(size_t(w) * h * 3), flipped(rgb.size());
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(0, 0, w, h, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
  const size_t row = size_t(w) * 3;
  for (int32_t y = 0; y < h; ++y) std::copy_n(rgb.data() + size_t(h - 1 - y) * row, row, flipped.data() + size_t(y) * row);
  return korva::platform::png_write(path, w, h, flipped.data());
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir, script_path, screenshot;
  int32_t width = 1280, height = 760;
  long max_frames = -1;
  if (const char* home = std::getenv("KORVA_HOME"); home && *home) dir = home;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool has_value = i + 1 < argc;
    if (a == "--help" || a == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if (a == "--dir" && has_value) {
      dir = argv[++i];
    } else if (a == "--script" && has_value) {
      script_path = argv[++i];
    } else if (a == "--screenshot" && has_value) {
      screenshot = argv[++i];
    } else if (a == "--frames" && has_value) {
      max_frames = std::strtol(argv[++i], nullptr, 10);
    } else if (a == "--size" && has_value) {
      if (std::sscanf(argv[++i], "%dx%d", &width, &height) != 2 || width < 320 || height < 240 || width > 8192 ||
          height > 8192) {
        std::fprintf(stderr, "korva-workshop: --size needs WIDTHxHEIGHT, at least 320x240\n");
        return 2;
      }
    } else {
      std::fprintf(stderr, "korva-workshop: unknown argument %s\n%s", a.c_str(), kHelp);
      return 2;
    }
  }
  std::error_code ec;
  if (dir.empty()) dir = std::filesystem::current_path(ec).string();
  dir = std::filesystem::absolute(dir, ec).lexically_normal().string();
  const std::string own = std::filesystem::read_symlink("/proc/self/exe", ec).string();

  korva::workshop::Script script;
  if (!script_path.empty()) {
    std::string error;
    if (!script.load(script_path, error)) {
      std::fprintf(stderr, "korva-workshop: %s\n", error.c_str());
      return 2;
    }
  }

  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER) != 0) {
    std::fprintf(stderr, "korva-workshop: cannot open a window: %s\n", SDL_GetError());
    return 1;
  }
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 0);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_Window* window = SDL_CreateWindow("korva-workshop", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                                        SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
  SDL_GLContext gl = window ? SDL_GL_CreateContext(window) : nullptr;
  if (!gl) {
    std::fprintf(stderr, "korva-workshop: cannot make an OpenGL context: %s\n", SDL_GetError());
    SDL_Quit();
    return 1;
  }
  SDL_GL_MakeCurrent(window, gl);
  SDL_GL_SetSwapInterval(1);

  IMGUI_CHECKVERSION();
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;  // the layout is fixed; nothing is written beside the program
  ImGui::StyleColorsDark();
  ImGui_ImplSDL2_InitForOpenGL(window, gl);
  ImGui_ImplOpenGL3_Init("#version 130");

  int32_t status = 0;
  {
    korva::workshop::Workshop workshop(dir, own);
    std::string title;
    bool quit = false;
    for (long frame = 0; !quit; ++frame) {
      SDL_Event e;
      const bool scripted = !script_path.empty() && !script.finished();
      // Without a script the window sleeps until something happens, but not so long that a
      // running korva's output waits.
      if (!scripted && SDL_WaitEventTimeout(nullptr, workshop.busy() ? 30 : 250) == 0) {
      }
      while (SDL_PollEvent(&e)) {
        ImGui_ImplSDL2_ProcessEvent(&e);
        const bool close = e.type == SDL_QUIT || (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE);
        if (close && workshop.request_close()) quit = true;
        if (e.type == SDL_KEYDOWN && e.key.keysym.sym == SDLK_F5) workshop.shortcut_run();
        const bool ctrl = e.type == SDL_KEYDOWN && (e.key.keysym.mod & KMOD_CTRL);
        // Ctrl+Z inside a text field is the field's own undo.
        const bool typing = ImGui::GetIO().WantTextInput;
        if (ctrl && e.key.keysym.sym == SDLK_s) workshop.shortcut_save();
        if (ctrl && !typing && e.key.keysym.sym == SDLK_z) workshop.undo();
        if (ctrl && !typing && e.key.keysym.sym == SDLK_y) workshop.redo();
      }
      ImGui_ImplOpenGL3_NewFrame();
      ImGui_ImplSDL2_NewFrame();
      if (!script_path.empty()) script.before_frame(workshop, io);
      ImGui::NewFrame();
      workshop.draw();
      ImGui::Render();
      glViewport(0, 0, static_cast<int>(io.DisplaySize.x), static_cast<int>(io.DisplaySize.y));
      glClearColor(0.1f, 0.1f, 0.12f, 1.0f);
      glClear(GL_COLOR_BUFFER_BIT);
      ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
      int w = 0, h = 0;
      SDL_GL_GetDrawableSize(window, &w, &h);
      if (const std::string shot = script.screenshot_due(); !shot.empty() && !write_screenshot(shot, w, h)) {
        std::fprintf(stderr, "korva-workshop: cannot write %s\n", shot.c_str());
        status = 1;
      }
      if (!screenshot.empty() && (quit || workshop.wants_exit() || frame + 1 == max_frames)) {
        if (!write_screenshot(screenshot, w, h)) std::fprintf(stderr, "korva-workshop: cannot write %s\n", screenshot.c_str());
      }
      SDL_GL_SwapWindow(window);
      if (workshop.title() != title) {
        title = workshop.title();
        SDL_SetWindowTitle(window, title.c_str());
      }
      if (workshop.wants_exit() || (max_frames > 0 && frame + 1 >= max_frames)) quit = true;
      if (!script_path.empty() && script.finished() && !workshop.busy()) quit = true;
    }
    if (script.failures() > 0) status = 1;
  }
  ImGui_ImplOpenGL3_Shutdown();
  ImGui_ImplSDL2_Shutdown();
  ImGui::DestroyContext();
  SDL_GL_DeleteContext(gl);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return status;
}
