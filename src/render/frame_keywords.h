// The scene frame keywords: the frame table behind frame handles (index | 0x80000000), frame
// and model positions and orientations through one shared current rotation, the local axes of
// elements, part visibility, frames loaded from .x files, and picking with the mouse.
#pragma once
#include <cstdint>

#include "core/system.h"
#include "platform/rm/rm.h"

namespace korva {

struct KeywordBindings;

namespace frames {
constexpr int32_t kFrameHandleBit = int32_t(0x80000000u);
// Entries of the frame table: a brain loading a model every frame without killing any must
// not take the whole memory.
constexpr int32_t kFrameTableEntries = 1 << 16;

// Enters f in the frame table; its handle, or -1 when the table is full or there is no scene.
int32_t frame_enter(System& s, rm::FramePtr f);
// The bytes a copy of f and everything below it takes: frames, meshes and lights (textures are
// shared between copies).
int64_t frame_bytes(const rm::Frame& f);
// Whether the main and overlay scenes together may take bytes more and stay within their cap
// (render::FrameTable::bytes_max): copies of frames ask before they are made.
bool scene_has_room(const System& s, int64_t bytes);
// The frame a frame handle names; nullptr for a free entry, an index at or past the mark, or a
// value without bit 31.
rm::Frame* frame_of(const System& s, int32_t handle);

int32_t position(System& s, int32_t e, int32_t ref, int32_t c);
void position_set(System& s, int32_t e, int32_t x, int32_t y, int32_t z);
void rotation_axis_set(System& s, int32_t x, int32_t y, int32_t z, int32_t a);
void rotation_axis_add(System& s, int32_t x, int32_t y, int32_t z, int32_t a);
void orientation_set(System& s, int32_t e);
int32_t rotation_angle(System& s, int32_t e, int32_t ref);
int32_t rotation_axis(System& s, int32_t c);
int32_t local_axis(System& s, int32_t e, int32_t a, int32_t c);
void h_part_show(System& s, int32_t h, int32_t v);
int32_t x_load(System& s, int32_t name, int32_t parent);
void x_kill(System& s, int32_t f);
int32_t x_picked(System& s, int32_t f);
int32_t x_pick_pt(System& s, int32_t c);
int32_t x_clone(System& s, int32_t source, int32_t parent);
int32_t x_element_get(System& s, int32_t e, int32_t c1, int32_t c2, int32_t c3, int32_t c4);

// The run's picking routine, run by the brain step while a brain uses visual_picked: the
// element under the mouse cursor through the first active, shown camera whose ray meets a mesh,
// or kNothingPicked. The step stores only non-zero answers, so "nothing" is a non-zero value
// that is never an element handle; a 0 would leave the last element picked for ever.
constexpr int32_t kNothingPicked = -1;
int32_t scene_pick(System& s);
// -1 when e is the element the step's picking found, else 0.
int32_t visual_picked(System& s, int32_t e);
// The element under the mouse cursor, or 0.
int32_t visual_picked_get(System& s);
// The element under the mouse cursor, looking through element skip (a cursor that follows the
// mouse, say), or 0.
int32_t visual_picked_get_ex(System& s, int32_t skip);
// The distance from element e along its z axis to target's meshes (element or frame handle),
// in position units; 0 when the ray misses.
int32_t visual_ray(System& s, int32_t e, int32_t target);
}  // namespace frames

// Fills the run's frame seams (disable/enable and position_x on frame handles) from the table.
void connect_frame_hooks(System& s);
void bind_frame_keywords(KeywordBindings& b);

}  // namespace korva
