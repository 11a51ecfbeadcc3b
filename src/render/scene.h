// The 3D scene of a project run: four root frames, one scene object per element (frames of
// visuals, shapes, models, lights and cameras, decals of flat shapes), the per-pass
// synchronisation of frames with the elements' integer state, the render pass, and the state
// behind the scene-wide rendering keywords. The run lifecycle fills ElementSetup (at build) and
// ElementState (each pass) from the element and instance records and calls these functions.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/system.h"
#include "platform/gl/gl.h"
#include "platform/platform.h"
#include "platform/rm/rm.h"
#include "render/render.h"

namespace korva {
struct Core;
}

namespace korva::render {

// Element kinds, fixed by the extension of the element's visual file.
enum class ElementKind : int32_t {
  None, Camera, Shape3d, FlatShape, Sprite, Frame2d, Background, Counter, Track, Light, Visual, Model,
};
ElementKind kind_from_extension(std::string_view visual_path);

// Coordinates authored for 640 x 480, in a display mode: codes 4 and 8 scale by 125/100,
// 16 and 32 by 160/100 (adding 1 before the division), others keep them.
int32_t display_scale(int32_t display_mode, int32_t v);

// Radians per angle unit (1/512 degree).
constexpr double kRadiansPerAngle = 3.14159265358979323846 / (180.0 * 512.0);
constexpr int32_t kSpareAnimations = 50;  // bound to frames of their own, for splines

struct SceneSettings {
  int32_t display_mode = 1;
  int32_t texture_quality = 0;   // 0..5
  int32_t front_percent = 100;   // front plane in hundredths of a scene unit
  int32_t clip_distance = 30;    // back plane in scene units
  uint32_t background_color = 0; // 0xRRGGBB: scene background and fog colour
  platform::PixelFormat format = platform::PixelFormat::Rgb565;
  // The 3D background: image, hood shape 0..4, repetitions round the hood, mirrored second half.
  std::string background_image = "bckgrnds/bkgr000_.bmp";
  int32_t background_shape = 0;
  int32_t background_repetitions = 1;
  int32_t background_mirror = 0;
  int32_t debug_display = 0;     // 1: the debug helper models are loaded
  std::string data_folder = "data/";
};

// A flat shape's image: 32-bit XRGB pixels and the size exponent k (decal side 2^k / 5).
struct FlatImage {
  std::vector<uint32_t> pixels;
  int32_t width = 0, height = 0;
  int32_t size_exponent = 0;
};

// What the build reads from one element: its kind and the data the asset pass loaded for it
// (the run fills it from the element's asset records and element record).
struct ElementSetup {
  ElementKind kind = ElementKind::None;
  CameraFile camera;                          // cameras
  std::array<int32_t, 4> rect{};              // cameras: x1, y1, x2, y2 on a 640 x 480 screen
  bool viewport = true;                       // cameras: false when field 37 does not describe a viewport
  bool active = true;
  rm::MeshPtr shape;                          // 3D shapes
  std::shared_ptr<VisualFile> visual_file;    // visuals
  std::vector<int32_t> visual_numbers{1};     // visuals: the visual of each aspect
  std::shared_ptr<XModel> model;              // .x models; the scene takes it
  std::vector<FlatImage> images;              // flat shapes: one per aspect
  // Lights.
  int32_t light_type = 1;         // 0 ambient, 1 point, 2 spot, 3 directional, 4 parallel point
  uint32_t light_color = 0xffffff;
  int32_t light_attenuation = 0;
};

// What each pass reads from one element's instance record.
struct ElementState {
  bool active = false;
  bool shown = false;
  std::array<int32_t, 3> position{};  // 512000 per scene unit
  std::array<int32_t, 3> rotation{};  // 1/512 degree
  std::array<int32_t, 3> scale{1000, 1000, 1000};
  bool extra_rotation = false;
  std::array<int32_t, 3> extra{};
  int32_t aspect = 0;  // visuals and flat shapes: the aspect shown (0 = the first)
  // .x models: animation set index (-1 none), speed, tick and range, advanced by the pass.
  int32_t animation_set = -1;
  int32_t speed = 0;
  int32_t tick = 0;
  int32_t range_start = 0;
  int32_t range_end = 0;
};

struct SceneElement {
  ElementKind kind = ElementKind::None;
  rm::FramePtr frame;
  int32_t viewport = -1;  // index into Scene::viewports
  rm::LightPtr light;
  rm::TexturePtr flat;                     // the flat-shape texture shown
  std::vector<rm::TexturePtr> flats;       // flat shapes: one texture per aspect
  std::vector<std::vector<rm::MeshPtr>> aspect_meshes;  // visuals: the meshes of each aspect
  int32_t aspect = 0;                      // the aspect the frame carries now
  std::shared_ptr<XModel> model;
  std::shared_ptr<VisualFile> visual_file;
  bool scaled_path = false;  // the last pass oriented the frame through the scale animation
};

// A part selection: a path of child indices down from a handle's frame (-1 ends it) and the
// index of a visual of the frame reached. Brains set three of them: one for the mesh keywords
// and one for each side of the polygon collision test.
struct PartSelection {
  std::array<int32_t, 4> child{-1, -1, -1, -1};
  int32_t visual = 0;
};

// What the mesh keywords share between all brains.
struct MeshKeywordState {
  PartSelection part, cpart1, cpart2;
  rm::MaterialOverride material;   // what material_set fills and material_apply applies
  std::weak_ptr<rm::Mesh> last;    // the mesh the last selection found (normals reads it)
  rm::vec3 contact_point{0.0f};    // where the last h_poly_collision found contact (scene units)
  rm::vec3 contact_normal{0.0f};   // the unit normal of the second part there
};

// One shadow volume as it was asked for, so that it can be built again from the positions
// of a later frame: the caster (handle and part), the mode and the light element (0: the
// shadow light of the automatic shadows).
struct ShadowVolumeSource {
  int32_t caster = 0;
  PartSelection part;
  int32_t mode = 0;
  int32_t light = 0;
};

// A volume-shadow copy in the overlay scene and the frame it follows.
struct OverlayCopy {
  rm::FramePtr copy;
  rm::FramePtr source;
  int32_t handle = 0;                        // the receiver's handle as v_shadow_create got it
  PartSelection part;                        // and the part selection then
  std::vector<ShadowVolumeSource> volumes;   // the volumes whose planes clip it
  bool automatic = false;                    // made by shadow_add, rebuilt every rendered frame
  // What the copy was last cut from (planes in the main scene, the source's transform and
  // meshes), so that an unchanged shadow is not cut again.
  std::vector<rm::ClipPlane> cut_planes;
  rm::mat4 cut_world{0.0f};
  std::vector<const rm::Mesh*> cut_meshes;
};

// The plane list of the volume shadows: volumes one after the other, each a plane count and
// that many planes of six floats (point, normal), a count of 0 ending the list.
constexpr int32_t kPlaneListFloats = 7000;
struct ShadowState {
  std::array<float, kPlaneListFloats> planes{};
  int32_t write = 1;       // where the next plane goes
  int32_t count_cell = 0;  // the current volume's plane count
  std::vector<ShadowVolumeSource> volumes;  // what filled the list since the last reset
  rm::MaterialOverride material;            // given to every shadow copy
  // The light of the automatic shadows (shadow_add): parallel along a direction, or a point.
  bool light_parallel = true;
  rm::vec3 light_direction{0.0f, -1.0f, 0.0f};
  rm::vec3 light_position{0.0f};
};
ShadowState shadow_state_default();

// One loaded asset of a scene kind (one per asset slot that loaded something).
struct SceneAsset {
  ElementKind kind = ElementKind::None;
  CameraFile camera;
  BackgroundFile background;
  rm::MeshPtr shape;
  std::shared_ptr<VisualFile> visual;
  int32_t visual_number = 1;
  std::shared_ptr<XModel> model;
  FlatImage image;
};

struct BackgroundFill {
  int32_t element = 0;
  int32_t x = 0, y = 0, width = 0, height = 0;
  uint32_t pixel = 0;
};

// The bytes of frames and meshes the main and overlay scenes may hold together before copies
// are refused (x_clone, x_load, v_shadow_create, shadow_add). A brain that copies a frame into
// itself doubles it at every call; without a cap, a few dozen calls would take all the memory
// there is.
constexpr int64_t kSceneBytesMax = int64_t(1) << 30;

// Scene frames brains name by handle (index | 0x80000000): models x_load loaded and parts of
// models. A freed entry is null; allocation takes the first free entry below the high-water
// mark, else the entry at the mark.
struct FrameTable {
  std::vector<rm::FramePtr> entries;
  int32_t mark = 0;
  int64_t bytes_max = kSceneBytesMax;  // lowered by tests
  // The rotation orientation_set applies, shared by all brains.
  rm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
  rm::vec3 axis{0.0f, 0.0f, 1.0f};  // the axis the last rotation_angle found
  rm::vec3 pick{0.0f};              // where the last successful x_picked ray met its frame
};

struct Scene {
  SceneSettings settings;
  rm::FramePtr background, main, overlay, flat;
  std::vector<SceneElement> elements;  // by element index
  std::vector<rm::Viewport> viewports;
  rm::AnimationPtr scaler;             // orients scaled visuals
  std::array<rm::AnimationPtr, kSpareAnimations> spares{};
  std::array<rm::FramePtr, 2> hoods{};  // the 3D background's two halves
  rm::TexturePtr background_texture;
  std::vector<std::shared_ptr<XModel>> debug_models;  // bounds box, radius, cross (hidden)
  std::vector<OverlayCopy> overlay_copies;
  FrameTable frames;
  MeshKeywordState mesh;
  ShadowState shadow = shadow_state_default();
  VisualCache visuals;
  TextureCache textures;
  // Keyword state.
  int32_t fog_start = 10240;  // in 1/512 scene unit
  int32_t fog_end = 15360;
  uint32_t fog_color = 0;     // 0xRRGGBB
  bool fog_enabled = false;
  int32_t background3d_mode = 0;
  int32_t flats_last = 0;
  float shadow_offset = 0.001f;
  bool shadow_single_pass = true;
  bool shadows = false;        // overlay passes run while volume shadows exist
  bool device_ready = false;   // the build found a 3D device to draw with
  std::vector<ElementState> states;  // as the last synchronisation left them
  // What the asset pass loaded for the scene kinds, addressed from their asset records.
  std::vector<SceneAsset> assets;
  // BACKGROUND elements: the rectangles the pass fills, in the display's pixel format.
  std::vector<BackgroundFill> fills;
};

// Builds the roots and every element's scene object. `device` may be null (no device settings).
void scene_build(Scene& s, const SceneSettings& settings, const std::vector<ElementSetup>& elements,
                 gl::Device* device);
// Releases the scene objects; the loaded assets stay until scene_assets_clear.
void scene_release(Scene& s);
// Steps 3 to 5 of the synchronisation: hide every frame, show and place the active and shown
// elements by kind, refresh the overlay copies. States are by element index.
void scene_sync(Scene& s, const Core& c, std::vector<ElementState>& states);
// The camera viewports filled with the background colour when the 3D-background mode is 2 or
// more (the end of the pass's 2D work under the scene).
void scene_camera_fills(Scene& s, const std::vector<ElementState>& states, platform::Surface& back);
// Every active, shown camera's viewport: background hoods, main scene, flat shapes, overlay
// passes.
void scene_draw(Scene& s, const std::vector<ElementState>& states, gl::Device& d, platform::Surface& back);
// The 3D part of a render pass in its order: camera fills, synchronisation, drawing.
void scene_render(Scene& s, const Core& c, std::vector<ElementState>& states, gl::Device& d,
                  platform::Surface& back);

// The frame orientation of the integer path: (0, 0, 1) and (0, 1, 0) in 16.16 fixed point,
// turned by the extra rotation (when set) and by the element's rotation, x then z then y.
void element_orientation(const Core& c, const ElementState& e, rm::vec3& direction, rm::vec3& up);
// The rotation of the scaled path: Qx·Qz·Qy of the element's angles, the extra rotation's in front.
rm::quat element_rotation(const ElementState& e);
// The animation tick after one rendered frame (speed added, wrapped into the range).
int32_t animation_tick_advance(int32_t tick, int32_t speed, int32_t lo, int32_t hi);

// ---- Asset records of the scene kinds (64 bytes in the Core's asset pool) ----
namespace scene_record {
constexpr int32_t kTag = 0;            // the kind's extension reversed ("d3v.", "d3x.", ...)
constexpr int32_t kIndex = 4;          // index into Scene::assets
constexpr int32_t kMark = 8;           // kSceneMark: the record was written by a scene loader
constexpr uint32_t kSceneMark = 0x4E435300u;  // "\0SCN"
constexpr int32_t kOwner = 12;         // the element whose loader wrote it
constexpr int32_t kVisualNumber = 16;  // visuals: the visual of the .v3d file this aspect shows
// .x models: animation set (-1 none), tick increment per rendered frame, tick, playing range.
constexpr int32_t kAnimationSet = 20, kSpeed = 24, kTick = 28, kRangeStart = 32, kRangeEnd = 36;
}  // namespace scene_record
// The speed a model's first animation set starts playing at: one time unit per rendered frame.
constexpr int32_t kDefaultAnimationSpeed = 1000;

// Loaders by element type, for the asset pass: each reads element's file into the scene's
// asset table and asset records from slot on, and returns the slots used.
int32_t camera_asset_load(System& s, int32_t element, int32_t slot, std::string_view path);
int32_t shape_asset_load(System& s, int32_t element, int32_t slot, std::string_view path);
int32_t flat_asset_load(System& s, int32_t element, int32_t slot, std::string_view path);  // + "name.002", ...
int32_t background_asset_load(System& s, int32_t element, int32_t slot, std::string_view path);
int32_t light_asset_load(System& s, int32_t element, int32_t slot, std::string_view path);   // no file
int32_t visual_asset_load(System& s, int32_t element, int32_t slot, std::string_view path);  // .v3d or .x
// Forgets the previous run's loaded assets.
void scene_assets_clear(System& s);
// The loaded asset an asset record names; nullptr for a record no scene loader wrote.
const SceneAsset* scene_asset(const System& s, const uint8_t* record);

// ---- Scene keywords ----
void fog_set(Scene& s, int32_t start, int32_t end);
int32_t fog_start(const Scene& s);
int32_t fog_end(const Scene& s);
void fog_color_set(Scene& s, int32_t r, int32_t g, int32_t b);
void fogeffect_set(Scene& s, int32_t flag);
int32_t clip_distance(const Scene& s);
void camera_fov_set(Scene& s, int32_t element, int32_t a);
// The value a that camera_fov_set would take for the camera's present field; 0 for an
// element that is not a camera with a viewport.
int32_t camera_fov(const Scene& s, int32_t element);
void sort_mode_set(Scene& s, int32_t t);
void poly_sort_mode_set(gl::Device& d, int32_t f);
void specular_set(gl::Device& d, int32_t f);
void dithering_set(gl::Device& d, int32_t f);
void antialias_set(gl::Device& d, int32_t f);
void background3d_set(Scene& s, int32_t m);
void flats_priority_set(Scene& s, int32_t f);

}  // namespace korva::render
