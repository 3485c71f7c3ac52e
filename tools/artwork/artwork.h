// The artwork tool: draws every picture of the asset pack with the shared art style.
#pragma once

#include <string>
#include <vector>

#include "tools/artstyle/artstyle.h"

namespace artwork {

// Largest entry the game reads for each kind of picture.
inline constexpr size_t kFullScreenLimit = 4194304;
inline constexpr size_t kSmallLimit = 204800;

// The six screen shapes that have their own title and splash pictures.
struct AspectShape {
  const char* suffix;  // "16x9" gives title_16x9.png and tgs_16x9.png
  int width, height;
};
const std::vector<AspectShape>& AspectShapes();

// Scenes, each drawn into a whole canvas.
void DrawTitle(artstyle::Canvas& canvas);          // see-through sky: pure black areas
void DrawStudioSplash(artstyle::Canvas& canvas);
void DrawTitleBackground(artstyle::Canvas& canvas);
void DrawLockMark(artstyle::Canvas& canvas);

// Writes a contact sheet of the pictures in folder: the title screens as the game composes
// them (background behind the see-through title), the splashes and the small pictures.
bool WriteContactSheet(const std::string& folder, const std::string& path);

}  // namespace artwork
