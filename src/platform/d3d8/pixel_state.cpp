#include "platform/d3d8/pipeline.h"
