// The volume shadow keywords. A caster's shadow volume is a set of clipping planes built from
// its silhouette as seen from a light; the receiving mesh is copied into the overlay scene as a
// clipped visual restricted to the inside of those planes, given a dark shadow material, and
// drawn over the scene in an extra pass whose planes are pushed slightly forward (see the
// scene's render pass), so that the copy wins the depth test against the receiver itself.
#pragma once
#include <cstdint>
#include <vector>

#include "core/system.h"
#include "platform/rm/rm.h"
#include "render/scene.h"

namespace korva {

struct KeywordBindings;

namespace shadows {

// A light as the volumes see it: a point, or parallel rays along a direction.
struct ShadowLight {
  bool parallel = false;
  rm::vec3 position{0.0f};
  rm::vec3 direction{0.0f, -1.0f, 0.0f};
};

// The silhouette of a mesh (vertices in world coordinates) lit by l: the edges of the faces
// that face the light that no other such face shares, each with the third corner of its face.
// Corners at the same place count as one, so meshes with a vertex of their own per face work.
struct SilhouetteEdge {
  rm::vec3 a, b, third;
};
std::vector<SilhouetteEdge> silhouette(const rm::Mesh& m, const rm::mat4& world, const ShadowLight& l,
                                       std::vector<rm::ClipPlane>* caps = nullptr);
// The planes of the shadow volume (normals into the volume, each point moved 0.001 along its
// normal): one per silhouette edge, and with caps one behind each face that faces the light.
std::vector<rm::ClipPlane> volume_planes(const rm::Mesh& m, const rm::mat4& world, const ShadowLight& l, bool caps);
// Appends a plane to the plane list; false (nothing written) when the list is full.
bool plane_list_add(render::ShadowState& st, const rm::ClipPlane& p);
// Every plane of every volume of the list, in list order.
std::vector<rm::ClipPlane> plane_list_planes(const render::ShadowState& st);

void v_shadow_volume_reset(System& s);
void v_shadow_volume_add(System& s, int32_t h, int32_t mode, int32_t light);
void v_shadow_create(System& s, int32_t h);
void v_shadow_delete(System& s);
void v_shadow_set(System& s, int32_t t, int32_t r, int32_t g, int32_t b, int32_t a);
void v_shadow_factor(System& s, int32_t o, int32_t m);
void v_shadow_update(System& s, int32_t h);
void shadow_add(System& s, int32_t caster, int32_t receiver);
void shadow_location_set(System& s, int32_t x, int32_t y, int32_t z);
void shadow_orientation_set(System& s, int32_t x, int32_t y, int32_t z);

// Builds the automatic shadows (shadow_add) again from the positions now; run before the
// synchronisation of every rendered frame.
void shadows_refresh(System& s);

}  // namespace shadows

void bind_shadow_keywords(KeywordBindings& b);

}  // namespace korva
