// The keyword rows of sprites, counters and printed text, bound to their routines.
#include "brain/keyword_binding.h"
#include "engine/keyword_table.h"
#include "render/overlay.h"

namespace korva {

void bind_overlay_keywords(KeywordBindings& b) {
  static const KeywordBinding kEntries[] = {
      {"sprite_clip_set", keyword_routine<sprite_clip_set>},
      {"sprite_clip_x1", keyword_routine<sprite_clip_x1>},
      {"sprite_clip_x2", keyword_routine<sprite_clip_x2>},
      {"sprite_clip_y1", keyword_routine<sprite_clip_y1>},
      {"sprite_clip_y2", keyword_routine<sprite_clip_y2>},
      {"sprite_dim_x", keyword_routine<sprite_dim_x>},
      {"sprite_dim_y", keyword_routine<sprite_dim_y>},
      {"sprite_picked", keyword_routine<sprite_picked>},
      {"counter_picked", keyword_routine<counter_picked>},
      {"sprite_3d_pos", keyword_routine<sprite_3d_pos>},
      {"font_set", keyword_routine<font_set>},
      {"color_set", keyword_routine<color_set>},
      {"print_num", keyword_routine<print_num>},
      {"print", keyword_routine<print>},
  };
  bind_all(b, kEntries);
}

}  // namespace korva
