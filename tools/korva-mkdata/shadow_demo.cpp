// The meshes example project: a sheet whose vertices ripple with a running wave, a turning cube
// that casts a volume shadow onto the floor in the sun's light, a ball and an animated .x model
// whose shadows follow them automatically, and a block that turns red while the mouse points at
// it.
#include <string>
#include <vector>

#include "bytes.h"

namespace korva::mkdata {
namespace {

std::string record(const std::vector<std::string>& fields) {
  std::string s;
  for (size_t i = 0; i < fields.size(); ++i) s += (i ? "|" : "") + fields[i];
  return s;
}

// An element record (fields 1..40): name, asset, type, position, pitch and yaw in degrees, and
// screen field 37; the rest as a new project's camera has it.
std::string element(const std::string& name, const std::string& asset, const std::string& type,
                    const std::string& x, const std::string& y, const std::string& z,
                    const std::string& pitch = "0.000", const std::string& yaw = "0",
                    const std::string& screen = "0/0/639/479/0x0") {
  return record({name, asset, "./sounds/null_.wav", "-", x, y, z, "0", "0", "0", pitch, yaw, "0.000", "0", "0", "0",
                 "0.000", "0.000", "0.000", "0", "0", "0", "0.000", "0.000", "0.000", "0", "0", "0", "0", "0", "1",
                 "0", "1", "0", "0", type, screen, "0/1", "4096/2/50/0", "0"});
}

std::string visual(const std::string& model, int32_t r, int32_t g, int32_t b) {
  return "1|./images/default_.bmp|" + model + "|0|3|0|0|0|0|0|0|25000|0|0|0|0|0|0|0|0|0|0|0|0|" + std::to_string(r) +
         "|" + std::to_string(g) + "|" + std::to_string(b) + "|0|1|" + model + "|0\r\n";
}

// A flat square grid of side `size` in the x-z plane, centred on the origin, steps x steps
// quads seen from above: the sheet the ripple brain moves.
Mesh make_sheet(float size, int32_t steps) {
  Mesh m;
  for (int32_t j = 0; j <= steps; ++j)
    for (int32_t k = 0; k <= steps; ++k) {
      const float u = float(k) / float(steps), v = float(j) / float(steps);
      m.vertices.push_back({size * (u - 0.5f), 0.0f, size * (v - 0.5f), u, v});
    }
  const int32_t row = steps + 1;
  for (int32_t j = 0; j < steps; ++j)
    for (int32_t k = 0; k < steps; ++k) {
      const int32_t bl = j * row + k, br = bl + 1, tl = bl + row, tr = tl + 1;
      m.faces.push_back({bl, tl, tr});
      m.faces.push_back({bl, tr, br});
    }
  return m;
}

// A small box in the frame Bob that an animation set lifts 0.6 m and turns a quarter about y
// and back, every 60 time units (two seconds at one unit per rendered frame).
Bytes hover_model() {
  const Bytes box = x_encode(make_box(0.25f, 0.25f, 0.25f), "");
  std::string mesh(box.begin(), box.end());
  mesh = mesh.substr(mesh.find("Mesh "));
  const std::string text =
      "xof 0303txt 0032\r\n\r\nFrame Bob {\r\n" + mesh +
      "}\r\n\r\n"
      "AnimationSet Hover {\r\n"
      " Animation {\r\n"
      "  {Bob}\r\n"
      "  AnimationKey { 2; 3; 0;3;0.0,0.0,0.0;;, 30;3;0.0,0.6,0.0;;, 60;3;0.0,0.0,0.0;;; }\r\n"
      "  AnimationKey { 0; 3; 0;4;1.0,0.0,0.0,0.0;;, 30;4;0.7071068,0.0,0.7071068,0.0;;, "
      "60;4;1.0,0.0,0.0,0.0;;; }\r\n"
      " }\r\n"
      "}\r\n";
  return to_bytes(text);
}

const char* const kHover =
    "; An animated .x model (its animation plays by itself) with an automatic shadow on the\n"
    "; floor (seven elements before it).\n"
    "var made\n"
    "if made = 0\n"
    "made = 1\n"
    "shadow_add(element, element#-7)\n"
    "endif\n";

const char* const kCamera =
    "; Watches the scene under the sky and names what is in it.\n"
    "background3d_set(1)\n"
    "color_set(255, 255, 255)\n"
    "print(\"Meshes and shadows\", 24, 420, 0)\n";

const char* const kRipple =
    "; Ripple: a wave runs across the sheet; every vertex rises and falls with it.\n"
    "var t\n"
    "var n\n"
    "var i\n"
    "var x\n"
    "t = t + 6000\n"
    "n = vertices(element)\n"
    "i = 0\n"
    "wave:\n"
    "if i < n\n"
    "x = vertex_pos(element, i, 0)\n"
    "vertex_pos_set(element, i, x, sin_512(x / 8 + t) * 300, vertex_pos(element, i, 2))\n"
    "i = i + 1\n"
    "goto wave\n"
    "endif\n"
    "normals_optimize(element)\n";

// The floor is four elements before the cube, the sun three.
const char* const kCaster =
    "; Turning cube: its shadow volume in the sun's parallel light clips a dark copy of the floor,\n"
    "; built once and brought up to date every frame as the cube turns.\n"
    "var made\n"
    "if made = 0\n"
    "made = 1\n"
    "v_shadow_volume_reset()\n"
    "v_shadow_volume_add(element, 1, element#-3)\n"
    "v_shadow_create(element#-4)\n"
    "endif\n"
    "spin_y_set(element, 20rm)\n"
    "spin_x_set(element, 7rm)\n"
    "spin_update(element)\n"
    "v_shadow_update(element#-4)\n";

// The ball's shadow light shines along the sun's axis (pitch 50, yaw 70 degrees).
const char* const kBall =
    "; Bouncing ball with an automatic shadow on the floor (five elements before it); every\n"
    "; bounce starts at the same speed, so it keeps its height.\n"
    "var made\n"
    "if made = 0\n"
    "made = 1\n"
    "shadow_orientation_set(-604, -766, 220)\n"
    "shadow_add(element, element#-5)\n"
    "velocity_y_set(element, 0.08ms)\n"
    "endif\n"
    "gravity(element, 0, -4000, 0)\n"
    "velocity_update(element)\n"
    "if position_y(element) < 0.45mt\n"
    "if velocity_y(element) < 0\n"
    "velocity_y_set(element, 60000)\n"
    "endif\n"
    "endif\n";

const char* const kPicker =
    "; Red while the mouse points at it, green otherwise: a material override.\n"
    "if visual_picked(element)\n"
    "material_set(0, 900, 90, 60, 1000)\n"
    "material_set(1, 450, 40, 30, 1000)\n"
    "else\n"
    "material_set(0, 120, 700, 160, 1000)\n"
    "material_set(1, 60, 350, 80, 1000)\n"
    "endif\n"
    "material_apply(element)\n";

}  // namespace

FileGroup shadow_demo_files() {
  const std::vector<DemoElement> all = {
      {element("Camera", "./cameras/default_.03d", "0", "0", "3", "-7", "18.000", "0", "0/0/639/479/0/20&40/7"),
       kCamera},
      {element("Floor", "./visuals/floor_.v3d", "11", "0", "0", "0"), "; The floor the shadows fall on.\n"},
      {element("Sun", "./visuals/light_.l3d", "10", "0", "0", "0", "50.000", "70", "3/16777215/1023"), "; The sun.\n"},
      {element("Sky light", "./visuals/light_.l3d", "10", "0", "0", "0", "0.000", "0", "0/4210752/1023"),
       "; Light from everywhere.\n"},
      {element("Sheet", "./visuals/sheet_.v3d", "11", "-2.6", "0.6", "1.2"), kRipple},
      {element("Cube", "./visuals/default_.v3d", "11", "1.4", "1.5", "0.8"), kCaster},
      {element("Ball", "./visuals/ball_.v3d", "11", "-0.5", "1.2", "-2.4"), kBall},
      {element("Picker", "./visuals/picker_.v3d", "11", "2.6", "0.35", "-2.2"), kPicker},
      {element("Hover", "./xvisuals/hover_.x", "11", "-1.9", "0.5", "-1.2"), kHover},
  };
  return {"meshes and shadows project",
          {{"3dsfiles/sheet_.3ds", tds_encode(make_sheet(3.0f, 16), "sheet")},
           {"xvisuals/hover_.x", hover_model()},
           {"visuals/sheet_.v3d", to_bytes(visual("./3dsfiles/sheet_.3ds", 70, 140, 230))},
           {"3dsfiles/picker_.3ds", tds_encode(make_box(0.3f, 0.3f, 0.3f), "picker")},
           {"visuals/picker_.v3d", to_bytes(visual("./3dsfiles/picker_.3ds", 240, 240, 240))},
           {"projects/shadows/shadows.prj",
            project_encode("Korva meshes: a rippling sheet, volume shadows on the floor and a block that turns red "
                           "under the mouse",
                           all, "./bckgrnds/bkgr000_.bmp|1|")},
           {"projects/shadows/shadows.col", companion_encode(30, 100)}}};
}

}  // namespace korva::mkdata
