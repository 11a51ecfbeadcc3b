// Tracks and races in real runs: a recording made in one run, saved as the editor run saves
// it and played back by a TRACK element in a second run, reproduces the first run's motion
// exactly; the races advance once per loop frame.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "mkdata.h"
#include "run/track_steps.h"
#include "run_fixture.h"

namespace korva {
namespace {

struct TrackRun : test::RunSystem {
  explicit TrackRun(const std::filesystem::path& folder) : RunSystem(folder, false) {
    bind_track_keywords(machine->keywords);
    add_scene_steps(pipeline);
    add_track_steps(pipeline);
  }

  // An element of a type at position (x, x, 0) in scene units, showing asset, whose brain is text.
  void add(const std::string& type, const std::string& asset, const std::string& brain_text,
           const std::string& x = "0") {
    const int32_t i = ++model->last_index;
    const std::string brain = write("e" + std::to_string(i) + ".brn", brain_text);
    str_set(element_record(*core, i),
            "E" + std::to_string(i) + "|" + asset + "|./sounds/null_.wav|" + brain + "|" + x +
                "|" + x + "|0|0|0|0|0.000|0|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0.000|0.000|0.000|0|0|0|0|0|"
                "1|0|1|0|0|" + type + "|0/0/639/479/0/20&40/7|0/1|4096/2/50/0|0");
  }
};

struct TrackRuns : ::testing::Test {
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              ("korva_track_run_" + std::to_string(::getpid()));
  TrackRuns() { std::filesystem::create_directories(dir); }
  ~TrackRuns() override { std::filesystem::remove_all(dir); }
};

using Trace = std::vector<std::vector<int32_t>>;

// Element 1's position and rotation after every brain step.
void trace(TrackRun& r, Trace& out) {
  run_step_add(r.pipeline, Phase::AfterBrains, "trace", [&r, &out](System&) {
    const uint8_t* e = r.record(1);
    out.push_back({ir_get(e, ir::kPosX), ir_get(e, ir::kPosY), ir_get(e, ir::kPosZ), ir_get(e, ir::kRotX),
                   ir_get(e, ir::kRotY), ir_get(e, ir::kRotZ)});
  });
}

TEST_F(TrackRuns, ARecordedRunPlaysBackExactlyInTheNextRun) {
  Trace first, second;
  std::string saved;
  {
    TrackRun r(dir);
    r.add("0", "./cameras/none.03d", "");
    // Turns while driving forward, gravity pulling it down: every word of the state changes.
    r.add("0", "./cameras/none.03d",
          "spin_y_set(element, 1500)\r\nspin_x_set(element, -70)\r\nspin_update(element)\r\n"
          "thrust_xz(element, 9)\r\ngravity(element, 0, -300, 0)\r\nvelocity_update(element)\r\n"
          "track_record(element)\r\n",
          "2.5");
    trace(r, first);
    r.pipeline.max_frames = 40;
    run_project(r.s);
    ASSERT_EQ(r.pipeline.track_recorded_bytes, (4 + 40) * kTrackRecordBytes);
    // As the editor run saves it.
    saved = r.write("currtrck.i3d", std::string(reinterpret_cast<const char*>(r.core->pool(Pool::TrackBuffer)),
                                                size_t(r.pipeline.track_recorded_bytes)));
  }
  {
    TrackRun r(dir);
    r.add("0", "./cameras/none.03d", "");
    r.add("0", "./cameras/none.03d",  // starts at the origin: record 0 carries it to the start
          "if track_play(element, element#1) = 0\r\nvelocity_update(element)\r\nspin_update(element)\r\n"
          "endif\r\n");
    r.add("9", saved, "");
    trace(r, second);
    r.pipeline.max_frames = 40;
    run_project(r.s);
    EXPECT_EQ(r.pipeline.track_recorded_bytes, 0);  // a new run starts with an empty buffer
  }
  ASSERT_EQ(first.size(), second.size());
  EXPECT_EQ(first, second);
  EXPECT_NE(first.front(), first.back());
}

TEST(TrackKeywords, EveryNameIsARowOfTheKeywordTable) {
  KeywordBindings b;
  bind_track_keywords(b);
  const auto bound = std::count_if(std::begin(b.routine), std::end(b.routine), [](KeywordRoutine r) { return r; });
  EXPECT_EQ(bound, 28);  // ten track and aiming keywords, eleven of races, seven of splines
}

TEST_F(TrackRuns, RacesAdvanceOncePerLoopFrame) {
  TrackRun r(dir);
  r.add("0", "./cameras/none.03d", "");
  // Stands on its one gate: every loop frame is a lap.
  r.add("0", "./cameras/none.03d",
        "var started\r\nif started = 0\r\nstarted = 1\r\ncheckpoint_add(0, -1mt, 0, 1mt)\r\n"
        "race_on(element)\r\nendif\r\n");
  r.pipeline.max_frames = 6;
  run_project(r.s);
  EXPECT_EQ(race_lap(r.s, element_handle(1)), 5);
  EXPECT_EQ(race_position(r.s, element_handle(1)), 1);
}

// The race example project as korva-mkdata writes it: its brains compile, the spline racer and
// the recorded-track racer both lap the course through its four gates, and the counters show
// their laps and places.
TEST_F(TrackRuns, TheRaceExampleRunsItsRace) {
  const mkdata::FileGroup race = mkdata::race_demo_files();
  for (const char* folder : {"brains", "temp", "data"}) std::filesystem::create_directories(dir / folder);
  for (const auto& f : race.files) {
    std::filesystem::create_directories((dir / f.path).parent_path());
    std::ofstream((dir / f.path).string(), std::ios::binary)
        .write(reinterpret_cast<const char*>(f.data.data()), std::streamsize(f.data.size()));
  }
  TrackRun r(dir);
  str_set(*r.core->base_folder, dir.string() + "/");
  ASSERT_GE(load_project(*r.core, *r.model, (dir / "projects/race/race.prj").string()), 11);
  r.pipeline.max_frames = 520;
  std::vector<int32_t> laps_seen;
  run_step_add(r.pipeline, Phase::AfterBrains, "laps", [&r, &laps_seen](System&) {
    laps_seen.push_back(ir_get(r.record(7), ir::kScore));
  });
  run_project(r.s);
  EXPECT_TRUE(r.brain->failures.empty());
  EXPECT_TRUE(r.pipeline.unbound.empty());
  auto score = [&](int32_t i) { return ir_get(r.record(i), ir::kScore); };
  // Red laps every 240 frames, blue every 200: both crossed the start line at about frames 10,
  // 250 and 490 (red) and 10, 210 and 410 (blue), and blue is further round its third lap.
  EXPECT_EQ(score(7), 2);
  EXPECT_EQ(score(9), 2);
  EXPECT_EQ(score(8), 2);   // places
  EXPECT_EQ(score(10), 1);
  // Red's lap counter rose one lap at a time.
  for (size_t k = 1; k < laps_seen.size(); ++k) EXPECT_LE(laps_seen[k] - laps_seen[k - 1], 1);
  EXPECT_EQ(laps_seen.front(), -1);  // before the start line
}

}  // namespace
}  // namespace korva
