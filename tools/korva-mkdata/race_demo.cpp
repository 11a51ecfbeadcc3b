// The race example project: two balls lap an oval course, the red one along a closed spline,
// the blue one replaying a recorded lap; four gates count their laps, and counters show each
// racer's lap and place.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "bytes.h"

namespace korva::mkdata {
namespace {

// The lanes: ellipses x = rx sin a, z = rz cos a round the origin, in scene units.
constexpr double kOuterX = 6.0, kOuterZ = 3.5;  // red, on the spline
constexpr double kInnerX = 5.0, kInnerZ = 2.5;  // blue, on the recorded track
constexpr double kBallHeight = 0.4;
constexpr int32_t kLapFrames = 200;              // the recorded lap
constexpr int32_t kPositionUnits = 512000;       // per scene unit

std::string record(const std::vector<std::string>& fields) {
  std::string s;
  for (size_t i = 0; i < fields.size(); ++i) s += (i ? "|" : "") + fields[i];
  return s;
}

// An element record (fields 1..40): name, asset, type, position, pitch, collision radius and
// screen field 37; the rest as a new project's camera has it.
std::string element(const std::string& name, const std::string& asset, const std::string& type,
                    const std::string& x, const std::string& y, const std::string& z,
                    const std::string& pitch = "0.000", const std::string& radius = "0",
                    const std::string& screen = "0/0/639/479/0x0") {
  return record({name, asset, "./sounds/null_.wav", "-", x, y, z, "0", "0", "0", pitch, "0", "0.000", "0", "0", "0",
                 "0.000", "0.000", "0.000", "0", "0", "0", "0.000", "0.000", "0.000", "0", "0", "0", "0", "0", "1",
                 radius, "1", "0", "0", type, screen, "0/1", "4096/2/50/0", "0"});
}

std::string counter(const std::string& name, int32_t x, int32_t y) {
  return element(name, "./counters/default_.pcx", "8", "0", "0", "0", "0", "0",
                 std::to_string(x) + "/" + std::to_string(y) + "/10/0/0x0");
}

std::string visual(const std::string& model, int32_t r, int32_t g, int32_t b) {
  return "1|./images/default_.bmp|" + model + "|0|3|0|0|0|0|0|0|25000|0|0|0|0|0|0|0|0|0|0|0|0|" + std::to_string(r) +
         "|" + std::to_string(g) + "|" + std::to_string(b) + "|0|1|" + model + "|0\r\n";
}

int32_t units(double v) { return static_cast<int32_t>(std::lround(v * kPositionUnits)); }

// One lap of the inner lane at kLapFrames frames, heading along the lane: record 0 is the
// start, the others frame-to-frame changes, the last one closing the lap so that looping from
// record 1 goes round again without drifting.
Bytes course_track() {
  Bytes b;
  int32_t prev[6] = {};
  for (int32_t i = 0; i <= kLapFrames; ++i) {
    const double a = 2 * std::numbers::pi * (i % kLapFrames) / kLapFrames;
    const int32_t now[6] = {units(kInnerX * std::sin(a)), units(kBallHeight), units(kInnerZ * std::cos(a)), 0,
                            static_cast<int32_t>(std::lround(184320.0 * i / kLapFrames)), 0};
    for (int32_t k = 0; k < 6; ++k) put_i32(b, i == 0 ? now[k] : now[k] - prev[k]);
    std::copy(now, now + 6, prev);
  }
  return b;
}

// A coordinate in scene units with three decimals, as element records hold them.
std::string decimal(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", v);
  return text;
}
// The same as a brain literal in metres (scene units).
std::string metres(double v) { return decimal(v) + "mt"; }

// The red racer's keys: eight points of the outer lane every 30 time units, and the first
// again at 240 so that the closed path joins up.
std::string spline_keys() {
  std::string s;
  for (int32_t k = 0; k <= 8; ++k) {
    const double a = 2 * std::numbers::pi * (k % 8) / 8;
    s += "spline_key_set(0, " + std::to_string(30 * k) + ", " + metres(kOuterX * std::sin(a)) + ", " +
         metres(kBallHeight) + ", " + metres(kOuterZ * std::cos(a)) + ")\n";
  }
  return s;
}

// Gate n crosses both lanes on the line through the lanes' points at angle 15 + 90 n degrees
// (from the inside of the inner lane to the outside of the outer one). Gate 0, the start line,
// lies just ahead of the racers' start, so each counts lap 0 once it has crossed it.
struct Gate {
  double x1, z1, x2, z2;
};
Gate gate(int32_t n) {
  const double a = (15.0 + 90.0 * n) * std::numbers::pi / 180.0;
  return {4.4 * std::sin(a), 1.9 * std::cos(a), 6.6 * std::sin(a), 4.1 * std::cos(a)};
}
constexpr int32_t kGateCount = 4;

std::string control_brain() {
  std::string s =
      "; Race control: once, the four gates of the course (each counting from the ground to 2 m)\n"
      "; and both racers; every frame, the sky and the labels of the counters.\n"
      "var started\n"
      "if started = 0\n"
      "started = 1\n";
  for (int32_t n = 0; n < kGateCount; ++n) {
    const Gate g = gate(n);
    s += "checkpoint_add(" + metres(g.x1) + ", " + metres(g.z1) + ", " + metres(g.x2) + ", " + metres(g.z2) +
         ")\ncheckpoint_height_set(2mt, 0)\n";
  }
  s += "race_on(element#4)\n"
       "race_on(element#5)\n"
       "endif\n"
       "background3d_set(1)\n"
       "color_set(255, 120, 110)\n"
       "print(\"Red (spline)\", 24, 16, 0)\n"
       "color_set(130, 170, 255)\n"
       "print(\"Blue (track)\", 24, 48, 0)\n"
       "color_set(255, 255, 255)\n"
       "print(\"lap\", 200, 16, 0)\n"
       "print(\"place\", 320, 16, 0)\n"
       "print(\"lap\", 200, 48, 0)\n"
       "print(\"place\", 320, 48, 0)\n";
  return s;
}

}  // namespace

FileGroup race_demo_files() {
  std::vector<DemoElement> all = {
      {element("Camera", "./cameras/default_.03d", "0", "0", "7", "-8.5", "40.000", "0", "0/0/639/479/0/20&40/7"),
       control_brain()},
      {element("Sun", "./visuals/light_.l3d", "10", "0", "0", "0", "50.000", "0", "3/16777215/1023"),
       "; The sun.\n"},
      {element("Sky light", "./visuals/light_.l3d", "10", "0", "0", "0", "0.000", "0", "0/4210752/1023"),
       "; Light from everywhere.\n"},
      {element("Course", "./visuals/race_floor_.v3d", "11", "0", "0", "0"), "; The ground of the course.\n"},
      {element("Red", "./visuals/race_red_.v3d", "11", "0", "0.4", "3.5", "0.000", "0.3"),
       "; Red racer: drives the closed spline of slot 0, one lap every 240 frames.\n"
       "var started\n"
       "if started = 0\n"
       "started = 1\n" +
           spline_keys() +
           "endif\n"
           "spline(0, element, 0, timer(element))\n"},
      {element("Blue", "./visuals/race_blue_.v3d", "11", "0", "0", "0", "0.000", "0.3"),
       "; Blue racer: starts at the origin; the recorded lap of the next element carries it to the\n"
       "; start and round the inner lane, over and over (a loop goes on from record 1).\n"
       "track_play_loop(element, element#1)\n"
       "velocity_update(element)\n"
       "spin_update(element)\n"},
      {element("Recorded lap", "./tracks/race_lap_.i3d", "9", "0", "0", "0"), "; A recorded lap of the inner lane.\n"},
      {counter("Red lap", 250, 24), "credits_set(element, race_lap(element#-3))\n"},
      {counter("Red place", 400, 24), "credits_set(element, race_position(element#-4))\n"},
      {counter("Blue lap", 250, 56), "credits_set(element, race_lap(element#-4))\n"},
      {counter("Blue place", 400, 56), "credits_set(element, race_position(element#-5))\n"},
  };
  for (int32_t n = 0; n < kGateCount; ++n) {
    const Gate g = gate(n);
    for (int32_t end = 0; end < 2; ++end) {
      const double x = end ? g.x2 : g.x1, z = end ? g.z2 : g.z1;
      all.push_back({element("Gate post", "./visuals/race_post_.v3d", "11", decimal(x), "0.5", decimal(z)),
                     "; Marks an end of a gate.\n"});
    }
  }
  return {"race project",
          {{"3dsfiles/race_post_.3ds", tds_encode(make_box(0.08f, 0.5f, 0.08f), "post")},
           {"3dsfiles/race_floor_.3ds", tds_encode(make_box(20.0f, 0.05f, 16.0f), "course")},
           {"visuals/race_floor_.v3d", to_bytes(visual("./3dsfiles/race_floor_.3ds", 70, 110, 70))},
           {"visuals/race_post_.v3d", to_bytes(visual("./3dsfiles/race_post_.3ds", 240, 240, 240))},
           {"visuals/race_red_.v3d", to_bytes(visual("./3dsfiles/ball_.3ds", 230, 50, 40))},
           {"visuals/race_blue_.v3d", to_bytes(visual("./3dsfiles/ball_.3ds", 50, 90, 230))},
           {"tracks/race_lap_.i3d", course_track()},
           {"projects/race/race.prj",
            project_encode("Korva race: a spline racer and a recorded-track racer lap an oval course through four gates",
                           all, "./bckgrnds/bkgr000_.bmp|1|")},
           {"projects/race/race.col", companion_encode(30, 100)}}};
}

}  // namespace korva::mkdata
