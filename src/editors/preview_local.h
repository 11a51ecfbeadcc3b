// The rendered previews shared by the resource browser and the visual editor.
#pragma once
#include <cstdint>
#include <vector>

#include "editors/editors.h"
#include "render/render.h"

namespace korva {

// Renders the meshes of parts (as the scene builds them) into width x height RGB bytes: a
// turntable camera circles the parts' centre at turn_degrees about the vertical axis, with one
// directional light that moves with it. False when nothing can be drawn or there is no device.
bool render_parts_preview(PreviewDevice& device, const std::vector<render::VisualPartData>& parts,
                          render::TextureCache& textures, float turn_degrees, int32_t width, int32_t height,
                          std::vector<uint8_t>& rgb);

}  // namespace korva
