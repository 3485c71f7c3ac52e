// Reference pictures for the image tests: known pixels written as netpbm files and converted to
// PNG or BMP by the netpbm tools (installed by the set-up script), so that the decoders are
// checked against files made by an encoder other than ours, and our files against another decoder.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "runtime/runtime.h"

struct ReferencePicture {
  int width = 0;
  int height = 0;
  int channels = 3;   // 1 grey, 2 grey and alpha, 3 RGB, 4 RGBA
  int maxval = 255;   // 1, 255 or 65535
  std::vector<uint32_t> samples;  // width x height x channels, top row first
};

// A picture with a fixed pattern of samples (alpha included, from 0 to maxval). With `colours`
// above 0 it holds at most that many distinct pixels, so that converters make a palette of it.
ReferencePicture MakeReferencePicture(int width, int height, int channels, int maxval, int colours = 0);

// R, G, B, A of a pixel as our decoder should deliver it in 8 bits: grey spread to R, G and B,
// 16-bit samples cut to their high byte, alpha 255 for pictures without alpha except pixels
// equal to `transparent` (samples of one pixel, or empty), which get alpha 0.
std::array<uint8_t, 4> ExpectedRgba(const ReferencePicture& picture, int x, int y,
                                    const std::vector<uint32_t>& transparent = {});

// A fresh folder for one test's files (its path ends in "/"), empty when none could be made.
std::string MakeTestFolder();

// Writes the picture as PGM or PPM (one or three channels) or PAM (with alpha); returns the path.
std::string WriteNetpbm(const ReferencePicture& picture, const std::string& path);

// Runs a shell command and returns what it wrote to standard output; empty when it failed.
MemoryBlock RunConverter(const std::string& command);

// Reads the PAM that `pngtopam -alphapam` writes: samples of every pixel in RGBA order (grey
// spread to R, G, B), 8 bits. Empty when the text is not such a file.
std::vector<uint8_t> ParsePamAsRgba(std::span<const uint8_t> pam, int* width, int* height);

// What a PNG file's header says about it.
struct PngFacts {
  int bit_depth = 0;
  int colour_type = 0;
  int interlace = 0;
  bool has_trns = false;
  bool unfiltered = false;  // every row's filter byte is 0 (non-interlaced files only)
};
PngFacts ReadPngFacts(std::span<const uint8_t> png);

// Reads a whole file; empty when it cannot be read.
MemoryBlock ReadWholeFile(const std::string& path);
