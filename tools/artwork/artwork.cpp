// Draws every picture of the asset pack into a folder: artwork <folder> [--sheet <file.png>].
// Each picture must fit the buffer the game reads it into; a larger one fails the build.
#include <cstdio>
#include <cstring>
#include <functional>

#include "tools/artwork/artwork.h"

namespace artwork {

const std::vector<AspectShape>& AspectShapes() {
  static const std::vector<AspectShape> shapes = {
      {"3x2", 1920, 1280},  {"4x3", 1920, 1440},   {"5x4", 1920, 1536},
      {"16x9", 1920, 1080}, {"16x10", 1920, 1200}, {"17x9", 2040, 1080}};
  return shapes;
}

}  // namespace artwork

namespace {

using artstyle::Canvas;
using artstyle::Facing;
using artstyle::PngKind;

struct Picture {
  std::string name;
  int width, height;
  PngKind kind;
  size_t limit;
  std::function<void(Canvas&)> draw;
};

std::vector<Picture> Pictures() {
  std::vector<Picture> pictures;
  for (const artwork::AspectShape& shape : artwork::AspectShapes()) {
    pictures.push_back({std::string("title_") + shape.suffix + ".png", shape.width, shape.height,
                        PngKind::Keyed, artwork::kFullScreenLimit, artwork::DrawTitle});
    pictures.push_back({std::string("tgs_") + shape.suffix + ".png", shape.width, shape.height,
                        PngKind::Opaque, artwork::kFullScreenLimit, artwork::DrawStudioSplash});
  }
  pictures.push_back({"crate.png", 64, 64, PngKind::Opaque, artwork::kSmallLimit,
                      [](Canvas& c) { artstyle::DrawCrate(c.cr(), 64); }});
  pictures.push_back({"tile_01.png", 64, 64, PngKind::Opaque, artwork::kSmallLimit,
                      // The filler around the board: the grass the board itself lies in.
                      [](Canvas& c) { artstyle::DrawGround(c.cr(), 64, 0); }});
  const std::pair<const char*, Facing> facings[] = {
      {"left", Facing::Left}, {"right", Facing::Right}, {"up", Facing::Up}, {"down", Facing::Down}};
  for (bool pushing : {false, true}) {
    for (const auto& [suffix, facing] : facings) {
      Facing f = facing;
      pictures.push_back({std::string(pushing ? "push_" : "idle_") + suffix + ".png", 64, 64,
                          PngKind::Alpha, artwork::kSmallLimit,
                          [f, pushing](Canvas& c) { artstyle::DrawKeeper(c.cr(), 64, f, pushing); }});
    }
  }
  pictures.push_back({"locked.png", 128, 128, PngKind::Opaque, artwork::kSmallLimit,
                      artwork::DrawLockMark});
  pictures.push_back({"titleback_c.png", 320, 480, PngKind::Opaque, artwork::kSmallLimit,
                      artwork::DrawTitleBackground});
  return pictures;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 && !(argc == 4 && std::strcmp(argv[2], "--sheet") == 0)) {
    std::fprintf(stderr, "usage: artwork <folder> [--sheet <file.png>]\n");
    return 2;
  }
  std::string folder = argv[1];
  int failures = 0;
  for (const Picture& picture : Pictures()) {
    Canvas canvas(picture.width, picture.height);
    picture.draw(canvas);
    std::vector<uint8_t> png = artstyle::EncodePng(canvas, picture.kind);
    if (png.empty() || png.size() > picture.limit) {
      std::fprintf(stderr, "artwork: %s is %zu bytes, its limit %zu\n", picture.name.c_str(),
                   png.size(), picture.limit);
      ++failures;
      continue;
    }
    std::string path = folder + "/" + picture.name;
    FILE* file = std::fopen(path.c_str(), "wb");
    bool written = file && std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (file && std::fclose(file) != 0) written = false;
    if (!written) {
      std::fprintf(stderr, "artwork: cannot write %s\n", path.c_str());
      ++failures;
    }
  }
  if (failures == 0 && argc == 4 && !artwork::WriteContactSheet(folder, argv[3])) {
    std::fprintf(stderr, "artwork: cannot write the contact sheet %s\n", argv[3]);
    ++failures;
  }
  return failures == 0 ? 0 : 1;
}
