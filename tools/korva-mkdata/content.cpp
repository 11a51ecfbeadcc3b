// What an editing installation holds: its folders and every generated file, grouped the way
// korva-mkdata reports its progress.
#include <cmath>
#include <numbers>

#include "bytes.h"
#include "core/fixed_string.h"

namespace korva::mkdata {
namespace {

// ---- element records --------------------------------------------------------------------------

// The fields of a new project's camera record (fields 1..40); other elements start from it.
std::vector<std::string> default_record() {
  return {"Camera", "./cameras/default_.03d", "./sounds/null_.wav", "-", "0", "0", "0", "0", "0", "0",
          "0.000", "0", "0.000", "0", "0", "0", "0.000", "0.000", "0.000", "0", "0", "0", "0.000",
          "0.000", "0.000", "0", "0", "0", "0", "0", "1", "0", "1", "0", "1/1/2/1020", "0",
          "160/120/479/359/0/20&40/7", "0/1", "4096/2/50/0", "14815378"};
}

std::string join_record(const std::vector<std::string>& fields) {
  std::string s;
  for (size_t i = 0; i < fields.size(); ++i) s += (i ? "|" : "") + fields[i];
  return s;
}

struct Placement {
  const char* x = "0";
  const char* y = "0";
  const char* z = "0";
  const char* pitch = "0.000";  // rotation about x, degrees
  const char* yaw = "0";        // rotation about y, degrees
};

// An element placed in the scene: its asset (field 2), type (field 36), placement and screen
// field 37, no brain parameters; the rest as a new project's camera has it.
std::string placed_record(const char* name, const char* asset, const char* type, const Placement& at,
                          const char* screen = "0/0/639/479/0x0") {
  std::vector<std::string> f = default_record();
  f[0] = name;
  f[1] = asset;
  f[4] = at.x;
  f[5] = at.y;
  f[6] = at.z;
  f[10] = at.pitch;
  f[11] = at.yaw;
  f[34] = "0";
  f[35] = type;
  f[36] = screen;
  f[39] = "0";
  return join_record(f);
}

// The record with the sound file (field 3) and the sound parameters (field 39:
// rate/minimum distance/unused/mode, bit 0 one-shot/volume in decibels).
std::string with_sound(std::string record, const char* wav, const char* parameters) {
  std::vector<std::string> f = fields_split(record, '|');
  f[2] = wav;
  f[38] = parameters;
  return join_record(f);
}

std::string visual_record(const char* name, const char* visual, const Placement& at) {
  return placed_record(name, visual, "11", at);  // VISUAL-type element
}

// A camera whose viewport (field 37) is the whole 640 x 480 screen unless said otherwise.
std::string camera_record(const char* name, const Placement& at, const char* viewport = "0/0/639/479/0/20&40/7") {
  return placed_record(name, "./cameras/default_.03d", "0", at, viewport);
}

// A LIGHT-type element; field 37 holds "type/colour/attenuation" (see docs/file-formats.md).
std::string light_record(const char* name, const Placement& at, const char* light) {
  return placed_record(name, "./visuals/light_.l3d", "10", at, light);
}

// A SPRITE (type 5) or COUNTER (type 8) element: its fields are plain screen units.
std::string screen_record(const char* name, const char* image, const char* type, const char* x,
                          const char* y, const char* screen) {
  std::vector<std::string> f = default_record();
  f[0] = name;
  f[1] = image;
  f[4] = x;
  f[5] = y;
  f[6] = "0";
  f[10] = "0";
  f[12] = "0";
  f[34] = "0";
  f[35] = type;
  f[36] = screen;
  f[39] = "0";
  return join_record(f);
}

// ---- brains ------------------------------------------------------------------------------------

const char* const kBrainNull = "; An empty brain: the element does nothing by itself.\n";

const char* const kBrainDefault =
    "; A new brain: describe here what the element does.\n"
    "; The first comment lines are the brain's description; each line below runs once per frame.\n"
    "\n"
    "; velocity_update(element)\n";

const char* const kBrainSpin =
    "; Spins the element about its vertical axis.\n"
    "userspi speed=30\n"
    "; Turns per minute.\n"
    "\n"
    "spin_y_set(element, speed)\n"
    "spin_update(element)\n";

const char* const kBrainSlide =
    "; Slides the element to and fro along the x axis.\n"
    "usermet range=2\n"
    "; How far it goes to each side of x = 0, in metres.\n"
    "uservel pace=2\n"
    "; Its speed in metres per second.\n"
    "\n"
    "if velocity_x(element) = 0\n"
    "velocity_x_set(element, pace)\n"
    "endif\n"
    "if position_x(element) > range\n"
    "velocity_x_set(element, -pace)\n"
    "endif\n"
    "if position_x(element) < -range\n"
    "velocity_x_set(element, pace)\n"
    "endif\n"
    "velocity_update(element)\n";

const char* const kBrainArrows =
    "; Moves the element with the arrow keys: left and right along x, up and down along z.\n"
    "uservel pace=2\n"
    "; Its speed in metres per second.\n"
    "\n"
    "velocity_x_set(element, 0)\n"
    "velocity_z_set(element, 0)\n"
    "if keyboard(\"LEFT\") = -1\n"
    "velocity_x_set(element, -pace)\n"
    "endif\n"
    "if keyboard(\"RIGHT\") = -1\n"
    "velocity_x_set(element, pace)\n"
    "endif\n"
    "if keyboard(\"UP\") = -1\n"
    "velocity_z_set(element, pace)\n"
    "endif\n"
    "if keyboard(\"DOWN\") = -1\n"
    "velocity_z_set(element, -pace)\n"
    "endif\n"
    "velocity_update(element)\n";

const char* const kBrainBounce =
    "; Falls under gravity and bounces on the ground plane (y = 0).\n"
    "\n"
    "gravity(element, 0, -5000, 0)\n"
    "velocity_update(element)\n"
    "if position_y(element) < 0\n"
    "rebound_y(element)\n"
    "endif\n";

const char* const kBrainTimeout =
    "; Ends the run after a number of frames.\n"
    "userint frames=300\n"
    "; Frames before the run ends (30 frames are one second).\n"
    "\n"
    "if timer(element) > frames\n"
    "exit(-2)\n"
    "endif\n";

const char* const kBrainSky =
    "; Shows the project's 3D background picture behind the scene.\n"
    "background3d_set(1)\n";

// The demo's brains carry their values inline: the project stores no parameters for them.
const char* const kDemoCamera =
    "; Demo camera: watches the scene under the sky, prints a caption and ends the run after\n"
    "; eight seconds.\n"
    "background3d_set(1)\n"
    "color_set(255, 255, 255)\n"
    "print(\"Korva demo\", 24, 420, 0)\n"
    "if timer(element) > 240\n"
    "exit(-2)\n"
    "endif\n";

const char* const kDemoScore =
    "; Demo counter: shows the frames run so far.\n"
    "score_add(element, 1)\n";

const char* const kDemoSpark =
    "; Demo sprite: drifts across the screen and bounces off its edges.\n"
    "if velocity_x(element) = 0\n"
    "velocity_x_set(element, 4)\n"
    "velocity_y_set(element, 3)\n"
    "endif\n"
    "if position_x(element) > 600\n"
    "velocity_x_set(element, -4)\n"
    "endif\n"
    "if position_x(element) < 8\n"
    "velocity_x_set(element, 4)\n"
    "endif\n"
    "if position_y(element) > 440\n"
    "velocity_y_set(element, -3)\n"
    "endif\n"
    "if position_y(element) < 8\n"
    "velocity_y_set(element, 3)\n"
    "endif\n"
    "velocity_update(element)\n";

const char* const kDemoSpin =
    "; Spins the cube half a turn per second.\n"
    "spin_y_set(element, 30rm)\n"
    "spin_update(element)\n";

const char* const kVideoCamera =
    "; Video example: plays the sample video in the middle of the screen once as the run starts\n"
    "; (any key skips it), then watches the spinning cube and ends after four seconds.\n"
    "var shown=0\n"
    "background3d_set(1)\n"
    "if shown=0\n"
    "shown=1\n"
    "play_set(160, 120, 320, 240, 1)\n"
    "play(\"./images/sample_.avi\")\n"
    "endif\n"
    "if timer(element) > 120\n"
    "exit(-2)\n"
    "endif\n";

const char* const kDemoCube =
    "; Demo cube: spins half a turn per second and is solid to the ball.\n"
    "collisions_on(element)\n"
    "spin_y_set(element, 30rm)\n"
    "spin_update(element)\n";

// The ball bounces off the cube by mirroring its velocity along the line of centres: the
// cube is given the ball's velocity reversed, `rebound` exchanges the two along that line,
// and the cube is stopped again. Only a ball moving towards the cube bounces, so it cannot
// stick inside it.
const char* const kDemoBall =
    "; Demo ball: rolls between four walls and bounces off the cube (the element before it),\n"
    "; with a blip at every bounce.\n"
    "var cube\n"
    "var dx\n"
    "var dz\n"
    "var towards\n"
    "var along\n"
    "cube = element - 1024\n"
    "collisions_on(element)\n"
    "if velocity_x(element) = 0\n"
    "velocity_x_set(element, 2ms)\n"
    "velocity_z_set(element, 1.3ms)\n"
    "endif\n"
    "if collision(element, 1)\n"
    "dx = position_x(cube) - position_x(element)\n"
    "dx = dx / 512\n"
    "dz = position_z(cube) - position_z(element)\n"
    "dz = dz / 512\n"
    "towards = velocity_x(element) * dx\n"
    "along = velocity_z(element) * dz\n"
    "towards = towards + along\n"
    "if towards > 0\n"
    "dx = velocity_x(element)\n"
    "dz = velocity_z(element)\n"
    "velocity_x_set(cube, 0 - dx)\n"
    "velocity_z_set(cube, 0 - dz)\n"
    "rebound(element, cube)\n"
    "play_sound(element)\n"
    "velocity_x_set(cube, 0)\n"
    "velocity_z_set(cube, 0)\n"
    "endif\n"
    "endif\n"
    "if position_x(element) > 3.6mt\n"
    "if velocity_x(element) > 0\n"
    "rebound_x(element)\n"
    "play_sound(element)\n"
    "endif\n"
    "endif\n"
    "if position_x(element) < -0.2mt\n"
    "if velocity_x(element) < 0\n"
    "rebound_x(element)\n"
    "play_sound(element)\n"
    "endif\n"
    "endif\n"
    "if position_z(element) > 2.6mt\n"
    "if velocity_z(element) > 0\n"
    "rebound_z(element)\n"
    "play_sound(element)\n"
    "endif\n"
    "endif\n"
    "if position_z(element) < -1.2mt\n"
    "if velocity_z(element) < 0\n"
    "rebound_z(element)\n"
    "play_sound(element)\n"
    "endif\n"
    "endif\n"
    "velocity_update(element)\n";

const char* const kDemoRover =
    "; Demo rover: drives to and fro over the hills, standing on their ground map.\n"
    "ground_set(element - 1024)\n"
    "if velocity_x(element) = 0\n"
    "velocity_x_set(element, -1ms)\n"
    "endif\n"
    "if position_x(element) > -1.6mt\n"
    "velocity_x_set(element, -1ms)\n"
    "endif\n"
    "if position_x(element) < -4.6mt\n"
    "velocity_x_set(element, 1ms)\n"
    "endif\n"
    "velocity_update(element)\n"
    "over_ground(element, 0.12mt)\n";

std::string lines_crlf(std::string_view text) {
  std::string s;
  for (char ch : text) {
    if (ch == '\n') s += '\r';
    s += ch;
  }
  return s;
}

// ---- own formats -------------------------------------------------------------------------------

Bytes camera_file() { return to_bytes(crlf({"; Korva camera", "fov=320"})); }

Bytes background_file() { return to_bytes(crlf({"; Korva background", "color=" + std::to_string(cube(0, 1, 2))})); }

Bytes shape_file(const Mesh& mesh) {
  std::vector<std::string> lines = {"; Korva 3D shape", "vertices=" + std::to_string(mesh.vertices.size())};
  auto num = [](float v) { return std::to_string(std::lround(v * 1000)); };
  for (const auto& v : mesh.vertices) lines.push_back(num(v.x) + "|" + num(v.y) + "|" + num(v.z));
  lines.push_back("faces=" + std::to_string(mesh.faces.size()));
  for (const auto& f : mesh.faces) {
    lines.push_back(std::to_string(f[0]) + "|" + std::to_string(f[1]) + "|" + std::to_string(f[2]));
  }
  return to_bytes(crlf(lines));
}

// One part line of a visual: visual number 1, texture, model, texture mode, plain colour.
std::string visual_part(const char* image, const char* model, int32_t textured, int32_t r, int32_t g, int32_t b) {
  return "1|" + std::string(image) + "|" + model + "|" + std::to_string(textured) +
         "|3|0|0|0|0|0|0|25000|0|0|0|0|0|0|0|0|0|0|0|0|" + std::to_string(r) + "|" + std::to_string(g) + "|" +
         std::to_string(b) + "|0|1|" + model + "|0";
}

// A recorded track: six minutes of nothing would be useless, so the default is one slow lap
// of a circle of 3 m radius (record 0 absolute, the others frame-to-frame changes).
Bytes track_file() {
  Bytes b;
  constexpr int32_t frames = 180;
  int32_t px = 0, pz = 0, pr = 0;
  for (int32_t i = 0; i <= frames; ++i) {
    const double a = 2 * std::numbers::pi * i / frames;
    const auto x = static_cast<int32_t>(std::lround(3 * 512000 * std::sin(a)));
    const auto z = static_cast<int32_t>(std::lround(3 * 512000 * (1 - std::cos(a))));
    const auto ry = static_cast<int32_t>(std::lround(184320.0 * i / frames));
    if (i == 0) {
      for (int32_t v : {x, 0, z, 0, ry, 0}) put_i32(b, v);
    } else {
      for (int32_t v : {x - px, 0, z - pz, 0, ry - pr, 0}) put_i32(b, v);
    }
    px = x;
    pz = z;
    pr = ry;
  }
  return b;
}

// A flat ground map at height 0, 200 m across: two triangles, listed in every cell.
Bytes ground_map_file() {
  constexpr int32_t extent = 200000;  // thousandths
  constexpr int32_t h = extent / 2;
  const int32_t triangles[2][9] = {{-h, 0, -h, h, 0, -h, h, 0, h}, {-h, 0, -h, h, 0, h, -h, 0, h}};
  Bytes b;
  put_text(b, "d3m.");
  put_u32(b, 64);            // triangle block (as an address; only the difference counts)
  put_u32(b, 64 + 2 * 36);   // cell table
  put_i32(b, extent);
  put_u32(b, 0);             // stamp: made by hand, from no model
  b.resize(64, 0);
  for (const auto& t : triangles) {
    for (int32_t v : t) put_i32(b, v);
  }
  const uint32_t list = 2 * 36 + 65536;  // the one cell list, right after the cell table
  for (int32_t i = 0; i < 128 * 128; ++i) put_u32(b, list);
  put_u32(b, 2);
  put_u32(b, 0);
  put_u32(b, 36);
  return b;
}

// ---- pictures ----------------------------------------------------------------------------------

void text8(Image8& image, Typeface& face, std::string_view text, int32_t x, int32_t y, uint8_t ink) {
  face.draw(text, x, y, [&](int32_t px, int32_t py, int32_t v) {
    if (v >= 110) image.plot(px, py, ink);
  });
}

Bytes error_image() {
  // Unmistakably a missing texture: red and white stripes under a dark cross.
  Image8 img(64, 64);
  for (int32_t y = 0; y < 64; ++y) {
    for (int32_t x = 0; x < 64; ++x) img.at(x, y) = ((x + y) / 8) % 2 ? cube(6, 0, 0) : 255;
  }
  for (int32_t i = 4; i < 60; ++i) {
    for (int32_t d = -2; d <= 2; ++d) {
      img.plot(i + d, i, cube(1, 0, 0));
      img.plot(63 - i + d, i, cube(1, 0, 0));
    }
  }
  return pcx_encode(img, gui_palette());
}

Bytes mini_map_image() {
  // The virtual editor's map: a dark plan with a metre grid and the axes through the middle.
  Image8 img(160, 80, cube(0, 0, 1));
  for (int32_t y = 0; y < 80; ++y) {
    for (int32_t x = 0; x < 160; ++x) {
      if (x % 10 == 0 || y % 10 == 0) img.at(x, y) = cube(1, 1, 2);
    }
  }
  img.fill(0, 40, 159, 40, cube(2, 3, 5));
  img.fill(80, 0, 80, 79, cube(2, 3, 5));
  return pcx_encode(img, gui_palette());
}

Bytes sprite_image() {
  // A shaded ball on the transparent index 0.
  Image8 img(32, 32, 0);
  for (int32_t y = 0; y < 32; ++y) {
    for (int32_t x = 0; x < 32; ++x) {
      const double dx = x - 15.5, dy = y - 15.5;
      if (dx * dx + dy * dy > 15.0 * 15.0) continue;
      const double light = std::clamp(1.0 - std::hypot(dx + 5, dy + 5) / 26.0, 0.0, 1.0);
      img.at(x, y) = light > 0.75 ? cube(5, 5, 5) : light > 0.5 ? cube(2, 3, 5) : light > 0.25 ? cube(0, 2, 4) : cube(0, 1, 3);
    }
  }
  return pcx_encode(img, gui_palette());
}

// Further aspects of the default sprite ("default_.002" ...): the ball's highlight turns round
// it, so that the default sprite is an animation.
Bytes sprite_aspect_image(int32_t n) {
  const double turn = (n - 1) * 3.14159265358979 / 2.0;
  const double hx = -5.0 * std::cos(turn) + 5.0 * std::sin(turn);
  const double hy = -5.0 * std::sin(turn) - 5.0 * std::cos(turn);
  Image8 img(32, 32, 0);
  for (int32_t y = 0; y < 32; ++y) {
    for (int32_t x = 0; x < 32; ++x) {
      const double dx = x - 15.5, dy = y - 15.5;
      if (dx * dx + dy * dy > 15.0 * 15.0) continue;
      const double light = std::clamp(1.0 - std::hypot(dx - hx, dy - hy) / 26.0, 0.0, 1.0);
      img.at(x, y) = light > 0.75 ? cube(5, 5, 5) : light > 0.5 ? cube(2, 3, 5) : light > 0.25 ? cube(0, 2, 4) : cube(0, 1, 3);
    }
  }
  return pcx_encode(img, gui_palette());
}

Bytes counter_image(Typeface& bold) {
  // Thirteen glyphs of equal size: 0..9, plus, minus, decimal point.
  constexpr int32_t w = 14, h = 20;
  Image8 img(13 * w, h, 0);
  bold.set_pixel_size(18);
  const char* glyphs = "0123456789+-.";
  for (int32_t i = 0; i < 13; ++i) {
    const std::string_view g(glyphs + i, 1);
    const int32_t x = i * w + (w - bold.text_width(g)) / 2;
    text8(img, bold, g, x, 16, 255);
  }
  return pcx_encode(img, gui_palette());
}

Bytes frame_image() {
  // A full-screen backdrop with its own palette: a dusk gradient.
  Palette p{};
  for (int32_t i = 0; i < 256; ++i) {
    const double t = i / 255.0;
    p[i] = {static_cast<uint8_t>(20 + 60 * t), static_cast<uint8_t>(30 + 70 * t), static_cast<uint8_t>(70 + 110 * t)};
  }
  Image8 img(640, 480);
  for (int32_t y = 0; y < 480; ++y) {
    for (int32_t x = 0; x < 640; ++x) img.at(x, y) = static_cast<uint8_t>(255 - y * 255 / 479);
  }
  return pcx_encode(img, p);
}

Bytes ground_colour_image() {
  // Ground colours for the default ground map: a plain field with a road across it.
  Image8 img(128, 128, cube(1, 2, 1));
  img.fill(56, 0, 71, 127, cube(2, 2, 2));
  return pcx_encode(img, gui_palette());
}

Bytes jeep_image(int32_t n) {
  // Six small side views of a jeep in different colours, for the editors' pictures.
  static const uint8_t body[6] = {cube(0, 2, 4), cube(5, 1, 1), cube(1, 3, 1), cube(5, 4, 0), cube(2, 2, 2), cube(4, 1, 4)};
  Image8 img(64, 40, 0);
  const uint8_t c = body[(n - 1) % 6];
  img.fill(6, 14, 58, 27, c);    // body
  img.fill(20, 5, 44, 14, c);    // cabin
  img.fill(24, 8, 40, 13, cube(3, 4, 5));  // window
  for (int32_t cx : {17, 47}) {
    for (int32_t y = 22; y < 38; ++y) {
      for (int32_t x = cx - 8; x <= cx + 8; ++x) {
        const int32_t d = (x - cx) * (x - cx) + (y - 30) * (y - 30);
        if (d <= 49) img.at(x, y) = d <= 9 ? cube(4, 4, 4) : cube(0, 0, 0);
      }
    }
  }
  return pcx_encode(img, gui_palette());
}

// ---- groups ------------------------------------------------------------------------------------

FileEntry file(std::string path, Bytes data) { return {std::move(path), std::move(data)}; }
FileEntry text_file(std::string path, std::string_view text) { return {std::move(path), to_bytes(lines_crlf(text))}; }

}  // namespace

std::vector<std::string> installation_folders() {
  return {"3dshapes", "bckgrnds", "brains", "sprites", "3dsfiles", "elements", "elements/myele", "frames",
          "images", "projects", "projects/myprj", "projects/demo", "projects/kinds", "projects/race", "projects/video", "projects/levels", "projects/shadows", "visuals", "sounds", "counters", "grndmaps",
          "tracks", "cameras", "xvisuals", "temp", "data", "multilev", "korvaexe"};
}

// The two-level example game. Level 1 counts up to a score, hands it to level 2 in global
// variable 0 and ends with exit code 2 (play level 2). Level 2 shows the score, saves the game
// (global 1 = 777) at its fifth frame, spoils global 1 and resumes the saved game at its
// eighth; the resumed game (its frame counter starts at 10000) finds global 1 back, notes the
// resume in global 2, writes globals 0..2 to "levels.txt" and ends to the end screen (or with
// the first start parameter, when the player was given one: "/-3" skips the end screen).
const char* const kLevelOne =
    "; Level 1: a score for level 2, handed over in global variable 0.\n"
    "var n\n"
    "n = n + 1\n"
    "credits_set(element#1, n * 41)\n"
    "if n = 30\n"
    "global_set(0, n * 41)\n"
    "exit(2)\n"
    "endif\n";
const char* const kLevelTwo =
    "; Level 2: the score of level 1, a saved game and its resume.\n"
    "var n\n"
    "var fresh\n"
    "n = n + 1\n"
    "credits_set(element#1, global(0))\n"
    "fresh = every_tics(1, 9000)\n"
    "if fresh <> 0 and n = 5\n"
    "global_set(1, 777)\n"
    "save()\n"
    "endif\n"
    "if fresh <> 0 and n = 8\n"
    "global_set(1, 0)\n"
    "resume()\n"
    "endif\n"
    "if fresh = 0 and n = 20\n"
    "global_set(2, 1)\n"
    "globals_save(\"./levels.txt\", 0, 2)\n"
    "exit(-2)\n"
    "if par_count() > 0\n"
    "exit(par_get(0))\n"
    "endif\n"
    "endif\n";

FileGroup levels_game_files(const Bytes& col) {
  const std::vector<DemoElement> one = {
      {camera_record("Camera", {"0", "2.5", "-7", "12.000", "0"}), kLevelOne},
      {screen_record("Score", "./counters/default_.pcx", "8", "0", "0", "24/16/1000/0/0x0"), kBrainNull},
      {visual_record("Floor", "./visuals/floor_.v3d", {}), kBrainNull},
      {visual_record("Ball", "./visuals/ball_.v3d", {"0", "0.45", "-0.5"}), kBrainSpin},
      {light_record("Sun", {"0", "0", "0", "50.000", "30.000"}, "3/16777215/1023"), kBrainNull},
      {light_record("Sky light", {}, "0/4210752/1023"), kBrainNull},
  };
  const std::vector<DemoElement> two = {
      {camera_record("Camera", {"0", "1.8", "-5.5", "8.000", "0"}), kLevelTwo},
      {screen_record("Score", "./counters/default_.pcx", "8", "0", "0", "24/16/1000/0/0x0"), kBrainNull},
      {visual_record("Floor", "./visuals/floor_.v3d", {}), kBrainNull},
      {placed_record("Shape", "./3dshapes/default_.a3d", "1", {"-1.6", "0.8", "0"}), kBrainSpin},
      {visual_record("Cube", "./visuals/default_.v3d", {"1.2", "0.8", "0"}), kBrainSpin},
      {visual_record("Model", "./xvisuals/default_.x", {"2.6", "0.5", "1"}), kBrainSpin},
      {placed_record("Flat", "./images/jeep001_.pcx", "2", {"0", "1.6", "1"}), kBrainNull},
      {screen_record("Spark", "./sprites/default_.pcx", "5", "540", "396", "0/0/639/479/0x0"), kBrainNull},
      {light_record("Sun", {"0", "0", "0", "50.000", "30.000"}, "3/16777215/1023"), kBrainNull},
      {light_record("Sky light", {}, "0/4210752/1023"), kBrainNull},
  };
  // The builder's level list: the two levels switched on, the other 498 rows fresh ones.
  std::string list = "./images/wait_.bmp|./images/anykey_.bmp|./projects/levels/level1.prj|1|0\r\n"
                     "./images/wait_.bmp|./images/anykey_.bmp|./projects/levels/level2.prj|1|0\r\n";
  for (int32_t row = 2; row < 500; ++row) list += "./images/wait_.bmp|./images/anykey_.bmp|./projects/myprj/default_.prj|0\r\n";
  return {"two-level game",
          {file("projects/levels/level1.prj", project_encode("Level 1 of the example game: a score for level 2", one, "./bckgrnds/bkgr000_.bmp|1|")),
           file("projects/levels/level1.col", col),
           file("projects/levels/level2.prj", project_encode("Level 2 of the example game: the score, a save and a resume", two, "./bckgrnds/bkgr000_.bmp|1|")),
           file("projects/levels/level2.col", col),
           file("multilev/levels.mlv", to_bytes(list)),
           file("data/multilev.ini", to_bytes(list))}};
}

std::vector<FileGroup> installation_files(const std::string& font_path, std::string& error) {
  Typeface face, bold;
  const std::string regular_path = font_path.empty() ? find_font_file(false) : font_path;
  const std::string bold_path = font_path.empty() ? find_font_file(true) : font_path;
  if (regular_path.empty() || !face.open(regular_path)) {
    error = "no usable font (install fonts-dejavu-core or fonts-liberation, or give --font FILE)";
    return {};
  }
  if (bold_path.empty() || !bold.open(bold_path)) bold.open(regular_path);

  std::vector<FileGroup> groups;
  groups.push_back({"math tables",
                    {file("data/sinus.bin", make_sinus()), file("data/sinusbig.bin", make_sinusbig()),
                     file("data/atan.bin", make_atan()), file("data/random.bin", make_random())}});

  bold.set_pixel_size(14);
  groups.push_back({"panel skins",
                    {file("data/panels.pcx", pcx_encode(make_skin(SkinVariant::Editor, &bold), gui_palette())),
                     file("data/panels2.pcx", pcx_encode(make_skin(SkinVariant::Player, &bold), gui_palette()))}});

  FileGroup fonts{"fonts", {}};
  face.set_pixel_size(13);
  fonts.files.push_back(file("data/font.fnt", make_fnt(face)));
  face.set_pixel_size(11);
  fonts.files.push_back(file("data/font8.fnt", make_fnt(face)));
  if (Bytes editor = make_editor_fnt(); !editor.empty()) fonts.files.push_back(file("data/editor.fnt", std::move(editor)));
  groups.push_back(std::move(fonts));

  FileGroup images{"images", {}};
  images.files.push_back(file("images/wait_.bmp", bmp_encode(make_screen("Loading", "Please wait...", &face, false))));
  images.files.push_back(file("images/anykey_.bmp", bmp_encode(make_screen("Ready", "Press any key to start", &face, false))));
  images.files.push_back(file("images/black_.bmp", bmp_encode(ImageRgb(640, 480))));
  images.files.push_back(file("data/resume_.bmp", bmp_encode(make_screen("Resuming", "Loading your saved game...", &face, false))));
  images.files.push_back(file("data/end_.bmp", bmp_encode(make_screen("Thanks for playing", "Press any key", &face, true))));
  images.files.push_back(file("bckgrnds/bkgr000_.bmp", bmp_encode(make_sky())));
  images.files.push_back(file("images/default_.bmp", bmp_encode(make_texture())));
  images.files.push_back(file("xvisuals/default_.bmp", bmp_encode(make_texture())));
  images.files.push_back(file("data/error.pcx", error_image()));
  images.files.push_back(file("data/mini02.pcx", mini_map_image()));
  images.files.push_back(file("sprites/default_.pcx", sprite_image()));
  for (int32_t n = 2; n <= 4; ++n) images.files.push_back(file("sprites/default_.00" + std::to_string(n), sprite_aspect_image(n)));
  images.files.push_back(file("frames/default_.pcx", frame_image()));
  images.files.push_back(file("counters/default_.pcx", counter_image(bold)));
  images.files.push_back(file("grndmaps/default_.pcx", ground_colour_image()));
  for (int32_t n = 1; n <= 6; ++n) images.files.push_back(file("images/jeep00" + std::to_string(n) + "_.pcx", jeep_image(n)));
  groups.push_back(std::move(images));
  // The sample video, and an example whose camera plays it as the run starts.
  const std::vector<DemoElement> video_example = {
      {camera_record("Camera", {"0", "1.8", "-5.5", "8.000", "0"}), kVideoCamera},
      {light_record("Sun", {"0", "0", "0", "50.000", "30.000"}, "3/16777215/1023"), kBrainNull},
      {light_record("Sky light", {}, "0/4210752/1023"), kBrainNull},
      {visual_record("Cube", "./visuals/default_.v3d", {"0", "0.8", "0"}), kDemoSpin},
  };
  groups.push_back({"videos",
                    {file("images/sample_.avi", make_sample_video()),
                     file("projects/video/video.prj", project_encode("Korva video example: the sample video, then a spinning cube", video_example, "./bckgrnds/bkgr000_.bmp|1|")),
                     file("projects/video/video.col", companion_encode(30, 100))}});

  groups.push_back({"sounds",
                    {file("sounds/null_.wav", wav_encode(make_sound(SoundKind::Silence))),
                     file("sounds/default_.wav", wav_encode(make_sound(SoundKind::Beep))),
                     file("sounds/click_.wav", wav_encode(make_sound(SoundKind::Click))),
                     file("sounds/blip_.wav", wav_encode(make_sound(SoundKind::Blip))),
                     file("sounds/explode_.wav", wav_encode(make_sound(SoundKind::Explosion))),
                     file("sounds/engine_.wav", wav_encode(make_sound(SoundKind::Engine))),
                     file("sounds/pickup_.wav", wav_encode(make_sound(SoundKind::Pickup)))}});

  FileGroup models{"models", {}};
  for (int32_t n = 0; n <= 4; ++n) {
    for (char half : {'a', 'b'}) {
      models.files.push_back(file("data/hood" + std::to_string(n) + half + ".x", x_encode(make_hood(n, half), "")));
    }
  }
  models.files.push_back(file("data/bndbox.x", x_encode(make_box(1, 1, 1), "")));
  models.files.push_back(file("data/radius.x", x_encode(make_sphere(1, 8, 16, false), "")));
  models.files.push_back(file("data/cross.x", x_encode(make_cross(1, 0.02f), "")));
  const Mesh cube_mesh = make_box(0.5f, 0.5f, 0.5f);
  models.files.push_back(file("3dsfiles/default_.3ds", tds_encode(cube_mesh, "cube")));
  models.files.push_back(file("visuals/default_.3ds", tds_encode(cube_mesh, "cube")));
  models.files.push_back(file("3dsfiles/ball_.3ds", tds_encode(make_sphere(0.4f, 10, 20, false), "ball")));
  models.files.push_back(file("3dsfiles/floor_.3ds", tds_encode(make_box(25, 0.05f, 25), "floor")));
  models.files.push_back(file("xvisuals/default_.x", x_encode(cube_mesh, "default_.bmp")));
  groups.push_back(std::move(models));

  groups.push_back({"default files",
                    {file("cameras/default_.03d", camera_file()),
                     file("bckgrnds/default_.g3d", background_file()),
                     file("3dshapes/default_.a3d", shape_file(cube_mesh)),
                     file("visuals/default_.v3d",
                          to_bytes(crlf({visual_part("./images/default_.bmp", "./visuals/default_.3ds", 1, 255, 255, 255)}))),
                     file("tracks/default_.i3d", track_file()),
                     text_file("visuals/light_.l3d", "; A light: its type, colour and attenuation are field 37 of the element.\n"),
                     file("grndmaps/default_.m3d", ground_map_file()),
                     text_file("brains/null_.brn", kBrainNull),
                     text_file("brains/default_.brn", kBrainDefault),
                     file("elements/myele/default_.ele",
                          project_encode("A spinning cube", {{visual_record("Cube", "./visuals/default_.v3d", {}), kBrainSpin}}, ""))}});

  // The current project of a fresh installation and the builder's first level: a new project
  // as the editor starts one (the default camera alone).
  const std::vector<DemoElement> fresh = {{join_record(default_record()), ""}};
  const Bytes fresh_project = project_encode("New project", fresh, "./bckgrnds/bkgr000_.bmp|1|");
  groups.push_back({"new project",
                    {file("projects/myprj/default.prj", fresh_project), file("projects/myprj/default.col", companion_encode(30, 100)),
                     file("projects/myprj/default_.prj", fresh_project), file("projects/myprj/default_.col", companion_encode(30, 100))}});

  groups.push_back({"example brains",
                    {text_file("brains/spin_.brn", kBrainSpin), text_file("brains/slide_.brn", kBrainSlide),
                     text_file("brains/bounce_.brn", kBrainBounce), text_file("brains/timeout_.brn", kBrainTimeout),
                     text_file("brains/arrows_.brn", kBrainArrows), text_file("brains/sky_.brn", kBrainSky)}});

  // The ball (3) and the cube (2) collide with code 1; the rover (10) stands on the ground map
  // of the BOUNDARY element (9) made from the hills the visual (8) shows.
  const std::vector<DemoElement> demo = {
      {camera_record("Camera", {"0", "2.5", "-7", "12.000", "0"}), kDemoCamera},
      {visual_record("Floor", "./visuals/floor_.v3d", {}), kBrainNull},
      // The cube hums where it stands; the ball blips when it bounces.
      {with_sound(visual_record("Cube", "./visuals/default_.v3d", {"1.6", "0.5", "1.0"}), "./sounds/engine_.wav",
                  "4096/3/50/0/-6"),
       kDemoCube},
      {with_sound(visual_record("Ball", "./visuals/ball_.v3d", {"0", "0.45", "-0.5"}), "./sounds/blip_.wav",
                  "4096/2/50/1"),
       kDemoBall},
      {light_record("Sun", {"0", "0", "0", "50.000", "30.000"}, "3/16777215/1023"), kBrainNull},
      {light_record("Sky light", {}, "0/4210752/1023"), kBrainNull},
      {screen_record("Spark", "./sprites/default_.pcx", "5", "300", "100", "0/0/639/479/0x0"), kDemoSpark},
      {screen_record("Score", "./counters/default_.pcx", "8", "0", "0", "24/16/1000/0/0x0"), kDemoScore},
      {visual_record("Hills", "./visuals/hills_.v3d", {}), kBrainNull},
      {placed_record("Hills ground", "./grndmaps/hills_.3ds", "12", {}), kBrainNull},
      {visual_record("Rover", "./visuals/rover_.v3d", {"-1.8", "0.3", "1.7"}), kDemoRover},
  };
  // One element of every kind that can be seen, in a camera viewport smaller than the screen,
  // so that the FRAME picture under the scene shows around it.
  const std::vector<DemoElement> kinds = {
      {camera_record("Camera", {"0", "1.8", "-5.5", "8.000", "0"}, "40/24/599/367/0/20&40/7"), "; The camera shows the sky behind the scene.\nbackground3d_set(1)\n"},
      {light_record("Sun", {"0", "0", "0", "50.000", "30.000"}, "3/16777215/1023"), kBrainNull},
      {light_record("Sky light", {}, "0/4210752/1023"), kBrainNull},
      {visual_record("Floor", "./visuals/floor_.v3d", {}), kBrainNull},
      {placed_record("Shape", "./3dshapes/default_.a3d", "1", {"-2.4", "0.8", "0"}), kDemoSpin},
      {visual_record("Two looks", "./visuals/pair_.v3d", {"-0.8", "0.8", "0"}), kBrainNull},
      {visual_record("Model", "./xvisuals/default_.x", {"0.8", "0.8", "0"}), kDemoSpin},
      {placed_record("Flat", "./images/jeep001_.pcx", "2", {"2.4", "0.9", "0"}), kBrainNull},
      {placed_record("Picture", "./frames/default_.pcx", "6", {}), kBrainNull},
      {placed_record("Band", "./bckgrnds/band_.g3d", "7", {}, "40/384/599/455/0x0"), kBrainNull},
      {screen_record("Spark", "./sprites/default_.pcx", "5", "540", "396", "0/0/639/479/0x0"), kBrainNull},
      {screen_record("Score", "./counters/default_.pcx", "8", "0", "0", "56/36/1000/0/0x0"), kDemoScore},
  };
  const std::string pair_cube = visual_part("./images/default_.bmp", "./visuals/default_.3ds", 0, 240, 160, 40);
  const std::string pair_ball = visual_part("./images/default_.bmp", "./3dsfiles/ball_.3ds", 0, 60, 120, 230);
  groups.push_back({"every kind of element",
                    {file("visuals/pair_.v3d", to_bytes(crlf({pair_cube, "2" + pair_ball.substr(1)}))),
                     file("bckgrnds/band_.g3d", to_bytes(crlf({"; Korva background", "color=" + std::to_string(cube(6, 3, 0))}))),
                     file("projects/kinds/kinds.prj", project_encode("Every kind of element that can be seen", kinds, "./bckgrnds/bkgr000_.bmp|1|")),
                     file("projects/kinds/kinds.col", companion_encode(30, 100))}});

  const Bytes hills = tds_encode(make_hills(-5.0f, 0.6f, 3.8f, 24), "hills");
  Bytes demo_col = companion_encode(30, 100);
  demo_col[2 * 256 + 3] = 1;  // cube and ball collide with code 1
  groups.push_back(race_demo_files());
  groups.push_back(shadow_demo_files());

  groups.push_back(levels_game_files(demo_col));

  groups.push_back({"demo project",
                    {file("visuals/floor_.v3d", to_bytes(crlf({visual_part("./images/default_.bmp", "./3dsfiles/floor_.3ds", 0, 90, 140, 90)}))),
                     file("visuals/ball_.v3d", to_bytes(crlf({visual_part("./images/default_.bmp", "./3dsfiles/ball_.3ds", 0, 230, 120, 40)}))),
                     file("grndmaps/hills_.3ds", hills),
                     file("grndmaps/hills_.m3d", ground_map_of_model(hills)),
                     file("visuals/hills_.v3d", to_bytes(crlf({visual_part("./images/default_.bmp", "./grndmaps/hills_.3ds", 0, 150, 120, 70)}))),
                     file("3dsfiles/rover_.3ds", tds_encode(make_box(0.22f, 0.12f, 0.16f), "rover")),
                     file("visuals/rover_.v3d", to_bytes(crlf({visual_part("./images/default_.bmp", "./3dsfiles/rover_.3ds", 0, 200, 40, 40)}))),
                     file("projects/demo/demo.prj", project_encode("Korva demo: a spinning cube, a bouncing ball, a rover on hills, a sprite and a counter", demo, "./bckgrnds/bkgr000_.bmp|1|")),
                     file("projects/demo/demo.col", demo_col)}});
  return groups;
}

}  // namespace korva::mkdata
