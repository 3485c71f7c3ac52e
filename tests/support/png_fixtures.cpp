// Reference pictures for the image tests, made and read by the netpbm tools.
#include "tests/support/png_fixtures.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

uint32_t Big32(std::span<const uint8_t> bytes, size_t at) {
  return uint32_t{bytes[at]} << 24 | uint32_t{bytes[at + 1]} << 16 | uint32_t{bytes[at + 2]} << 8 | bytes[at + 3];
}

uint8_t To8Bits(uint32_t sample, int maxval) {
  if (maxval == 1) return sample ? 255 : 0;
  if (maxval == 65535) return static_cast<uint8_t>(sample >> 8);
  return static_cast<uint8_t>(sample);
}

// The pattern: neighbouring pixels and channels differ, and the values sweep the whole range.
uint32_t PatternSample(int index, int channel, int maxval) {
  const uint64_t value = uint64_t(index) * 2654435761u + uint64_t(channel) * 40503u + 17;
  return static_cast<uint32_t>((value >> 7) % (uint64_t(maxval) + 1));
}

}  // namespace

ReferencePicture MakeReferencePicture(int width, int height, int channels, int maxval, int colours) {
  ReferencePicture picture{width, height, channels, maxval, {}};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int index = colours > 0 ? (x + 2 * y) % colours : y * width + x;
      for (int c = 0; c < channels; ++c) picture.samples.push_back(PatternSample(index, c, maxval));
    }
  }
  return picture;
}

std::array<uint8_t, 4> ExpectedRgba(const ReferencePicture& picture, int x, int y,
                                    const std::vector<uint32_t>& transparent) {
  const size_t at = (size_t(y) * picture.width + x) * picture.channels;
  const uint32_t* s = picture.samples.data() + at;
  std::array<uint8_t, 4> rgba{};
  const bool grey = picture.channels <= 2;
  for (int c = 0; c < 3; ++c) rgba[c] = To8Bits(grey ? s[0] : s[c], picture.maxval);
  const bool has_alpha = picture.channels == 2 || picture.channels == 4;
  rgba[3] = has_alpha ? To8Bits(s[picture.channels - 1], picture.maxval) : 255;
  if (!transparent.empty() && std::equal(transparent.begin(), transparent.end(), s)) rgba[3] = 0;
  return rgba;
}

std::string MakeTestFolder() {
  std::string pattern = testing::TempDir() + "cratevale_images_XXXXXX";
  if (!mkdtemp(pattern.data())) {
    ADD_FAILURE() << "cannot make a temporary folder";
    return std::string();
  }
  return pattern + "/";
}

std::string WriteNetpbm(const ReferencePicture& picture, const std::string& path) {
  std::ostringstream header;
  if (picture.channels == 1 || picture.channels == 3) {
    header << (picture.channels == 1 ? "P5" : "P6") << "\n" << picture.width << " " << picture.height << "\n"
           << picture.maxval << "\n";
  } else {
    header << "P7\nWIDTH " << picture.width << "\nHEIGHT " << picture.height << "\nDEPTH " << picture.channels
           << "\nMAXVAL " << picture.maxval << "\nTUPLTYPE " << (picture.channels == 2 ? "GRAYSCALE_ALPHA" : "RGB_ALPHA")
           << "\nENDHDR\n";
  }
  std::ofstream out(path, std::ios::binary);
  out << header.str();
  for (uint32_t sample : picture.samples) {
    if (picture.maxval > 255) out.put(static_cast<char>(sample >> 8));
    out.put(static_cast<char>(sample & 0xFF));
  }
  return path;
}

MemoryBlock RunConverter(const std::string& command) {
  MemoryBlock output;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return output;
  uint8_t chunk[4096];
  size_t got = 0;
  while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.insert(output.end(), chunk, chunk + got);
  if (pclose(pipe) != 0) output.clear();
  return output;
}

std::vector<uint8_t> ParsePamAsRgba(std::span<const uint8_t> pam, int* width, int* height) {
  const std::string text(pam.begin(), pam.end());
  const size_t end = text.find("ENDHDR\n");
  if (text.rfind("P7\n", 0) != 0 || end == std::string::npos) return {};
  std::istringstream header(text.substr(3, end - 3));
  std::string key;
  int depth = 0, maxval = 0;
  while (header >> key) {
    if (key == "WIDTH") header >> *width;
    else if (key == "HEIGHT") header >> *height;
    else if (key == "DEPTH") header >> depth;
    else if (key == "MAXVAL") header >> maxval;
    else header.ignore(1 << 20, '\n');
  }
  const size_t body = end + 7;
  const size_t pixels = size_t(*width) * *height;
  if (maxval != 255 || (depth != 2 && depth != 4) || pam.size() < body + pixels * depth) return {};
  std::vector<uint8_t> rgba;
  for (size_t i = 0; i < pixels; ++i) {
    const uint8_t* s = pam.data() + body + i * depth;
    if (depth == 2) rgba.insert(rgba.end(), {s[0], s[0], s[0], s[1]});
    else rgba.insert(rgba.end(), s, s + 4);
  }
  return rgba;
}

PngFacts ReadPngFacts(std::span<const uint8_t> png) {
  PngFacts facts;
  if (png.size() < 33) return facts;
  facts.bit_depth = png[24];
  facts.colour_type = png[25];
  facts.interlace = png[28];
  std::vector<uint8_t> compressed;
  for (size_t at = 8; at + 8 <= png.size();) {
    const uint32_t length = Big32(png, at);
    const std::string type(png.begin() + at + 4, png.begin() + at + 8);
    if (at + 12 + length > png.size()) break;
    if (type == "tRNS") facts.has_trns = true;
    if (type == "IDAT") compressed.insert(compressed.end(), png.begin() + at + 8, png.begin() + at + 8 + length);
    at += 12 + length;
  }
  // Rows of the non-interlaced image: one filter byte, then the row's bytes.
  const int channels[] = {1, 0, 3, 1, 2, 0, 4};
  const uint32_t width = Big32(png, 16), height = Big32(png, 20);
  const size_t row = (size_t(width) * channels[facts.colour_type % 7] * facts.bit_depth + 7) / 8 + 1;
  std::vector<uint8_t> raw(row * height);
  uLongf raw_size = raw.size();
  if (facts.interlace == 0 && uncompress(raw.data(), &raw_size, compressed.data(), compressed.size()) == Z_OK &&
      raw_size == raw.size()) {
    facts.unfiltered = true;
    for (uint32_t y = 0; y < height; ++y) facts.unfiltered = facts.unfiltered && raw[y * row] == 0;
  }
  return facts;
}

MemoryBlock ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return MemoryBlock(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
