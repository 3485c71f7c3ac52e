// Sprites: textures of the screen's GL context drawn as quads.
#include "runtime/display/sprite.h"

void sprite_free(int64_t) {}
