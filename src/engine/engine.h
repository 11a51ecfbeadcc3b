// The simulation engine's public face: element handles, angles and the integer rotation rule,
// the math tables, the motion keywords, collisions and ground maps.
#pragma once

#include "engine/collision.h"
#include "engine/element_access.h"
#include "engine/math_tables.h"
#include "engine/motion.h"
#include "engine/rotation.h"

namespace korva {
struct KeywordBindings;
// Binds every motion keyword (and its synonyms) into the machine's binding table.
void bind_motion_keywords(KeywordBindings& b);
// Binds the collision, rebound, ground and volume keywords.
void bind_collision_keywords(KeywordBindings& b);
}  // namespace korva
