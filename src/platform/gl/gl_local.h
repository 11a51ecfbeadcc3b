// Shared by the OpenGL device's own files.
#pragma once
#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include "platform/gl/gl.h"

namespace korva::gl {

// The GL texture for t, uploaded (again) when it is new or changed; 0 on failure.
uint32_t texture_bind(Device& d, const rm::TexturePtr& t, bool& has_alpha);

}  // namespace korva::gl
