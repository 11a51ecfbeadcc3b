// The road of one run: assets, objects, brains, four warm-up steps and a first frame, then the
// fixed-rate frame loop until a brain sets the exit code or Escape is taken, then tear-down.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "app/run.h"
#include "brain/brain_runner.h"
#include "brain/machine.h"
#include "editors/editors.h"
#include "model/model.h"
#include "render/overlay.h"
#include "runtime/globals_keywords.h"
#include "runtime/memory_blocks.h"

namespace korva {
namespace {

constexpr std::string_view kGlobalsFile = "temp/globvars.dat";
constexpr std::string_view kRunMarker = "temp/wasok.dat";
constexpr std::string_view kRecordedTrack = "data/currtrck.i3d";

std::string base_path(App& app, std::string_view relative) {
  return std::string(app.core->base_folder->view()) + std::string(relative);
}

}  // namespace

void wait_mouse_release(App& app) {
  // Without a window nobody can let go of a button (a scripted one may never come up).
  if (app.screen.headless || app.scripted) return;
  while (app.input.mouse_buttons != 0) {
    pump(*app.core);
    platform::sleep_ms(5);
  }
}

namespace {

// The first word of an asset record is its kind: the extension of its file reversed (".v3d"
// gives "d3v."). A loader that tags its records itself (sprites, frames, counters) keeps its tag.
void mark_asset_kind(uint8_t* record, std::string_view path) {
  if (!record || record[0] || record[1] || record[2] || record[3]) return;
  size_t dot = path.rfind('.');
  if (dot == std::string_view::npos) return;
  std::string_view ext = path.substr(dot, 4);
  for (size_t k = 0; k < ext.size(); ++k) record[k] = static_cast<uint8_t>(ext[ext.size() - 1 - k]);
}

void step_frame_input(App& app, int64_t loop_frame) {
  pump(*app.core);
  if (app.scripted)
    feed_input_script(app.script, app.input, loop_frame, app.screen.back.width, app.screen.back.height);
  next_key(*app.core, app.input);
}

}  // namespace

int32_t asset_pass(App& app) {
  Core& c = *app.core;
  Model& m = *app.model;
  std::memset(c.pool(Pool::Instances), 0, static_cast<size_t>(pool_bytes(Pool::Instances)));
  std::memset(c.pool(Pool::Assets), 0, static_cast<size_t>(pool_bytes(Pool::Assets)));
  for (int32_t i = 0; i < kAssetSlots; ++i) app.asset_share[i] = i;
  overlays_reset(app.system);
  const int32_t count = element_count(m);
  int32_t slot = 0;
  for (int32_t i = 0; i < count; ++i) {
    app.first_asset[i] = slot;
    uint8_t* rec = c.pool(Pool::Instances) + i * kInstanceRecordBytes;
    ir_set(rec, ir::kCurrentAspect, slot);
    ir_set(rec, ir::kFirstAspect, slot);
    std::string path(element_field(c, i, fld::kAsset).view());
    const int32_t type = element_type(c, i);

    // An earlier element with the same asset path lends its slots.
    int32_t shared = -1;
    for (int32_t j = 0; j < i && shared < 0; ++j)
      if (str_cmp(element_field(c, j, fld::kAsset).view(), path) == 0) shared = j;

    int32_t used = 0;
    if (shared >= 0) {
      // The slots map to the earlier element's, whose records (which only name decoded
      // images and loaded data) are copied so both elements read the same asset.
      used = aspect_count(c, shared);
      for (int32_t k = 0; k < used && slot + k < kAssetSlots; ++k) {
        app.asset_share[slot + k] = app.first_asset[shared] + k;
        std::memcpy(asset_record(app.system, slot + k),
                    asset_record(app.system, app.first_asset[shared] + k), kAssetRecordBytes);
      }
    } else if (type >= 0 && type < kElementTypes && app.seams.loader[type] && slot < kAssetSlots) {
      used = app.seams.loader[type](app, i, slot, path);
      if (used < 0) used = 0;
      if (used > kAssetSlots - slot) used = kAssetSlots - slot;
      for (int32_t k = 0; k < used; ++k) mark_asset_kind(asset_record(app.system, slot + k), path);
    }
    aspect_count_set(c, i, used);
    slot += used;
  }
  return slot;
}

void object_pass(App& app) {
  Core& c = *app.core;
  Model& m = *app.model;
  const int32_t count = element_count(m);
  uint8_t* records = c.pool(Pool::Instances);
  auto resolve = [&](std::string_view text) {
    int32_t v = 0;
    resolve_value_text(c, *app.brain, text, v);
    return v;
  };
  for (int32_t i = 0; i < count; ++i) {
    uint8_t* rec = records + i * kInstanceRecordBytes;
    fill_instance_fields(c, m, i);
    store_brain_parameters(c, i, resolve);
    overlay_object_init(app.system, i);
    ir_set(rec, ir::kAspectCount, aspect_count(c, i));
    ir_set(rec, ir::kCurrentAspect, ir_get(rec, ir::kFirstAspect));
    if (element_type(c, i) == kTypeCamera && (aspect_option(c, i) & 1))
      ir_set(rec, ir::kFlags, ir_get(rec, ir::kFlags) | ir::kFlagTranslucent);
    // Elements start shown; brains hide and show them.
    ir_set(rec, ir::kFlags, ir_get(rec, ir::kFlags) | ir::kFlagShown);
    for (int32_t off : {ir::kScaleX, ir::kScaleY, ir::kScaleZ})
      if (ir_get(rec, off) == 0) ir_set(rec, off, 1000);
  }
  // The records after the last element repeat it, so a brain that strays past the end of
  // the table reads a plausible element rather than zeros.
  if (count > 0)
    for (int32_t i = count; i < kInstanceRecords; ++i)
      std::memcpy(records + i * kInstanceRecordBytes, records + (count - 1) * kInstanceRecordBytes,
                  kInstanceRecordBytes);
  app.run.debug_shown = false;
  c.frame.video = VideoState{};
  overlays_run_start(app.system);
}

void compile_brains(App& app) {
  compile_project_brains(*app.core, *app.model, *app.brain, Pass::Normal);
  machine_predecode(app.system);
  app.run.tics = 0;
}

int32_t run_project(App& app) {
  Core& c = *app.core;
  Model& m = *app.model;
  RunState& run = app.run;

  wait_mouse_release(app);
  const int32_t saved_option = m.state[est::kRunOption];
  m.state[est::kRunOption] = 1;
  const int32_t fog_start = m.project.fog_start, fog_end = m.project.fog_end;
  const uint32_t fog_colour = m.project.fog_colour;
  std::memset(c.pool(Pool::BrainVars), 0, 2048 * 4);

  const std::string globals = base_path(app, kGlobalsFile);
  if (file_exists(c, globals)) load_globals_file(app.system, globals);

  run.exit_code = kExitRunning;
  m.run_flag = true;

  show_status(c, "Loading data, please wait...");
  asset_pass(app);
  show_status(c, "Initializing objects, please wait...");
  object_pass(app);
  if (app.seams.prepare) app.seams.prepare(app);
  show_status(c, "Compiling brains, please wait...");
  compile_brains(app);
  show_status(c, "");

  platform::surface_fill(app.screen.back, 0);
  platform::surface_fill(app.screen.primary, 0);

  const int64_t free_bytes = static_cast<int64_t>(str_stack_free(c)) * kStrSlotBytes;
  if (free_bytes < kLowStringMemory)
    show_message(c, "Value: " + std::to_string(free_bytes) + "\nWarning! Internal string memory low.");

  auto render = [&](bool first) {
    if (app.seams.render) {
      app.seams.render(app, first);
    } else if (!first) {
      platform::screen_flip(app.screen);
    }
    ++app.frames_rendered;
  };

  for (int32_t k = 0; k < kWarmUpSteps; ++k) brain_step(app.system, app.runner);
  render(true);

  // The next-frame time lives in the run state, so that a pause or a dialog can move it on.
  int64_t& next = run.next_frame_time;
  next = ticks_now(c) + run.frame_period;
  for (int64_t frame = 0;; ++frame) {
    if (app.max_frames >= 0 && frame >= app.max_frames) break;  // as if Escape was taken
    if (run.exit_code != kExitRunning) break;
    step_frame_input(app, frame);
    if (app.seams.engine_step) app.seams.engine_step(app);  // races and collisions
    if (app.seams.poll_joysticks) app.seams.poll_joysticks(app);
    brain_step(app.system, app.runner);
    ++app.loop_frames;
    if (run.exit_code != kExitRunning || app.input.last_key == 1) break;

    const int64_t now = ticks_now(c);
    if (app.fast) {
      next = now + run.frame_period;
      render(false);
    } else if (next < now) {
      next += run.frame_period;  // late: catch up without drawing
    } else {
      while (ticks_now(c) <= next) platform::sleep_ms(1);
      next += run.frame_period;
      render(false);
    }
  }

  if (app.seams.release) app.seams.release(app);
  overlays_run_end(app.system);
  blocks_clear(*app.blocks);
  m.run_flag = false;
  m.project.fog_start = fog_start;
  m.project.fog_end = fog_end;
  m.project.fog_colour = fog_colour;
  m.state[est::kRunOption] = saved_option;
  wait_mouse_release(app);
  stop_task(c);
  return run.exit_code;
}

void editor_run(App& app) {
  Core& c = *app.core;
  Model& m = *app.model;
  file_delete(c, base_path(app, kRunMarker));
  const int32_t saved = m.state[est::kReserved1];
  m.state[est::kReserved1] = 0;
  const int32_t code = run_project(app);
  m.state[est::kReserved1] = saved;
  report_exit_code(c, code);
  m.load_first = m.load_last = m.current;

  const int64_t recorded = app.track_recorded_bytes;
  if (recorded > 0) {
    report_recorded_track(c, recorded);
    if (!file_write_safely(base_path(app, kRecordedTrack), c.pool(Pool::TrackBuffer), recorded))
      show_message(c, "Could not save the recorded track|" + base_path(app, kRecordedTrack));
  }
  const std::string marker = base_path(app, kRunMarker);
  if (!file_write_safely(marker, "wasok\r\n", 7))
    std::fprintf(stderr, "korva: the run marker %s could not be written\n", marker.c_str());
}

}  // namespace korva
