#include "platform/d3dx/d3dx8.h"
