// Rendering and assets: the readers of the model, visual, shape, camera and background files,
// and the building of their meshes for the retained-mode scene.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/files.h"
#include "engine/triangles.h"
#include "platform/rm/rm.h"

namespace korva::render {

// ---- Visual files (.v3d) ----

// The six views of a part textured in texture mode 1, in the order the editor names them: each
// face of the part shows the image of the view that looks at its side of the part's box (back
// +z, right +x, front -z, left -x, top +y, bottom -y, as 3D Studio's viewports see the model).
enum class View : int32_t { Back, Right, Front, Left, Top, Bottom };
constexpr int32_t kViews = 6;
// The back view's image is field 2; the other five follow in fields 32..36.
constexpr int32_t kFirstViewField = 32;

// The fields of a part line the engine uses (fields are numbered from 1).
struct VisualPart {
  int32_t visual = 0;          // 1
  std::string image;           // 2
  std::string model;           // 3
  int32_t texture_mode = 0;    // 4: 0 plain colour, else textured
  int32_t quality = 3;         // 5: 0 wireframe, 1 unlit flat, 2 flat, 3 Gouraud
  int32_t material = 0;        // 6: 0 or 5, the material's specular power
  int32_t mirrored = 0;        // 7
  int32_t flip = 0;            // 8: 1 reverses every face
  int32_t transparency = 0;    // 9: 1 leaves the black texels of a textured part undrawn
  int32_t flat_scene = 0;      // 10: 1 puts the part in the flat-shape scene
  std::array<int32_t, 10> wrap{};  // 11..20, see wrap_from_part
  int32_t translucency = 0;    // 21: 1 draws the part half see-through, blended
  std::array<int32_t, 4> color{};  // 25..28, each /256
  int32_t uv_option = 0;       // 29: 1 texture coordinates per face instead of the wrap
  std::string model2;          // 30
  int32_t morph = 0;           // 31: percent of the way from the model to model2 (0..100)
  std::array<std::string, kViews - 1> views;  // 32..36: images of the right .. bottom views
};

// The image a view shows: its own field, or field 2 when that is empty.
const std::string& view_image(const VisualPart& p, View v);
// The view that looks at the side of a box a face with this normal lies on (its largest axis).
View view_facing(rm::vec3 normal);
// Opacity of a translucent part's faces.
constexpr float kTranslucentAlpha = 0.5f;

// Splits one part line; false when it is not a part line (no "|").
bool parse_part(std::string_view line, VisualPart& out);
// The wrap that fields 11..20 describe.
rm::Wrap wrap_from_part(const VisualPart& p);

// A .v3d file as loaded once and shared by every visual record that names it.
struct VisualPartData {
  VisualPart part;
  TriangleList triangles;   // from field 3
  TriangleList triangles2;  // from field 30
};
struct VisualFile {
  std::string path;  // the file actually read (the default one after a fall-back)
  std::vector<VisualPartData> parts;
};

// The part lines of a visual file's text, without reading their models. At most kMaxParts.
constexpr int32_t kMaxParts = 4096;
VisualFile parse_visual(std::string_view text);
// Reads a visual file and the models of its parts; a missing file falls back to
// visuals/default_.v3d. Lines are parsed; the models are read with read_triangles.
std::shared_ptr<VisualFile> read_visual_file(std::string_view path,
                                             std::string_view default_path = "visuals/default_.v3d");
// Part `index` (0-based, file order) of visual `number`; nullptr when there is none.
const VisualPartData* visual_part(const VisualFile& f, int32_t number, int32_t index);

// Loaded visual files by path, so that records naming the same file share one copy.
struct VisualCache {
  std::map<std::string, std::shared_ptr<VisualFile>> files;
};
std::shared_ptr<VisualFile> visual_cache_get(VisualCache& cache, std::string_view path);

// Loads textures once per image path (nullptr stays cached for images that fail).
struct TextureCache {
  std::map<std::string, rm::TexturePtr> textures;
  std::map<std::string, rm::TexturePtr> keyed;  // copies whose black texels are transparent
};
enum class Keying { None, Black };
rm::TexturePtr texture_load(TextureCache& cache, std::string_view path, Keying keying = Keying::None);

// The mesh of one part: plain colour (fields 25..27 / 256) or textured with 32 shades, from
// field 2 or, in texture mode 1, from the six views by the side each face lies on; mapped by
// the wrap or per face (field 29: each face takes the view of its side of the part's box);
// black texels left out with transparency, faces half see-through with translucency; mirrored
// and flipped as the part asks.
rm::MeshPtr build_part_mesh(const VisualPartData& p, TextureCache& textures);

// ---- 3D shapes (.a3d) ----

// Largest vertex and face counts a shape file may declare.
constexpr int32_t kMaxShapeItems = 1 << 20;
// Parses a shape text (vertices in thousandths); false when it declares nothing usable.
bool parse_shape(std::string_view text, rm::Mesh& out);
rm::MeshPtr read_shape(std::string_view path, std::string_view default_path = "3dshapes/default_.a3d");

// ---- Cameras (.03d) and backgrounds (.g3d) ----

struct CameraFile {
  int32_t fov = 100;  // the value camera_fov_set takes
};
struct BackgroundFile {
  int32_t color = 10;  // GUI palette index
};
// key=value text; unknown keys and bad values keep the defaults. A missing file gives them too.
CameraFile parse_camera(std::string_view text);
BackgroundFile parse_background(std::string_view text);
CameraFile read_camera(std::string_view path);
BackgroundFile read_background(std::string_view path);

// ---- DirectX models (.x) ----

struct XModel {
  rm::FramePtr frame;  // root of the model's frames, with their meshes
  std::vector<std::shared_ptr<rm::AnimationSet>> animation_sets;
  std::string path;    // the file actually read
};

// How models are imported: Assimp runs only in the short-lived korva-import process, which
// writes our model format (render/mesh_file.h) into a cache keyed by the model file's content.
struct ModelImport {
  // Empty: $KORVA_MODEL_CACHE, else $XDG_CACHE_HOME/korva/models, else ~/.cache/korva/models.
  std::string cache_folder;
  // Empty: $KORVA_IMPORTER, else korva-import beside the running executable.
  std::string importer;
  int32_t seconds = 60;       // wall-clock (and CPU) limit of one import
  int32_t memory_mib = 2048;  // address-space limit of the import process
};

enum class ImportResult { Done, Missing, Refused, Crashed, TimedOut, NoImporter, Unwritten };

struct ModelData;
// The model of a file in our format: from the cache, else imported (and cached). Any result but
// Done leaves `out` empty.
[[nodiscard]] ImportResult import_model(std::string_view path, const ModelImport& import, ModelData& out);
// Frames, meshes and animation sets of a model in our format; textures are looked up beside
// `path`, then as named.
void model_to_frames(const ModelData& m, std::string_view path, XModel& out, TextureCache& textures);

// Loads a model (with its textures from beside it) into a new frame tree. A file that is missing
// or that the import process refuses, crashes or hangs on falls back to default_path (a failed
// import also prints one line naming the file on stderr); false when that fails too.
bool read_x(std::string_view path, XModel& out, TextureCache& textures,
            std::string_view default_path = "xvisuals/default_.x", const ModelImport& import = {});

}  // namespace korva::render
