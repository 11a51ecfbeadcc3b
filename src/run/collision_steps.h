// Collisions and ground maps in a run: the BOUNDARY loader (ground maps generated from their
// model when missing or stale), the collision tables at run start, the collision pass each frame.
#pragma once
#include "brain/keyword_binding.h"
#include "engine/engine.h"
#include "run/run.h"

namespace korva {

// Registers the BOUNDARY loader, the run-start set-up and the collision pass. The run's
// collision state lives with these steps; a system without one is pointed at it.
void add_collision_steps(RunPipeline& p);

// The path of the ground map beside a model ("terrain.3ds" gives "terrain.m3d").
std::string ground_map_path(std::string_view model_path);
// Makes sure the map beside model_path belongs to it, generating it (with the notice) when it
// is missing or stale; false when it could not be written.
bool prepare_ground_map(System& s, std::string_view model_path);
// Reads a ground map; a missing or bad one is reported on stderr and grndmaps/default_.m3d is
// read instead. nullptr only when that fails too.
std::shared_ptr<GroundMap> load_ground_map(std::string_view path);

}  // namespace korva
