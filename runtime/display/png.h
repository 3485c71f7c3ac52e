// PNG pictures through libpng: the decoder (every colour type and depth, delivered as 8-bit RGB
// or RGBA) and the encoder that writes screenshots (8-bit RGB or RGBA, no row filtering, zlib
// level 9).
#pragma once

#include "runtime/display/image.h"
#include "runtime/runtime.h"

// Append the PNG decoder / encoder to the codec registry; calling again does nothing.
void png_decoder_register();
void png_encoder_register();

// Writes the rows as a PNG file (name in UTF-8): colour type RGBA for depth 32, RGB for depth 24.
// Rows marked kImageBottomUp come out upright. 1 on success; on failure 0 and a half-written file
// is deleted. `option` is accepted for the encoder interface and has no effect.
int png_encode_to_file(const std::string& file_name, const PixelRows& rows, int option);
// The same PNG in memory; an empty block on failure.
MemoryBlock png_encode_to_memory(const PixelRows& rows);
