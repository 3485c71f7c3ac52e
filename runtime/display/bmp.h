// BMP pictures: a decoder for uncompressed Windows bitmaps (1, 4, 8, 16, 24 and 32 bits per pixel),
// always delivered as 8-bit RGB rows.
#pragma once

// Appends the BMP decoder to the codec registry; calling again does nothing.
void bmp_decoder_register();
