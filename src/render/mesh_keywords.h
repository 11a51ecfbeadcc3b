// The mesh, vertex and material keywords: brains reshape the meshes of visuals and models while
// a project runs. A keyword names a mesh through a handle (an element or a frame handle), the
// shared part selection (a path of child frames below the handle's frame and a visual index)
// and the visual it reaches, which must be a mesh. Vertex coordinates cross in position units
// (512000 per scene unit), texture coordinates in ten-thousandths, material values in
// thousandths. Every keyword does nothing and answers 0 when the selection fails.
#pragma once
#include <cstdint>

#include "core/system.h"
#include "platform/rm/rm.h"
#include "render/scene.h"

namespace korva {

struct KeywordBindings;

namespace meshes {

// The frame h names (a model element's model frame, another element's scene frame, or a frame
// handle's frame), followed down the path of p; nullptr when a step fails.
rm::Frame* selected_frame(const System& s, int32_t h, const render::PartSelection& p);
// The mesh of the selected frame's visual p.visual; nullptr when it is no mesh. frame (when
// given) receives the frame holding it.
rm::MeshPtr selected_mesh(const System& s, int32_t h, const render::PartSelection& p,
                          rm::Frame** frame = nullptr);
// The transform from f's coordinates (a frame at or below h's frame) into the main scene's,
// with an element's frame placed from its instance record as it is now, so that the answer
// does not wait for the next rendered frame.
rm::mat4 world_now(const System& s, int32_t h, const rm::Frame& f);

void h_part_set(System& s, int32_t c1, int32_t c2, int32_t c3, int32_t c4, int32_t v);
void h_cpart1_set(System& s, int32_t c1, int32_t c2, int32_t c3, int32_t c4, int32_t v);
void h_cpart2_set(System& s, int32_t c1, int32_t c2, int32_t c3, int32_t c4, int32_t v);
int32_t vertices(System& s, int32_t h);
int32_t normals(System& s);
int32_t vertex_pos(System& s, int32_t h, int32_t i, int32_t c);
void vertex_pos_set(System& s, int32_t h, int32_t i, int32_t x, int32_t y, int32_t z);
void vertex_pos_add(System& s, int32_t h, int32_t i, int32_t x, int32_t y, int32_t z);
void vertex_posw_set(System& s, int32_t h, int32_t i, int32_t x, int32_t y, int32_t z);
int32_t vertex_u(System& s, int32_t h, int32_t i);
int32_t vertex_v(System& s, int32_t h, int32_t i);
void vertex_uv_set(System& s, int32_t h, int32_t i, int32_t u, int32_t v);
void vertex_uv_add(System& s, int32_t h, int32_t i, int32_t du, int32_t dv, int32_t n);
void vertices_get(System& s, int32_t h, int32_t b, int32_t start);
void vertices_set(System& s, int32_t h, int32_t b, int32_t start);
void normals_get(System& s, int32_t h, int32_t b, int32_t start);
void normals_set(System& s, int32_t h, int32_t b, int32_t start);
void normals_optimize(System& s, int32_t h);
void rendering_optimize(System& s, int32_t h);
void state_change_optimize(System& s, int32_t h);
void env_map_update(System& s, int32_t h);
void make_flat(System& s, int32_t h);
void h_sort_mode_set(System& s, int32_t h, int32_t t);
void zbuffer_mode_set(System& s, int32_t h, int32_t m);
void material_set(System& s, int32_t t, int32_t r, int32_t g, int32_t b, int32_t a);
void material_apply(System& s, int32_t h);
int32_t a_interpolate(System& s, int32_t b, int32_t t, int32_t k, int32_t n, int32_t m);
void a_copy(System& s, int32_t b1, int32_t b2, int32_t i1, int32_t i2, int32_t n);
int32_t h_poly_collision(System& s, int32_t h1, int32_t h2, int32_t all);
int32_t h_cpoint_x(System& s, int32_t ref);
int32_t h_cpoint_y(System& s, int32_t ref);
int32_t h_cpoint_z(System& s, int32_t ref);
int32_t h_cnormal_x(System& s, int32_t ref);
int32_t h_cnormal_y(System& s, int32_t ref);
int32_t h_cnormal_z(System& s, int32_t ref);

// One colour (t 0 diffuse, 1 ambient, 2 emissive, 3 specular) or the power (t 4) of a material
// override from thousandths; other t are ignored. Shared with the shadow material.
void material_value_set(rm::MaterialOverride& m, int32_t t, int32_t r, int32_t g, int32_t b, int32_t a);

}  // namespace meshes

void bind_mesh_keywords(KeywordBindings& b);

}  // namespace korva
