// Animation: keyframe track interpolation, and the scene's animation and drawing operations
// (declared with the scene's records, defined in this library).
#pragma once

#include "anim/tracks.h"
#include "scene/scene.h"
