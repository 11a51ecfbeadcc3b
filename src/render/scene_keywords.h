// The scene-wide rendering keywords, bound into the keyword table.
#pragma once
#include <cstdint>

#include "core/system.h"

namespace korva {

struct KeywordBindings;

void fog_set(System& s, int32_t start, int32_t end);
int32_t fog_start(System& s);
int32_t fog_end(System& s);
void fog_color_set(System& s, int32_t r, int32_t g, int32_t b);
void fogeffect_set(System& s, int32_t flag);
int32_t clip_distance(System& s);
void camera_fov_set(System& s, int32_t e, int32_t a);
void sort_mode_set(System& s, int32_t t);
void poly_sort_mode_set(System& s, int32_t f);
void specular_set(System& s, int32_t f);
void dithering_set(System& s, int32_t f);
void antialias_set(System& s, int32_t f);
void background3d_set(System& s, int32_t m);
void flats_priority_set(System& s, int32_t f);

void bind_scene_keywords(KeywordBindings& b);

}  // namespace korva
