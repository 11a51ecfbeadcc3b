// Retained-mode scene graph: frames in a hierarchy that carry meshes, decals, clipped meshes and
// lights; viewports that look through a camera frame; key-framed animations; ray picking.
// Nothing here draws: the OpenGL device in platform/gl renders a viewport of this graph.
//
// Conventions: left-handed coordinates (x right, y up, z forward), column vectors with glm
// (a frame's local transform maps its own coordinates into its parent's). Triangles are front
// facing when their corners run clockwise as seen by the viewer.
#pragma once
#include <array>
#include <cstdint>
#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace korva::rm {

using glm::vec2;
using glm::vec3;
using glm::vec4;
using glm::mat3;
using glm::mat4;
using glm::quat;

struct Frame;
struct Mesh;
struct Texture;
struct Light;
struct ClippedVisual;
struct Animation;
using FramePtr = std::shared_ptr<Frame>;
using MeshPtr = std::shared_ptr<Mesh>;
using TexturePtr = std::shared_ptr<Texture>;
using LightPtr = std::shared_ptr<Light>;
using ClippedPtr = std::shared_ptr<ClippedVisual>;
using AnimationPtr = std::shared_ptr<Animation>;

// ---- Textures ----

// Pixels are RGBA, 4 bytes each, rows top-down. A texture doubles as a decal: drawn as a
// camera-facing rectangle at its frame's origin when it is added to a frame as a visual.
struct Texture {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> rgba;
  int32_t shades = 0;            // colour shades asked for (palette devices); kept, not needed by GL
  // Decal settings.
  bool decal_scale = true;       // size in scene units (true) or in screen pixels (false)
  float decal_width = 1.0f;
  float decal_height = 1.0f;
  int32_t decal_origin_x = 0;    // the texel that lies on the frame's origin
  int32_t decal_origin_y = 0;
  bool transparent = false;      // texels of the transparent colour are not drawn
  uint32_t transparent_color = 0;  // 0xRRGGBB
  uint32_t version = 1;          // bumped on every change so devices upload again
};

// Largest side accepted for a texture; bigger images are refused instead of exhausting memory.
constexpr int32_t kMaxTextureSide = 8192;

// From RGB bytes (3 per texel). nullptr for an impossible size or missing pixels.
TexturePtr texture_create_rgb(const uint8_t* rgb, int32_t width, int32_t height);
// From 32-bit texels with the given channel masks (a zero alpha mask means opaque).
struct ChannelMasks {
  uint32_t red = 0xff0000, green = 0xff00, blue = 0xff, alpha = 0xff000000;
};
TexturePtr texture_create_32(const uint32_t* texels, int32_t width, int32_t height,
                             const ChannelMasks& masks);
void texture_set_decal_size(Texture& t, float width, float height);
void texture_set_decal_origin(Texture& t, int32_t x, int32_t y);
void texture_set_decal_scale(Texture& t, bool scale);
void texture_set_transparency(Texture& t, bool on, uint32_t rgb = 0);

// ---- Meshes ----

enum class Quality : int32_t { Wireframe, UnlitFlat, Flat, Gouraud };
enum class WrapKind : int32_t { Flat, Cylinder, Sphere, Chrome };

// A texture wrap: a coordinate system (origin, z direction, up) in the mesh's coordinates and
// an offset and scale applied to the computed (u, v).
struct Wrap {
  WrapKind kind = WrapKind::Flat;
  vec3 origin{0.0f};
  vec3 direction{0.0f, 0.0f, 1.0f};
  vec3 up{0.0f, 1.0f, 0.0f};
  vec2 offset{0.0f};
  vec2 scale{1.0f};
};

struct Face {
  std::array<int32_t, 3> corners{};  // vertex indices
  vec4 color{1.0f};                  // RGBA, 0..1
  TexturePtr texture;                // none: plain colour
};

// A mesh builder: vertices with per-vertex normals and texture coordinates, and triangles.
struct Mesh {
  std::vector<vec3> vertices;
  std::vector<vec3> normals;  // one per vertex, or empty until generated
  std::vector<vec2> uvs;      // one per vertex
  std::vector<Face> faces;
  Quality quality = Quality::Gouraud;
  bool chrome = false;        // texture coordinates follow the view (a chrome wrap)
  bool perspective = true;    // perspective-correct textures
  float power = 0.0f;         // specular power of the mesh's material; 0 = no highlights
  std::string name;
  uint32_t version = 1;       // bumped on every change so devices rebuild their copies
};

MeshPtr mesh_create();
void mesh_reserve(Mesh& m, int32_t vertices, int32_t faces);
int32_t mesh_add_vertex(Mesh& m, vec3 position, vec2 uv = vec2(0.0f));
// A triangle of three existing vertices; -1 when a corner is out of range.
int32_t mesh_add_face(Mesh& m, int32_t a, int32_t b, int32_t c, vec4 color = vec4(1.0f));
// A triangle with three vertices of its own (texture coordinates stay per face).
int32_t mesh_add_triangle(Mesh& m, vec3 a, vec3 b, vec3 c, vec4 color = vec4(1.0f));
void mesh_set_color(Mesh& m, vec4 color);          // every face
void mesh_set_texture(Mesh& m, TexturePtr texture);  // every face
void mesh_set_quality(Mesh& m, Quality q);
bool mesh_set_vertex(Mesh& m, int32_t i, vec3 position);
bool mesh_set_uv(Mesh& m, int32_t i, vec2 uv);
bool mesh_set_normal(Mesh& m, int32_t i, vec3 normal);
// Smooth normals: each vertex gets the normalised sum of the normals of the faces using it.
void mesh_generate_normals(Mesh& m);
vec3 face_normal(const Mesh& m, const Face& f);  // unit normal of the front side
// Computes texture coordinates for every vertex from a wrap; a chrome wrap marks the mesh so
// that the device computes them from the view instead.
void mesh_apply_wrap(Mesh& m, const Wrap& w);
void mesh_scale(Mesh& m, vec3 factors);
void mesh_translate(Mesh& m, vec3 offset);
// Axis-aligned bounds; false for a mesh without vertices.
bool mesh_bounds(const Mesh& m, vec3& lo, vec3& hi);

// A mesh drawn only inside a set of half-spaces (user clip planes): a point p is kept when
// dot(p - point, normal) >= 0 for every plane. Planes are in the mesh's coordinates.
struct ClipPlane {
  vec3 point{0.0f};
  vec3 normal{0.0f, 0.0f, 1.0f};
};
struct ClippedVisual {
  MeshPtr mesh;
  std::vector<ClipPlane> planes;
  uint32_t version = 1;  // bumped by clipped_add_plane so devices cut the mesh again
};
ClippedPtr clipped_create(MeshPtr mesh);
void clipped_add_plane(ClippedVisual& c, vec3 point, vec3 normal);

// ---- Lights ----

enum class LightKind : int32_t { Ambient, Point, Spot, Directional, ParallelPoint };

// Positioned lights sit at their frame's origin; directed lights shine along the frame's z axis.
struct Light {
  LightKind kind = LightKind::Point;
  vec3 color{1.0f};
  float constant = 1.0f;   // attenuation = 1 / (constant + linear·d + quadratic·d²)
  float linear = 0.0f;
  float quadratic = 0.0f;
  float umbra = 0.4f;      // spot: full-intensity cone angle (radians)
  float penumbra = 0.5f;   // spot: outer cone angle (radians)
  float range = 256.0f;    // no light beyond this distance
  bool enabled = true;
};
LightPtr light_create(LightKind kind, vec3 color);

// ---- Materials ----

// Overrides the material of every mesh below the frame that carries it.
enum MaterialFlags : uint32_t {
  kMaterialDiffuseAlpha = 1,
  kMaterialDiffuse = 2,
  kMaterialAmbient = 4,
  kMaterialEmissive = 8,
  kMaterialSpecular = 16,
  kMaterialPower = 32,
  kMaterialTexture = 64,
};
struct MaterialOverride {
  uint32_t flags = 63;
  vec4 diffuse{1.0f};
  vec4 ambient{1.0f};
  vec4 emissive{0.0f};
  vec4 specular{0.0f};
  float power = 0.0f;
  TexturePtr texture;
};

// ---- Frames ----

enum Traversal : uint32_t { kTraverseRender = 1, kTraversePick = 2 };
enum class SortMode : int32_t { None, FrontToBack, BackToFront };
enum class ZBufferMode : int32_t { FromParent, Enable, Disable };

struct Fog {
  bool enabled = false;
  float start = 1.0f;   // linear fog, in scene units from the eye
  float end = 100.0f;
  float density = 0.0f;
  vec3 color{0.0f};
};

using Visual = std::variant<MeshPtr, TexturePtr, ClippedPtr>;

struct Frame {
  Frame* parent = nullptr;  // owned by the parent's children list
  std::vector<FramePtr> children;
  vec3 position{0.0f};      // local transform = translate(position) · basis
  mat3 basis{1.0f};         // rotation, possibly with scale
  uint32_t traversal = kTraverseRender | kTraversePick;
  std::vector<Visual> visuals;
  std::vector<LightPtr> lights;
  ZBufferMode zbuffer = ZBufferMode::FromParent;
  std::optional<MaterialOverride> material;
  // Scene settings: used when this frame is the root a viewport renders.
  SortMode sort_mode = SortMode::FrontToBack;
  // When set, sort_mode also orders the visuals below this frame among themselves (they keep
  // their place among the rest of the scene by the distance to this frame's origin).
  bool sorts_below = false;
  vec3 background{0.0f};
  Fog fog;
  std::string name;
  int32_t user = 0;         // free for the owner (an index into its own tables)

  Frame() = default;
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;
  ~Frame();
};

// A new frame under parent (nullptr: a root).
FramePtr frame_create(Frame* parent);
// Moves child under parent, keeping its local transform. Refuses cycles.
bool frame_add_child(Frame& parent, FramePtr child);
void frame_remove_child(Frame& parent, const Frame* child);
void frame_add_visual(Frame& f, Visual v);
void frame_remove_visual(Frame& f, const Visual& v);
void frame_add_light(Frame& f, LightPtr l);
// The transform from f's coordinates into ref's (ref nullptr: the world).
mat4 frame_world(const Frame& f);
mat4 frame_transform(const Frame& f, const Frame* ref);
vec3 frame_position(const Frame& f, const Frame* ref);
void frame_set_position(Frame& f, const Frame* ref, vec3 p);
// Orientation from a forward (z) and up direction given in ref's coordinates; the basis becomes
// a pure rotation. Degenerate input (zero or parallel vectors) leaves the frame unchanged.
void frame_set_orientation(Frame& f, const Frame* ref, vec3 direction, vec3 up);
void frame_orientation(const Frame& f, const Frame* ref, vec3& direction, vec3& up);
// Rotation relative to ref as a quaternion (scale dropped).
void frame_set_rotation(Frame& f, const Frame* ref, quat q);
quat frame_rotation(const Frame& f, const Frame* ref);
void frame_set_transform(Frame& f, const mat4& local);
mat4 frame_local(const Frame& f);
void frame_set_traversal(Frame& f, uint32_t options);
// Whether the frame and all its ancestors are rendered.
bool frame_rendered(const Frame& f);
// The root the frame hangs from (itself when it has no parent).
const Frame* frame_scene(const Frame& f);

// ---- Picking ----

struct PickHit {
  Frame* frame = nullptr;
  const Mesh* mesh = nullptr;
  int32_t visual = -1;  // index in the frame's visuals
  int32_t face = -1;
  float distance = 0.0f;  // along the ray, in the units of the ray's reference frame
  vec3 position{0.0f};    // in the ray's reference frame
};

// Casts a ray (origin and direction in ref's coordinates, ref nullptr: world) against the
// meshes of f and its descendants that allow picking; hits are sorted nearest first.
std::vector<PickHit> frame_ray_pick(Frame& f, const Frame* ref, vec3 origin, vec3 direction);

// ---- Viewports ----

// The field is the half extent, at the front plane, of the viewport's smaller side.
struct Viewport {
  FramePtr camera;
  int32_t x = 0, y = 0, width = 0, height = 0;  // device pixels, y downwards
  float front = 1.0f;
  float back = 100.0f;
  float field = 0.5f;
};

void viewport_set_rect(Viewport& v, int32_t x, int32_t y, int32_t width, int32_t height);
// Refuses non-positive or inverted planes and fields (returns false, nothing changed).
bool viewport_set_front(Viewport& v, float front);
bool viewport_set_back(Viewport& v, float back);
bool viewport_set_field(Viewport& v, float field);
// World to camera (left-handed, +z ahead) and camera to clip space (OpenGL depth range).
mat4 viewport_view(const Viewport& v);
mat4 viewport_projection(const Viewport& v);
// World point to screen: x, y in device pixels, z the depth 0 (front) .. 1 (back), w the
// distance ahead of the camera. w <= 0 means the point is behind the camera.
vec4 viewport_transform(const Viewport& v, vec3 world);
// Screen point (device pixels) at depth z (0 front .. 1 back) back into the world.
vec3 viewport_inverse_transform(const Viewport& v, vec3 screen);
// Frames hit by the ray through a screen point, nearest first.
std::vector<PickHit> viewport_pick(const Viewport& v, Frame& scene, float sx, float sy);

// ---- Animations ----

enum AnimationOptions : uint32_t {
  kAnimClosed = 1,            // the path loops (else it stops at the ends)
  kAnimLinear = 2,            // linear between keys (else a spline through them)
  kAnimPosition = 4,          // position keys move the frame
  kAnimScaleAndRotation = 8,  // rotation and scale keys set the frame's basis
};

struct PositionKey {
  float time = 0.0f;
  vec3 value{0.0f};
};
struct RotationKey {
  float time = 0.0f;
  quat value{1.0f, 0.0f, 0.0f, 0.0f};
};

struct Animation {
  uint32_t options = kAnimClosed | kAnimLinear | kAnimPosition;
  std::vector<PositionKey> positions;  // kept sorted by time
  std::vector<PositionKey> scales;
  std::vector<RotationKey> rotations;
  std::weak_ptr<Frame> frame;
  float time = 0.0f;
  std::string name;
};

AnimationPtr animation_create();
void animation_set_options(Animation& a, uint32_t options);
void animation_add_position_key(Animation& a, float time, vec3 p);
void animation_add_scale_key(Animation& a, float time, vec3 s);
void animation_add_rotation_key(Animation& a, float time, quat q);
// Removes every key (of any kind) at exactly this time.
void animation_delete_key(Animation& a, float time);
void animation_set_frame(Animation& a, const FramePtr& f);
// Moves the animation to time t and applies its keys to the bound frame.
void animation_set_time(Animation& a, float t);
// Values at time t without touching a frame (false when the animation has no such keys).
bool animation_position_at(const Animation& a, float t, vec3& p);
bool animation_rotation_at(const Animation& a, float t, quat& q);
bool animation_scale_at(const Animation& a, float t, vec3& s);

// Several animations played together (a model's animation set).
struct AnimationSet {
  std::string name;
  std::vector<AnimationPtr> animations;
  float length = 0.0f;  // last key time
  float time = 0.0f;
};
void animation_set_time(AnimationSet& s, float t);

}  // namespace korva::rm
