// The road of one run: assets, objects, brains, four warm-up steps and a first frame, then the
// fixed-rate frame loop until a brain sets the exit code or Escape is taken, then tear-down.
#include <cstdio>
#include <cstring>

#include "brain/brain_runner.h"
#include "brain/machine.h"
#include "core/scramble.h"
#include "devices/input.h"
#include "devices/input_script.h"
#include "model/model.h"
#include "model/run_state.h"
#include "platform/platform.h"
#include "render/frame_keywords.h"
#include "render/overlay.h"
#include "run/run.h"
#include "runtime/globals_keywords.h"
#include "runtime/memory_blocks.h"

namespace korva {
namespace {

constexpr std::string_view kGlobalsFile = "temp/globvars.dat";

std::string base_path(const Core& c, std::string_view relative) {
  return std::string(c.base_folder->view()) + std::string(relative);
}

bool no_pointer(const System& s) {
  const platform::Screen* screen = s.core->frame.screen;
  return !screen || screen->headless || s.script;
}

// The tag an element type's asset records carry when its loader did not write one: the
// extension of the kind reversed (".v3d" gives "d3v.").
uint32_t type_tag(int32_t type) {
  static constexpr uint32_t kTags[kElementTypes] = {
      tag_word("d30."), tag_word("d3a."), tag_word("d3b."), 0, 0, tag_word("d3e."), tag_word("d3f."),
      tag_word("d3g."), tag_word("d3h."), tag_word("d3i."), tag_word("d3l."), tag_word("d3v."),
      tag_word("d3m."), 0,
  };
  return type >= 0 && type < kElementTypes ? kTags[type] : 0;
}

void tag_if_untagged(uint8_t* record, int32_t type) {
  uint32_t tag = 0;
  std::memcpy(&tag, record, 4);
  if (tag != 0) return;
  tag = type_tag(type);
  std::memcpy(record, &tag, 4);
}

// Frame steps 1 and 2: the window messages and the mouse, scripted input, one key.
void frame_input(System& s, int64_t loop_frame) {
  Core& c = *s.core;
  pump(c);
  if (s.script && s.input) {
    const platform::Screen* screen = c.frame.screen;
    const int32_t w = screen ? screen->back.width : 640, h = screen ? screen->back.height : 480;
    feed_input_script(*s.script, *s.input, loop_frame, w, h);
  }
  if (s.input) {
    next_key(c, *s.input);
    if (loop_frame == 0) {  // the reference position of the pointer for `any_input_exit`
      s.input->mouse_ref_x = s.input->mouse_x;
      s.input->mouse_ref_y = s.input->mouse_y;
      s.input->mouse_ref_set = true;
    }
  }
  run_phase(s, Phase::Input);
}

// The brain step with the run's phases around the element loop.
void brains(System& s) {
  BrainRunner runner;
  runner.before_brains = [](System& sys) { run_phase(sys, Phase::BeforeBrains); };
  runner.after_brains = [](System& sys) { run_phase(sys, Phase::AfterBrains); };
  runner.pick = frames::scene_pick;
  brain_step(s, runner);
}

}  // namespace

// The temporary file an unscrambled asset goes to: the temp path with the extension the
// content shows, since the hashed names of a stand-alone game (".dat") no longer tell the kind
// and the image reader chooses its decoder by the extension.
std::string temp_asset_path(Core& c, std::string_view source) {
  std::string ext = ".tmp";
  uint8_t b[4] = {};
  int64_t got = 0;
  if (read_file(c, source, 0, 4, b, &got) == 0 && got >= 2) {
    unscramble_bytes(b, got);  // a 2 or 3-byte file is stored as it is
    if (b[0] == 'B' && b[1] == 'M') ext = ".bmp";
    else if (b[0] == 'P' && (b[1] == '3' || b[1] == '6')) ext = ".ppm";
    else if (got == 4 && b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G') ext = ".png";
  }
  std::string temp(c.temp_path->view());
  const size_t dot = temp.rfind('.');
  if (dot != std::string::npos && temp.find('/', dot) == std::string::npos) temp.resize(dot);
  return temp + ext;
}

std::string asset_open(System& s, std::string_view path) {
  Core& c = *s.core;
  // Plain files are read where they are; the stand-alone player's assets are scrambled.
  if (!s.model || !s.model->standalone || c.no_scramble || !s.pipeline || path.empty()) return std::string(path);
  if (!file_exists(c, path)) return std::string(path);
  const std::string temp = temp_asset_path(c, path);
  if (!copy_unscrambled(c, path, temp)) return std::string(path);
  s.pipeline->asset_temps.push_back(temp);
  // The numbered further aspects ("x.002", "x.003", ...) follow the first under the same rule.
  for (int32_t n = 2; n <= 999; ++n) {
    const std::string more = further_aspect_path(path, n);
    if (!file_exists(c, more)) break;
    const std::string temp_more = further_aspect_path(temp, n);
    if (!copy_unscrambled(c, more, temp_more)) break;
    s.pipeline->asset_temps.push_back(temp_more);
  }
  return temp;
}

void asset_close(System& s) {
  if (!s.pipeline) return;
  for (const auto& t : s.pipeline->asset_temps) file_delete(*s.core, t);
  s.pipeline->asset_temps.clear();
}

void wait_mouse_release(System& s) {
  // Without a window nobody can let go of a button (a scripted one may never come up).
  if (no_pointer(s) || !s.input) return;
  while (s.input->mouse_buttons != 0 && !platform::interrupt_signal()) {
    pump(*s.core);
    platform::sleep_ms(5);
  }
}

int32_t asset_pass(System& s) {
  Core& c = *s.core;
  Model& m = *s.model;
  RunPipeline& p = *s.pipeline;
  std::memset(c.pool(Pool::Instances), 0, static_cast<size_t>(pool_bytes(Pool::Instances)));
  std::memset(c.pool(Pool::Assets), 0, static_cast<size_t>(pool_bytes(Pool::Assets)));
  for (int32_t i = 0; i < kAssetSlots; ++i) p.asset_share[i] = i;
  overlays_reset(s);
  run_phase(s, Phase::AssetReset);
  const int32_t count = element_count(m);
  int32_t slot = 0;
  for (int32_t i = 0; i < count; ++i) {
    p.first_asset[i] = slot;
    uint8_t* rec = c.pool(Pool::Instances) + i * kInstanceRecordBytes;
    ir_set(rec, ir::kCurrentAspect, slot);
    ir_set(rec, ir::kFirstAspect, slot);
    const std::string path(element_field(c, i, fld::kAsset).view());
    const int32_t type = element_type(c, i);

    // An earlier element with the same asset path lends its slots.
    int32_t shared = -1;
    for (int32_t j = 0; j < i && shared < 0; ++j)
      if (str_cmp(element_field(c, j, fld::kAsset).view(), path) == 0) shared = j;

    int32_t used = 0;
    if (shared >= 0) {
      // The slots map to the earlier element's, whose records (which only name loaded data)
      // are copied so that both elements read the same asset.
      used = aspect_count(c, shared);
      if (used > kAssetSlots - slot) used = kAssetSlots - slot;
      for (int32_t k = 0; k < used; ++k) {
        p.asset_share[slot + k] = p.first_asset[shared] + k;
        std::memcpy(asset_record(s, slot + k), asset_record(s, p.first_asset[shared] + k), kAssetRecordBytes);
      }
    } else if (type >= 0 && type < kElementTypes && p.loader[type] && slot < kAssetSlots) {
      // Visuals (11) read their own files, which stay where they are; type 13 reads in steps.
      const bool unscrambled = type != kTypeVisual && type != kType13;
      used = p.loader[type](s, i, slot, unscrambled ? asset_open(s, path) : path);
      asset_close(s);
      if (used < 0) used = 0;
      if (used > kAssetSlots - slot) used = kAssetSlots - slot;
      for (int32_t k = 0; k < used; ++k) tag_if_untagged(asset_record(s, slot + k), type);
    }
    aspect_count_set(c, i, used);
    slot += used;
  }
  return slot;
}

void object_pass(System& s) {
  Core& c = *s.core;
  Model& m = *s.model;
  const int32_t count = element_count(m);
  uint8_t* records = c.pool(Pool::Instances);
  auto resolve = [&](std::string_view text) {
    int32_t v = 0;
    resolve_value_text(c, *s.brain, text, v);
    return v;
  };
  for (int32_t i = 0; i < count; ++i) {
    uint8_t* rec = records + i * kInstanceRecordBytes;
    fill_instance_fields(c, m, i);
    store_brain_parameters(c, i, resolve);
    overlay_object_init(s, i);
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
  s.run->debug_shown = false;
  c.frame.video = VideoState{};
  overlays_run_start(s);
}

void compile_brains(System& s) {
  compile_project_brains(*s.core, *s.model, *s.brain, Pass::Normal);
  machine_predecode(s);
  s.run->tics = 0;
  // For front ends and logs, beside the box: which brain file and line did not compile.
  for (const auto& f : s.brain->failures)
    std::fprintf(stderr, "korva: the brain of '%s' (%s)%s does not compile: %s\n",
                 std::string(element_name(*s.core, f.element).view()).c_str(), f.path.c_str(),
                 f.line > 0 ? (", line " + std::to_string(f.line)).c_str() : "", f.text.c_str());
  // A keyword this build has no routine for answers 0 and the run goes on; the maker hears of
  // it once, here, rather than in a box in the middle of the game.
  std::vector<std::string> unbound = machine_unbound_keywords(*s.machine);
  if (s.pipeline) s.pipeline->unbound = unbound;
  if (unbound.empty()) return;
  std::string names;
  for (const auto& n : unbound) names += (names.empty() ? "" : ", ") + n;
  std::fprintf(stderr, "korva: keywords not available yet (they do nothing and return 0): %s\n", names.c_str());
  show_status(*s.core, "Not available yet: " + names);
}

void render_frame(System& s, bool first_frame) {
  RunPipeline& p = *s.pipeline;
  p.first_frame = first_frame;
  for (Phase phase = Phase::Restore; phase <= Phase::SoundCommit; phase = Phase(int32_t(phase) + 1))
    run_phase(s, phase);
  p.first_frame = false;
  ++p.frames_rendered;
}

int32_t run_project(System& s, const RunOptions& options) {
  Core& c = *s.core;
  Model& m = *s.model;
  RunState& run = *s.run;
  RunPipeline& p = *s.pipeline;

  wait_mouse_release(s);
  const int32_t saved_option = m.state[est::kRunOption];
  m.state[est::kRunOption] = 1;
  const int32_t fog_start = m.project.fog_start, fog_end = m.project.fog_end;
  const uint32_t fog_colour = m.project.fog_colour;
  if (!options.keep_globals) {
    std::memset(c.pool(Pool::BrainVars), 0, size_t(kGlobalWords) * 4);
    const std::string globals = base_path(c, kGlobalsFile);
    if (file_exists(c, globals)) load_globals_file(s, globals);
  }

  run.exit_code = kExitRunning;
  m.run_flag = true;
  p.loop_frames = 0;
  p.frames_rendered = 0;

  show_status(c, "Loading data, please wait...");
  asset_pass(s);
  show_status(c, "Initializing objects, please wait...");
  object_pass(s);
  run_phase(s, Phase::RunStart);
  show_status(c, "Compiling brains, please wait...");
  compile_brains(s);
  if (p.unbound.empty()) show_status(c, "");
  if (options.after_compile) options.after_compile(s);

  if (platform::Screen* screen = c.frame.screen) {
    platform::surface_fill(screen->back, 0);
    platform::surface_fill(screen->primary, 0);
  }

  const int64_t free_bytes = static_cast<int64_t>(str_stack_free(c)) * kStrSlotBytes;
  if (free_bytes < kLowStringMemory)
    show_message(c, "Value: " + std::to_string(free_bytes) + "\nWarning! Internal string memory low.");

  for (int32_t k = 0; k < kWarmUpSteps; ++k) brains(s);
  render_frame(s, true);

  // The next-frame time lives in the run state, so that a pause or a dialog can move it on.
  int64_t& next = run.next_frame_time;
  next = ticks_now(c) + run.frame_period;
  for (int64_t frame = 0;; ++frame) {
    if (p.max_frames >= 0 && frame >= p.max_frames) break;  // as if Escape was taken
    if (platform::interrupt_signal()) break;                  // SIGINT or SIGTERM: the same
    frame_input(s, frame);
    run_phase(s, Phase::Races);
    run_phase(s, Phase::Collisions);
    run_phase(s, Phase::Joysticks);
    brains(s);
    ++p.loop_frames;
    if (run.exit_code != kExitRunning || (s.input && s.input->last_key == 1)) break;

    const int64_t now = ticks_now(c);
    if (p.fast) {
      next = now + run.frame_period;
      render_frame(s, false);
    } else if (next < now) {
      next += run.frame_period;  // late: catch up without drawing
    } else {
      while (ticks_now(c) <= next) platform::sleep_ms(1);
      next += run.frame_period;
      render_frame(s, false);
    }
  }

  run_phase(s, Phase::RunEnd);
  overlays_run_end(s);
  if (s.blocks) blocks_clear(*s.blocks);
  m.run_flag = false;
  m.project.fog_start = fog_start;
  m.project.fog_end = fog_end;
  m.project.fog_colour = fog_colour;
  m.state[est::kRunOption] = saved_option;
  wait_mouse_release(s);
  return run.exit_code;
}

}  // namespace korva
