// The static keyword table: 488 rows in their fixed order (the order decides each row's guest
// entry address), and the synonym groups whose names share one routine.
#include <array>
#include <string>

#include "brain/brain.h"

namespace korva {

namespace {

const KeywordRow kRows[kKeywordRows] = {
    {"3dbg_color_set", 0, 3, 1}, {"above_ground_level", 1, 1, 0}, {"absolute_value", 1, 1, 0},
    {"abs", 1, 1, 0}, {"agl", 1, 1, 0}, {"aglevel", 1, 1, 0}, {"angle", 1, 2, 0},
    {"animate", 0, 4, 0}, {"animation_frame", 1, 1, 0}, {"animation_frame_set", 0, 2, 0},
    {"any_input", 1, 0, 0}, {"attract", 0, 3, 0}, {"attract_xz", 0, 3, 0},
    {"background_color", 1, 1, 0}, {"between", 1, 3, 0}, {"boing_x", 0, 1, 0}, {"boing_y", 0, 1, 0},
    {"boing_z", 0, 1, 0}, {"camera_fov", 1, 1, 0}, {"camera_fov_set", 1, 2, 0},
    {"child_pos", 0, 5, 0}, {"child_rot", 0, 5, 0}, {"collision", 1, 2, 0},
    {"collisions_off", 0, 1, 0}, {"collisions_on", 0, 1, 0}, {"collision_color", 1, 1, 0},
    {"collision_list", 1, 3, 0}, {"collision_map", 1, 2, 0}, {"collision_map_set", 1, 3, 0},
    {"collision_range", 1, 3, 0}, {"counter_picked", 0, 1, 0}, {"credits_add", 0, 2, 0},
    {"credits_set", 0, 2, 0}, {"credits", 1, 1, 0}, {"debug", 1, 1, 1}, {"dimension_abs", 1, 2, 1},
    {"direction_xz", 1, 2, 1}, {"distance_xz", 1, 2, 1}, {"distance", 1, 2, 1}, {"divide", 1, 2, 1},
    {"drag", 0, 2, 1}, {"drag_xz", 0, 2, 1}, {"drag_y", 0, 2, 1}, {"element_index", 1, 2, 1},
    {"every_tics", 1, 2, 1}, {"exemode", 0, 1, 0}, {"exit", 0, 1, 0}, {"any_input_exit", 0, 1, 0},
    {"par_count", 0, 0, 0}, {"par_get", 0, 1, 0}, {"factor_512", 1, 2, 1},
    {"first_element", 1, 0, 1}, {"flash", 0, 1, 1}, {"flat_scale_set", 0, 3, 1},
    {"flat_scale_x", 0, 1, 1}, {"flat_scale_y", 0, 1, 1}, {"follow", 0, 5, 1},
    {"frame_refresh", 0, 1, 1}, {"frame_refresh_all", 0, 0, 1}, {"friction", 0, 2, 1},
    {"friction_xz", 0, 2, 1}, {"friction_y", 0, 2, 1}, {"global", 1, 1, 1}, {"global_add", 0, 2, 1},
    {"global_set", 0, 2, 1}, {"gravity", 0, 4, 1}, {"ground_level", 1, 1, 1},
    {"ground_slope", 1, 1, 1}, {"hide", 1, 1, 0}, {"inside_area_xz", 1, 5, 1},
    {"inside_volume", 1, 1, 1}, {"interpolate", 1, 5, 1}, {"joy_b", 1, 1, 1}, {"joy1_b", 1, 1, 1},
    {"joy1_x", 1, 2, 1}, {"joy1_y", 1, 2, 1}, {"joy2_b", 1, 1, 1}, {"joy2_x", 1, 2, 1},
    {"joy2_y", 1, 2, 1}, {"join", 0, 2, 0}, {"keyboard", 1, 1, 1}, {"scancode", 1, 0, 0},
    {"last_element", 1, 0, 1}, {"last_animation_frame", 1, 1, 1}, {"lift", 0, 3, 1},
    {"light_color_set", 0, 4, 1}, {"light_color_red", 0, 1, 1}, {"light_color_green", 0, 1, 1},
    {"light_color_blue", 0, 1, 1}, {"light_intensity_set", 1, 2, 1}, {"light_intensity", 0, 1, 1},
    {"limit", 1, 3, 1}, {"local", 1, 2, 1}, {"local_set", 1, 3, 1}, {"multiply", 1, 2, 1},
    {"off", 0, 1, 1}, {"on", 0, 1, 1}, {"on_list", 1, 3, 1}, {"on_range", 1, 2, 1},
    {"over_ground", 0, 2, 1}, {"over_ground_g", 0, 3, 1}, {"pause", 0, 0, 1}, {"play_set", 0, 5, 1},
    {"play_sound", 0, 1, 1}, {"pocket_add", 0, 3, 1}, {"pocket_set", 0, 3, 1}, {"pocket", 1, 2, 1},
    {"position_copy", 0, 2, 1}, {"position_x", 1, 1, 1}, {"position_y", 1, 1, 1},
    {"position_z", 1, 1, 1}, {"position_x_add", 0, 2, 1}, {"position_y_add", 0, 2, 1},
    {"position_z_add", 0, 2, 1}, {"position_x_set", 0, 2, 1}, {"position_y_set", 0, 2, 1},
    {"position_z_set", 0, 2, 1}, {"random_position_xz", 0, 5, 1}, {"rebound_x", 0, 1, 1},
    {"rebound_y", 0, 1, 1}, {"rebound_z", 0, 1, 1}, {"resume", 0, 0, 1}, {"resume_x", 0, 1, 1},
    {"rotation_copy", 0, 2, 1}, {"rotation_x", 1, 1, 1}, {"rotation_y", 1, 1, 1},
    {"rotation_z", 1, 1, 1}, {"rotation_x_add", 0, 2, 1}, {"rotation_y_add", 0, 2, 1},
    {"rotation_z_add", 0, 2, 1}, {"rotation_x_set", 0, 2, 1}, {"rotation_y_set", 0, 2, 1},
    {"rotation_z_set", 0, 2, 1}, {"rotation_axis_set", 0, 4, 0}, {"rotation_axis_add", 0, 4, 0},
    {"orientation_set", 0, 1, 0}, {"local_axis", 0, 3, 0}, {"samplerate_set", 0, 2, 1},
    {"save", 0, 0, 1}, {"save_x", 0, 1, 1}, {"scale_set", 0, 4, 1}, {"scale_x", 0, 1, 1},
    {"scale_y", 0, 1, 1}, {"scale_z", 0, 1, 1}, {"score_add", 0, 2, 1}, {"score_set", 0, 2, 1},
    {"score", 1, 1, 1}, {"show", 1, 1, 1}, {"signal_reset", 0, 2, 1}, {"signal_set", 0, 2, 1},
    {"signal", 1, 2, 1}, {"sight", 1, 4, 1}, {"sound_mode_set", 0, 2, 1},
    {"sound_rate_set", 0, 2, 1}, {"sound_status", 1, 1, 1}, {"speed", 1, 1, 1},
    {"speed_lz", 1, 1, 1}, {"speed_set", 0, 2, 1}, {"speed_xz", 1, 1, 1}, {"speed_xz_set", 0, 2, 1},
    {"spin_copy", 0, 2, 1}, {"spin_update", 0, 1, 1}, {"spin_x", 1, 1, 1}, {"spin_y", 1, 1, 1},
    {"spin_z", 1, 1, 1}, {"spin_x_add", 0, 2, 1}, {"spin_y_add", 0, 2, 1}, {"spin_z_add", 0, 2, 1},
    {"spin_x_set", 0, 2, 1}, {"spin_y_set", 0, 2, 1}, {"spin_z_set", 0, 2, 1},
    {"sprite_3d_pos", 0, 5, 1}, {"sprite_clip_set", 0, 5, 1}, {"sprite_clip_x1", 0, 1, 1},
    {"sprite_clip_x2", 0, 1, 1}, {"sprite_clip_y1", 0, 1, 1}, {"sprite_clip_y2", 0, 1, 1},
    {"sprite_picked", 0, 1, 1}, {"state_reset", 0, 2, 1}, {"state_set", 0, 2, 1},
    {"state", 1, 2, 1}, {"status", 1, 1, 1}, {"steer", 0, 3, 1}, {"steer_angle_to", 1, 3, 1},
    {"stop_sound", 0, 1, 1}, {"stop_sound_system", 0, 0, 1}, {"restart_sound_system", 0, 0, 1},
    {"stop_task", 0, 0, 1}, {"subtract", 1, 2, 1}, {"sum", 1, 2, 1}, {"thrust", 0, 2, 1},
    {"thrust_xz", 0, 2, 1}, {"timer", 1, 1, 1}, {"timer_set", 0, 2, 1}, {"track", 0, 2, 1},
    {"track_play", 0, 2, 1}, {"track_play_loop", 0, 2, 1}, {"track_play_back", 0, 2, 1},
    {"track_play_reset", 0, 2, 1}, {"track_yr", 0, 2, 1}, {"translucent", 0, 2, 1},
    {"type", 0, 1, 1}, {"velocity", 1, 1, 1}, {"velocity_xz", 1, 1, 1}, {"velocity_copy", 0, 2, 1},
    {"velocity_set", 0, 2, 1}, {"velocity_set_xz", 0, 2, 1}, {"velocity_x", 1, 1, 1},
    {"velocity_y", 1, 1, 1}, {"velocity_z", 1, 1, 1}, {"velocity_x_add", 0, 2, 1},
    {"velocity_y_add", 0, 2, 1}, {"velocity_z_add", 0, 2, 1}, {"velocity_x_set", 0, 2, 1},
    {"velocity_y_set", 0, 2, 1}, {"velocity_z_set", 0, 2, 1}, {"velocity_update", 0, 1, 1},
    {"visual_color_set", 0, 4, 1}, {"visual_rgba_set", 0, 5, 1}, {"visual_picked", 0, 1, 1},
    {"visual_picked_get", 1, 0, 1}, {"visual_picked_get_ex", 1, 1, 1}, {"visual_ray", 1, 2, 1},
    {"wrap", 1, 3, 1}, {"atan_512", 1, 1, 1}, {"attract_point", 0, 5, 1}, {"attract_xr", 0, 3, 1},
    {"attract_y", 0, 3, 1}, {"attract_yr", 0, 3, 1}, {"attract_zr", 0, 3, 1}, {"bottom", 1, 1, 1},
    {"boundary_rebound", 0, 2, 1}, {"ground_set", 0, 1, 1}, {"clip_distance", 0, 0, 1},
    {"cos_512", 1, 1, 1}, {"element_id_set", 0, 2, 1}, {"element_id", 1, 1, 1},
    {"execute", 1, 1, 1}, {"fog_set", 0, 2, 1}, {"fog_start", 0, 0, 1}, {"fog_end", 0, 0, 1},
    {"fog_color_set", 0, 3, 1}, {"friction_xr", 0, 2, 1}, {"friction_yr", 0, 2, 1},
    {"friction_zr", 0, 2, 1}, {"ground_color", 1, 1, 1}, {"ground_color_rebound", 0, 2, 1},
    {"hearer", 0, 1, 1}, {"join_pos", 0, 2, 0}, {"listener", 0, 1, 1}, {"mouse_on", 0, 0, 1},
    {"mouse_off", 0, 0, 1}, {"mouse_set", 0, 2, 1}, {"mouse_x", 1, 0, 1}, {"mouse_y", 1, 0, 1},
    {"mouse_click", 1, 0, 1}, {"nearest_element", 1, 2, 1}, {"orient_straight", 0, 3, 1},
    {"orient_forward", 0, 5, 1}, {"over_ground_slope", 0, 3, 1}, {"random", 1, 2, 1},
    {"random_element", 1, 2, 1}, {"sin_512", 1, 1, 1}, {"radius", 1, 1, 1}, {"radius_max", 1, 1, 1},
    {"register", 1, 2, 1}, {"register_set", 1, 3, 1}, {"sprite_dim_x", 1, 1, 1},
    {"sprite_dim_y", 1, 1, 1}, {"sqrt_512", 1, 1, 1}, {"tan_512", 1, 1, 1},
    {"track_record", 0, 1, 1}, {"volume_rebound", 0, 4, 1}, {"volume_slide", 0, 5, 1},
    {"volume_set", 0, 1, 1}, {"year", 0, 0, 1}, {"month", 0, 0, 1}, {"day", 0, 0, 1},
    {"hour", 0, 0, 1}, {"minute", 0, 0, 1}, {"second", 0, 0, 1}, {"output_b", 0, 2, 1},
    {"output_w", 0, 2, 1}, {"output_d", 0, 2, 1}, {"input_b", 0, 1, 1}, {"input_w", 0, 1, 1},
    {"input_d", 0, 1, 1}, {"oscillate", 0, 3, 1}, {"joy1_z", 0, 2, 1}, {"joy2_z", 0, 2, 1},
    {"joy1_u", 0, 2, 1}, {"joy2_u", 0, 2, 1}, {"joy1_v", 0, 2, 1}, {"joy2_v", 0, 2, 1},
    {"joy1_xr", 0, 0, 1}, {"joy1_yr", 0, 0, 1}, {"joy1_zr", 0, 0, 1}, {"joy2_xr", 0, 0, 1},
    {"joy2_yr", 0, 0, 1}, {"joy2_zr", 0, 0, 1}, {"joy1_dir1", 0, 0, 1}, {"joy1_dir2", 0, 0, 1},
    {"joy1_dir3", 0, 0, 1}, {"joy1_dir4", 0, 0, 1}, {"joy2_dir1", 0, 0, 1}, {"joy2_dir2", 0, 0, 1},
    {"joy2_dir3", 0, 0, 1}, {"joy2_dir4", 0, 0, 1}, {"play_task_status", 0, 0, 1},
    {"spline_key_add", 0, 3, 1}, {"spline_key_set", 0, 5, 1}, {"spline_key_remove", 0, 2, 1},
    {"spline", 0, 4, 1}, {"spline_pos_x", 0, 3, 1}, {"spline_pos_y", 0, 3, 1},
    {"spline_pos_z", 0, 3, 1}, {"globals_sort", 0, 2, 1}, {"track_record_reset", 0, 0, 1},
    {"push", 0, 1, 1}, {"pop", 0, 1, 1}, {"box_collisions_off", 0, 1, 0},
    {"box_collisions_on", 0, 1, 0}, {"rebound", 0, 2, 0}, {"rebound_yr", 0, 2, 0},
    {"rebound_yr_factor", 0, 1, 0}, {"collision_check", 0, 2, 0}, {"h_part_show", 0, 2, 0},
    {"h_poly_collision", 0, 3, 0}, {"h_cpoint_x", 0, 1, 0}, {"h_cpoint_y", 0, 1, 0},
    {"h_cpoint_z", 0, 1, 0}, {"h_cnormal_x", 0, 1, 0}, {"h_cnormal_y", 0, 1, 0},
    {"h_cnormal_z", 0, 1, 0}, {"race_lap", 0, 1, 0}, {"race_lap_set", 0, 2, 0},
    {"race_next_checkpoint", 0, 1, 0}, {"race_next_checkpoint_set", 0, 2, 0}, {"race_on", 0, 1, 0},
    {"race_off", 0, 1, 0}, {"race_position", 0, 1, 0}, {"checkpoint", 0, 2, 0},
    {"checkpoint_add", 0, 4, 0}, {"checkpoint_reset", 0, 0, 0}, {"checkpoint_height_set", 0, 2, 0},
    {"track_smooth", 0, 3, 0}, {"track_yr_smooth", 0, 3, 0}, {"speed_xz_limit", 0, 2, 0},
    {"disable", 0, 1, 0}, {"enable", 0, 1, 0}, {"h_animation_speed", 0, 1, 0},
    {"h_animation_speed_set", 0, 2, 0}, {"h_animation_tick", 0, 1, 0},
    {"h_animation_tick_set", 0, 2, 0}, {"h_animation_range_set", 0, 3, 0},
    {"h_animation_range_start", 0, 1, 0}, {"h_animation_range_end", 0, 1, 0},
    {"display_mode", 0, 0, 0}, {"display_mode_set", 0, 1, 0}, {"max_framerate", 0, 0, 0},
    {"max_framerate_set", 0, 1, 0}, {"h_part_set", 0, 5, 0}, {"h_cpart1_set", 0, 5, 0},
    {"h_cpart2_set", 0, 5, 0}, {"vertex_uv_add", 0, 5, 0}, {"vertex_uv_set", 0, 4, 0},
    {"env_map_update", 0, 1, 0}, {"make_flat", 0, 1, 0}, {"normals_optimize", 0, 1, 0},
    {"rendering_optimize", 0, 1, 0}, {"vertices", 0, 1, 0}, {"vertex_u", 0, 2, 0},
    {"vertex_v", 0, 2, 0}, {"flats_priority_set", 0, 1, 0}, {"shadow_add", 0, 2, 0},
    {"shadow_location_set", 0, 3, 0}, {"shadow_orientation_set", 0, 3, 0}, {"color_set", 0, 3, 0},
    {"print_num", 0, 5, 0}, {"x_clone", 0, 2, 0}, {"x_kill", 0, 1, 0}, {"position_set", 0, 4, 0},
    {"x_picked", 0, 1, 0}, {"x_pick_pt", 0, 1, 0}, {"x_element_get", 0, 5, 0},
    {"rotation_angle", 0, 2, 0}, {"rotation_axis", 0, 1, 0}, {"position", 0, 3, 0},
    {"vertex_pos_set", 0, 5, 0}, {"vertex_posw_set", 0, 5, 0}, {"vertex_pos_add", 0, 5, 0},
    {"vertex_pos", 0, 3, 0}, {"a_create", 0, 1, 0}, {"a_kill", 0, 1, 0}, {"a", 0, 2, 0},
    {"a2", 0, 4, 0}, {"a_set", 0, 3, 0}, {"a2_set", 0, 5, 0}, {"a_byte", 0, 2, 0},
    {"a_byte_set", 0, 3, 0}, {"a_word", 0, 2, 0}, {"a_word_set", 0, 3, 0}, {"a_dword", 0, 2, 0},
    {"a_dword_set", 0, 3, 0}, {"a_size", 0, 1, 0}, {"a_load", 0, 1, 0}, {"a_save", 0, 2, 0},
    {"x_load", 0, 2, 0}, {"sort_mode_set", 0, 1, 0}, {"h_sort_mode_set", 0, 2, 0},
    {"poly_sort_mode_set", 0, 1, 0}, {"antialias_set", 0, 1, 0}, {"v_shadow_create", 0, 1, 0},
    {"v_shadow_factor", 0, 2, 0}, {"v_shadow_delete", 0, 0, 0}, {"v_shadow_set", 0, 5, 0},
    {"v_shadow_volume_add", 0, 3, 0}, {"v_shadow_volume_reset", 0, 0, 0},
    {"v_shadow_update", 0, 1, 0}, {"material_set", 0, 5, 0}, {"material_apply", 0, 1, 0},
    {"state_change_optimize", 0, 1, 0}, {"render", 0, 0, 0}, {"reset", 0, 0, 0},
    {"dithering_set", 0, 1, 0}, {"specular_set", 0, 1, 0}, {"fogeffect_set", 0, 1, 0},
    {"background3d_set", 0, 1, 0}, {"rendering_device_set", 0, 1, 0}, {"sound_set", 0, 1, 0},
    {"sound_mixing_set", 0, 1, 0}, {"clear", 0, 0, 0}, {"input_process", 0, 0, 0},
    {"str_create", 0, 1, 0}, {"str_kill", 0, 1, 0}, {"print", 0, 4, 0}, {"str_copy", 0, 4, 0},
    {"str_add", 0, 2, 0}, {"font_set", 0, 4, 0}, {"run", 0, 1, 0}, {"run_task", 0, 1, 0},
    {"play", 0, 1, 0}, {"play_task", 0, 1, 0}, {"globals_save", 0, 3, 0}, {"globals_load", 0, 3, 0},
    {"str_comp", 0, 3, 0}, {"str_len", 0, 1, 0}, {"bmp_show", 0, 1, 0}, {"input_box", 0, 3, 0},
    {"msg_box", 0, 4, 0}, {"list_box", 0, 5, 0}, {"file_box", 0, 3, 0}, {"str_input", 0, 1, 0},
    {"str_input_set", 0, 1, 0}, {"str_chr", 0, 2, 0}, {"str_num", 0, 3, 0}, {"str_val", 0, 1, 0},
    {"vertices_get", 0, 3, 0}, {"vertices_set", 0, 3, 0}, {"normals", 0, 0, 0},
    {"normals_get", 0, 3, 0}, {"normals_set", 0, 3, 0}, {"a_interpolate", 0, 5, 0},
    {"a_copy", 0, 5, 0}, {"element", 0, 1, 0}, {"element_find", 0, 4, 0}, {"mouse_wheel", 0, 0, 0},
    {"file_exists", 0, 1, 0}, {"zbuffer_mode_set", 0, 2, 0}, {"esound_load", 0, 1, 0},
    {"esound_unload", 0, 1, 0}, {"esound_play", 0, 2, 0}, {"esound_volume_set", 0, 2, 0},
    {"esound_frequency_set", 0, 2, 0}, {"esound_minmaxdist_set", 0, 3, 0}, {"esound_stop", 0, 1, 0},
    {"esound_state", 0, 1, 0}, {"esound_location_set", 0, 4, 0}, {"machine_number_set", 0, 1, 0},
    {"machine_number", 0, 0, 0}, {"machine_status", 0, 1, 0}, {"network_mismatch", 0, 0, 0},
    {"network_mode", 0, 0, 0}, {"machine_element_find", 0, 4, 0}, {"machine_element", 0, 1, 0},
    {"host", 0, 0, 0}, {"str_send", 0, 2, 0}, {"str_poll", 0, 2, 0},
};

// Names that share one implementation; the first name of each group is the routine's row.
const char* const kSynonyms[][3] = {
    {"above_ground_level", "agl", "aglevel"},
    {"absolute_value", "abs", nullptr},
    {"boing_x", "rebound_x", nullptr},
    {"boing_y", "rebound_y", nullptr},
    {"boing_z", "rebound_z", nullptr},
    {"credits_add", "score_add", nullptr},
    {"credits_set", "score_set", nullptr},
    {"credits", "score", nullptr},
    {"flat_scale_x", "scale_x", nullptr},
    {"flat_scale_y", "scale_y", nullptr},
    {"joy_b", "joy1_b", nullptr},
    {"samplerate_set", "sound_rate_set", nullptr},
    {"speed_set", "velocity_set", nullptr},
    {"speed_xz_set", "velocity_set_xz", nullptr},
    {"boundary_rebound", "ground_color_rebound", nullptr},
    {"hearer", "listener", nullptr},
    {"a_kill", "str_kill", nullptr},
};

// Entries of the symbol list: the rows plus the closing "*end*".
static_assert(kKeywordRows + 1 <= kMaxKeywordEntries, "Too many keywords!");

int32_t find_row(std::string_view name) {
  for (int32_t k = 0; k < kKeywordRows; ++k)
    if (name == kRows[k].name) return k;
  return -1;
}

// Constant lookup tables built once from kRows: a hash index of the names (first row wins)
// and the routine row of every row.
struct KeywordIndex {
  static constexpr uint32_t kSlots = 2048;  // power of two, about four times the rows
  std::array<int16_t, kSlots> slot{};
  std::array<int16_t, kKeywordRows> routine{};

  static uint32_t hash(std::string_view s) {
    uint32_t h = 2166136261u;
    for (unsigned char ch : s) h = (h ^ ch) * 16777619u;
    return h;
  }

  KeywordIndex() {
    slot.fill(-1);
    for (int32_t k = 0; k < kKeywordRows; ++k) {
      routine[k] = static_cast<int16_t>(k);
      uint32_t i = hash(kRows[k].name) & (kSlots - 1);
      while (slot[i] >= 0) {
        if (std::string_view(kRows[slot[i]].name) == kRows[k].name) break;
        i = (i + 1) & (kSlots - 1);
      }
      if (slot[i] < 0) slot[i] = static_cast<int16_t>(k);
    }
    for (const auto& group : kSynonyms) {
      int32_t first = find_row(group[0]);
      for (const char* name : group)
        if (name) routine[find_row(name)] = static_cast<int16_t>(first);
    }
  }

  int32_t find(std::string_view name) const {
    uint32_t i = hash(name) & (kSlots - 1);
    while (slot[i] >= 0) {
      if (std::string_view(kRows[slot[i]].name) == name) return slot[i];
      i = (i + 1) & (kSlots - 1);
    }
    return -1;
  }
};

const KeywordIndex& index() {
  static const KeywordIndex kIndex;
  return kIndex;
}

}  // namespace

const KeywordRow& keyword_row(int32_t row) { return kRows[row]; }

std::string keyword_row_text(int32_t row) {
  const KeywordRow& r = kRows[row];
  std::string s;
  s += char('0' + r.returns);
  s += '|';
  s += r.name;
  s += '|';
  s += char('0' + r.params);
  s += '|';
  s += char('0' + r.flag);
  s += '|';
  return s;
}

int32_t keyword_find(std::string_view name) { return index().find(name); }

int32_t keyword_routine_row(int32_t row) { return index().routine[row]; }

uint32_t keyword_entry_address(int32_t row) {
  return guest::kKeywordEntryBase +
         guest::kKeywordEntryStride * static_cast<uint32_t>(keyword_routine_row(row));
}

int32_t keyword_at_address(uint32_t addr) {
  int32_t row = keyword_row_at(addr, kKeywordRows);
  if (row < 0 || keyword_routine_row(row) != row) return -1;
  return row;
}

}  // namespace korva
