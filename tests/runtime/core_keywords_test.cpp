// The core's keywords and run control: locals, processes, how the program runs, date and
// time, switching brains, settings, start parameters, exit code and the input seams.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <thread>

#include "brain_literal.h"
#include "brain/brain.h"
#include "engine/keyword_fixture.h"
#include "model/model.h"
#include "runtime/runtime.h"

namespace korva {
namespace {

namespace fs = std::filesystem;

class CoreKeywords : public KeywordFixture, public ::testing::Test {
 protected:
  std::unique_ptr<Model> model = std::make_unique<Model>();
  std::unique_ptr<BrainState> brain = brain_create();
  CoreKeywords() {
    sys.model = model.get();
    sys.brain = brain.get();
  }
  int32_t literal(const std::string& text) { return put_literal(*brain, text); }
};

TEST_F(CoreKeywords, LocalsCountDownFromTheEndOfTheRecord) {
  local_set(sys, h(2), 0, 11);
  local_set(sys, h(2), 127, 22);
  EXPECT_EQ(get(2, 1020), 11);
  EXPECT_EQ(get(2, 512), 22);
  EXPECT_EQ(local(sys, h(2), 0), 11);
  EXPECT_EQ(local(sys, h(2), 127), 22);
  set(2, 508, 5);
  for (int32_t bad : {128, -1, INT32_MIN}) {
    EXPECT_EQ(local(sys, h(2), bad), 0);
    local_set(sys, h(2), bad, 9);
  }
  EXPECT_EQ(get(2, 508), 5);
  EXPECT_EQ(get(3, 0), 0);  // slot -1 would be the next record's first word
  EXPECT_EQ(local(sys, static_cast<int32_t>(0x80000001u), 0), 0);
}

TEST_F(CoreKeywords, ExemodeTellsThePlayerAndTheEditorOption) {
  EXPECT_EQ(exemode(sys, 1), 0);
  model->standalone = true;
  EXPECT_EQ(exemode(sys, 1), 1);
  EXPECT_EQ(exemode(sys, 0), 0);
  model->state[est::kExeMode] = 1;
  EXPECT_EQ(exemode(sys, 3), 3);
  EXPECT_EQ(exemode(sys, 2), 2);
  model->state[est::kExeMode] = 2;
  EXPECT_EQ(exemode(sys, 3), 1);
}

TEST_F(CoreKeywords, DateAndTimeUseTwoDigitYears) {
  EXPECT_EQ(year_from_two_digits(49), 2049);
  EXPECT_EQ(year_from_two_digits(50), 1950);
  EXPECT_EQ(year_from_two_digits(0), 2000);
  EXPECT_EQ(year_from_two_digits(99), 1999);
  std::tm t{};
  run.hooks.local_time = [&] { return t; };
  t.tm_year = 2049 - 1900;
  t.tm_mon = 11;
  t.tm_mday = 31;
  t.tm_hour = 23;
  t.tm_min = 59;
  t.tm_sec = 58;
  EXPECT_EQ(year(sys), 2049);
  EXPECT_EQ(month(sys), 12);
  EXPECT_EQ(day(sys), 31);
  EXPECT_EQ(hour(sys), 23);
  EXPECT_EQ(minute(sys), 59);
  EXPECT_EQ(second(sys), 58);
  t.tm_year = 1950 - 1900;
  EXPECT_EQ(year(sys), 1950);
  t.tm_year = 2050 - 1900;  // beyond the two-digit window
  EXPECT_EQ(year(sys), 1950);
  run.hooks.local_time = nullptr;
  EXPECT_GE(year(sys), 2000);
  EXPECT_LE(year(sys), 2049);
}

TEST_F(CoreKeywords, DisableAndEnableSwitchTheBrainBit) {
  set(1, ir::kFlags, ir::kFlagActive | 0x100);
  disable(sys, h(1));
  EXPECT_EQ(get(1, ir::kFlags), ir::kFlagActive | ir::kFlagBrainStopped | 0x100);
  enable(sys, h(1));
  EXPECT_EQ(get(1, ir::kFlags), ir::kFlagActive | 0x100);
  int32_t frame = -1;
  bool on = true;
  run.hooks.frame_enable = [&](int32_t f, bool b) {
    frame = f;
    on = b;
  };
  disable(sys, static_cast<int32_t>(0x80000003u));
  EXPECT_EQ(frame, 3);
  EXPECT_FALSE(on);
  enable(sys, static_cast<int32_t>(0x80000004u));
  EXPECT_EQ(frame, 4);
  EXPECT_TRUE(on);
  disable(sys, h(1) + 8);  // inside a record: nothing
  EXPECT_EQ(get(1, ir::kFlags), ir::kFlagActive | 0x100);
}

TEST_F(CoreKeywords, RunWaitsForTheProgramAndRunTaskDoesNot) {
  const fs::path dir = fs::temp_directory_path() / ("korva-run-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const fs::path made = dir / "made by run";
  korva::run(sys, literal("/bin/sh -c \"sleep 0.2; echo done > '" + made.string() + "'\""));
  EXPECT_TRUE(fs::exists(made));  // the program had ended when run returned

  const fs::path later = dir / "later";
  const auto start = std::chrono::steady_clock::now();
  run_task(sys, literal("sh -c \"sleep 0.3; touch '" + later.string() + "'\""));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_FALSE(fs::exists(later));
  EXPECT_EQ(run.task_count, 1);
  for (int i = 0; i < 300 && !fs::exists(later); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(fs::exists(later));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  run_task(sys, literal("no-such-program-korva"));  // reaps the ended task; nothing starts
  EXPECT_EQ(run.task_count, 0);
  korva::run(sys, literal(""));
  korva::run(sys, 0);
  fs::remove_all(dir);
}

TEST_F(CoreKeywords, ResetOnlyInThePlayer) {
  reset(sys);  // an editor run: nothing starts, the run goes on
  EXPECT_EQ(run.exit_code, kExitRunning);
  EXPECT_EQ(run.task_count, 0);
}

TEST(CommandLines, SplitIntoWords) {
  EXPECT_EQ(start_process(""), -1);
  EXPECT_EQ(start_process("   "), -1);
  EXPECT_EQ(start_process("\"\""), -1);
}

TEST_F(CoreKeywords, RunControl) {
  core->par_count = 3;
  core->par[0] = 5;
  core->par[1] = -3;
  core->par[2] = 12;
  EXPECT_EQ(par_count(sys), 3);
  EXPECT_EQ(par_get(sys, 1), -3);
  EXPECT_EQ(par_get(sys, 3), 0);
  EXPECT_EQ(par_get(sys, -1), 0);

  exit(sys, -2);
  EXPECT_EQ(run.exit_code, -2);
  EXPECT_EQ(debug(sys, 42), 42);
  EXPECT_EQ(run.debug_value, 42);
  EXPECT_TRUE(run.debug_shown);

  EXPECT_EQ(any_input(sys), 0);
  run.hooks.any_input = [] { return -1; };
  EXPECT_EQ(any_input(sys), -1);
  int processed = 0, paused = 0;
  run.hooks.process_input = [&] { ++processed; };
  run.hooks.pause = [&] { ++paused; };
  run.next_frame_time = 0;
  input_process(sys);
  EXPECT_EQ(processed, 1);
  EXPECT_GE(run.next_frame_time, ticks_now(*core));
  run.next_frame_time = 0;
  pause(sys);
  EXPECT_EQ(paused, 1);
  EXPECT_GT(run.next_frame_time, 0);
}

TEST_F(CoreKeywords, SettingsChangeOnlyInThePlayer) {
  core->settings.display_mode = 4;
  EXPECT_EQ(display_mode(sys), 4);
  display_mode_set(sys, 8);
  sound_set(sys, 0);
  EXPECT_EQ(core->settings.display_mode, 4);
  EXPECT_EQ(core->settings.sound, 1);

  // The player changes the setting and writes "config.ini" for the next start.
  const fs::path dir = fs::temp_directory_path() / ("korva-settings-" + std::to_string(getpid()));
  fs::create_directories(dir);
  str_set(*core->base_folder, dir.string() + "/");
  model->standalone = true;
  display_mode_set(sys, 8);
  sound_set(sys, 6);
  sound_mixing_set(sys, -1);
  EXPECT_EQ(display_mode(sys), 8);
  EXPECT_EQ(core->settings.sound, 2);
  EXPECT_EQ(core->settings.sound_mixing, 3);
  EXPECT_TRUE(fs::exists(dir / "config.ini"));
  Settings read_back;
  settings_read_file(read_back, (dir / "config.ini").string());
  EXPECT_EQ(read_back.display_mode, 8);
  EXPECT_EQ(read_back.sound_mixing, 3);
  fs::remove_all(dir);
}

}  // namespace
}  // namespace korva
