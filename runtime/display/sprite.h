// Sprites: pictures held as textures of the screen's OpenGL context and drawn as one quad each,
// opaque or blended, dimmed, tinted, zoomed and rotated, in the game's top-left coordinates.
#pragma once

#include <cstdint>

// Frees one sprite, or every sprite with -1.
void sprite_free(int64_t number);
