// Animation: keyframe track interpolation (and, beside it, the scene animation and drawing).
#pragma once

#include "anim/tracks.h"
