// The rendering devices: a hardware OpenGL context through SDL when the display offers one, and
// the software device (Mesa llvmpipe) through EGL with no surface at all, which works with or
// without a display. Both render into framebuffer objects; the picture reaches the window through
// the back surface.
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <SDL2/SDL.h>

#include <string>

#include "platform/platform.h"

namespace korva::platform {

static std::string gl_renderer() {
  const auto* r = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
  return r ? r : "";
}

// Mesa's CPU rasterisers: a context on one of these is not a hardware device.
static bool software_renderer(const std::string& name) {
  for (const char* s : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"})
    if (name.find(s) != std::string::npos) return true;
  return false;
}

static void release_hardware(Devices& d) {
  if (d.gl_context) {
    // Only a context that is current here may be unbound: asking GLX to unbind while another
    // API's context is current is an X error that ends the process.
    if (SDL_GL_GetCurrentContext() == d.gl_context) SDL_GL_MakeCurrent(d.gl_window, nullptr);
    SDL_GL_DeleteContext(static_cast<SDL_GLContext>(d.gl_context));
  }
  if (d.gl_window) SDL_DestroyWindow(d.gl_window);
  d.gl_context = nullptr;
  d.gl_window = nullptr;
  d.hardware = false;
}

static void release_software(Devices& d) {
  auto dpy = static_cast<EGLDisplay>(d.egl_display);
  if (dpy) {
    eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (d.egl_context) eglDestroyContext(dpy, static_cast<EGLContext>(d.egl_context));
    eglTerminate(dpy);
  }
  d.egl_display = nullptr;
  d.egl_context = nullptr;
  d.software = false;
}

static void probe_hardware(Devices& d) {
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  d.gl_window = SDL_CreateWindow("korva-gl", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!d.gl_window) return;
  d.gl_context = SDL_GL_CreateContext(d.gl_window);
  if (!d.gl_context || SDL_GL_MakeCurrent(d.gl_window, d.gl_context) != 0) {
    release_hardware(d);
    return;
  }
  d.hardware_renderer = gl_renderer();
  if (software_renderer(d.hardware_renderer)) {
    release_hardware(d);
    return;
  }
  d.hardware = true;
  // Not current while the software device is probed; devices_make_current binds it again.
  SDL_GL_MakeCurrent(d.gl_window, nullptr);
}

static void probe_software(Devices& d) {
  auto get_platform_display = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
      eglGetProcAddress("eglGetPlatformDisplayEXT"));
  if (!get_platform_display) return;
  EGLDisplay dpy = get_platform_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
  if (dpy == EGL_NO_DISPLAY) return;
  EGLint major = 0, minor = 0;
  if (!eglInitialize(dpy, &major, &minor)) return;
  d.egl_display = dpy;
  if (!eglBindAPI(EGL_OPENGL_API)) {
    release_software(d);
    return;
  }
  const EGLint config_attribs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RENDERABLE_TYPE,
                                   EGL_OPENGL_BIT, EGL_NONE};
  EGLConfig config = nullptr;
  EGLint count = 0;
  if (!eglChooseConfig(dpy, config_attribs, &config, 1, &count) || count < 1) config = nullptr;
  EGLContext ctx = eglCreateContext(dpy, config, EGL_NO_CONTEXT, nullptr);
  if (ctx == EGL_NO_CONTEXT) {
    release_software(d);
    return;
  }
  d.egl_context = ctx;
  if (!eglMakeCurrent(dpy, EGL_NO_SURFACE, EGL_NO_SURFACE, ctx)) {
    release_software(d);
    return;
  }
  d.software_renderer = gl_renderer();
  d.software = true;
}

void devices_probe(Devices& d, const Screen& screen) {
  if (screen.window) probe_hardware(d);
  probe_software(d);
}

bool devices_select(Devices& d, DeviceKind kind) {
  if (kind == DeviceKind::Hardware && d.hardware) {
    release_software(d);
  } else if (kind == DeviceKind::Software && d.software) {
    release_hardware(d);
  } else {
    return false;
  }
  d.selected = kind;
  return devices_make_current(d);
}

bool devices_make_current(Devices& d) {
  if (d.selected == DeviceKind::Hardware && d.hardware)
    return SDL_GL_MakeCurrent(d.gl_window, d.gl_context) == 0;
  if (d.selected == DeviceKind::Software && d.software)
    return eglMakeCurrent(static_cast<EGLDisplay>(d.egl_display), EGL_NO_SURFACE, EGL_NO_SURFACE,
                          static_cast<EGLContext>(d.egl_context)) == EGL_TRUE;
  return false;
}

void devices_release(Devices& d) {
  release_hardware(d);
  release_software(d);
  d.selected = DeviceKind::None;
}

}  // namespace korva::platform
