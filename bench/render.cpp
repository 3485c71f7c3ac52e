// Frame cost of a play-screen-like picture drawn through the sprite layer, against the same quads
// drawn with bare OpenGL calls on the same screen, at 1920x1080 and 1024x576; the cost of
// re-rendering one HUD text box; the real play screen of the game (the level with the most crates,
// during a move, its two HUD text boxes re-rendered every frame) against bare OpenGL drawing the
// same quads with the same textures; and the processor time of an idle loop held to 60 frames a
// second. Run on an X server with GLX and RandR (for example the virtual one the tests use); the
// packs are read from the folder given as the first argument, else from the program's folder.
#include <GL/gl.h>
#include <GL/glext.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "game/core/board.h"
#include "game/core/game.h"
#include "game/maps.h"
#include "game/play_screen.h"
#include "game/screens.h"
#include "runtime/data/files.h"
#include "runtime/data/pack.h"
#include "runtime/display/drawing.h"
#include "runtime/display/image.h"
#include "runtime/display/png.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprite.h"
#include "runtime/display/toolkit.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPictureSize = 64;
constexpr int kCrates = 12;
constexpr int kFrames = 40;
constexpr int kPlayFrames = 120;  // the real play screen's comparison is the one with a goal

// Sprite numbers of the picture set.
enum : int { kFloor = 1, kWall, kTarget, kDecoration, kCrate, kKeeper, kHudBar, kHudName, kHudTime, kSpriteCount };

struct Quad {
  int sprite;
  int x, y, size_x, size_y;
  bool blended;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A generated picture: a colour with a darker frame and, for blended ones, a transparent border.
MemoryBlock TilePicture(uint8_t red, uint8_t green, uint8_t blue, bool with_border) {
  std::vector<uint8_t> bytes;
  for (int y = 0; y < kPictureSize; ++y) {
    for (int x = 0; x < kPictureSize; ++x) {
      const bool edge = x < 4 || y < 4 || x >= kPictureSize - 4 || y >= kPictureSize - 4;
      const uint8_t shade = edge ? 2 : 1;
      const bool clear = with_border && edge;
      bytes.insert(bytes.end(), {static_cast<uint8_t>(clear ? 0 : red / shade), static_cast<uint8_t>(clear ? 0 : green / shade),
                                 static_cast<uint8_t>(clear ? 0 : blue / shade), 255});
    }
  }
  PixelRows rows;
  rows.bytes = bytes;
  rows.width = rows.height = kPictureSize;
  rows.pitch = kPictureSize * 4;
  return png_encode_to_memory(rows);
}

// The play screen: three board layers, filler tiles around the board, crates, keeper, HUD.
std::vector<Quad> PlayScreenLike(int width, int height) {
  const int tile = std::min(width / kBoardWidth, (height * 9 / 10) / kBoardHeight);
  const int offset_x = (width - tile * kBoardWidth) / 2, offset_y = height / 10;
  std::vector<Quad> quads;
  for (int layer = 0; layer < 3; ++layer) {
    for (int row = 0; row < kBoardHeight; ++row) {
      for (int column = 0; column < kBoardWidth; ++column) {
        const int sprite = layer == 0 ? kFloor : layer == 1 ? ((row + column) % 3 ? kWall : kTarget) : kDecoration;
        quads.push_back({sprite, offset_x + column * tile, offset_y + row * tile, tile, tile, layer > 0});
      }
    }
  }
  for (int i = 0; i < 50; ++i) quads.push_back({kFloor, (i % 25) * tile, i < 25 ? 0 : height - tile, tile, tile, false});
  for (int i = 0; i < kCrates; ++i) quads.push_back({kCrate, offset_x + (3 + i * 2) * tile, offset_y + 5 * tile, tile, tile, true});
  quads.push_back({kKeeper, offset_x + 10 * tile, offset_y + 8 * tile, tile, tile, true});
  quads.push_back({kHudBar, 0, 0, width, height / 10, true});
  quads.push_back({kHudName, width / 20, height / 40, width / 3, height / 20, true});
  quads.push_back({kHudTime, width / 2, height / 40, width / 4, height / 20, true});
  return quads;
}

// One HUD text box: a panel image with a box and a text, copied into its sprite.
void RenderHudText(int sprite, int width, int height, const Text& text) {
  const int64_t image = image_create(-1, width, height, 32, 0x4A4A4A);
  if (drawing_start(image_output(image))) {
    draw_box(0, 0, width, 2, rgb(232, 106, 23));
    drawing_stop();
  }
  if (image_vector_output(image, kUnitPixel) && vector_drawing_start(1)) {
    vector_font(font_handle(0), height * 0.6);
    vector_source_color(rgba(255, 255, 255, 255));
    vector_move_to((width - vector_text_width(text)) / 2, (height - vector_text_height(text)) / 2);
    vector_text_draw(text);
    vector_drawing_stop();
  }
  if (sprite_width(sprite) != width || sprite_height(sprite) != height) sprite_create(sprite, width, height);
  if (drawing_start(sprite_output(sprite))) {
    draw_image(image_handle(image), 0, 0);
    drawing_stop();
  }
  image_free(image);
}

void DrawThroughRuntime(const std::vector<Quad>& quads) {
  for (const Quad& q : quads) {
    sprite_zoom(q.sprite, q.size_x, q.size_y);
    if (q.blended) {
      sprite_display_blended(q.sprite, q.x, q.y);
    } else {
      sprite_display(q.sprite, q.x, q.y);
    }
  }
}

// One textured quad with plain GL calls: the whole bound rectangle texture (its size in texels)
// on a screen rectangle given from the top-left, in GL's bottom-up coordinates.
void BareQuad(int x, int y, int width, int height, int texture_width, int texture_height, int screen_height) {
  const float left = static_cast<float>(x), right = static_cast<float>(x + width);
  const float top = static_cast<float>(screen_height - y), bottom = static_cast<float>(screen_height - y - height);
  const float tw = static_cast<float>(texture_width), th = static_cast<float>(texture_height);
  glBegin(GL_QUADS);
  glTexCoord2f(0, th);
  glVertex3f(left, top, 0);
  glTexCoord2f(tw, th);
  glVertex3f(right, top, 0);
  glTexCoord2f(tw, 0);
  glVertex3f(right, bottom, 0);
  glTexCoord2f(0, 0);
  glVertex3f(left, bottom, 0);
  glEnd();
}

// The same quads with plain GL calls: state set when it changes, one quad per picture.
void DrawBare(const std::vector<Quad>& quads, const GLuint* textures, int screen_height) {
  GLuint bound = 0;
  int blend = -1;
  glEnable(GL_BLEND);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glColor4f(1, 1, 1, 1);
  for (const Quad& q : quads) {
    if (textures[q.sprite] != bound) {
      bound = textures[q.sprite];
      glBindTexture(GL_TEXTURE_RECTANGLE_ARB, bound);
    }
    if (blend != q.blended) {
      blend = q.blended;
      glBlendFunc(GL_SRC_ALPHA, q.blended ? GL_ONE_MINUS_SRC_ALPHA : GL_ZERO);
    }
    BareQuad(q.x, q.y, q.size_x, q.size_y, kPictureSize, kPictureSize, screen_height);
  }
}

// Textures of the bare path, uploaded from the same PNG pictures.
std::vector<GLuint> BareTextures(const std::vector<MemoryBlock>& pictures) {
  std::vector<GLuint> textures(kSpriteCount, 0);
  for (int sprite = kFloor; sprite < kSpriteCount; ++sprite) {
    DecodedPicture picture;
    image_decode_memory(pictures[sprite], kImageBottomUp, &picture);
    glGenTextures(1, &textures[sprite]);
    glBindTexture(GL_TEXTURE_RECTANGLE_ARB, textures[sprite]);
    glTexImage2D(GL_TEXTURE_RECTANGLE_ARB, 0, GL_RGBA, picture.width, picture.height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
                 picture.pixels.data());
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_RECTANGLE_ARB, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
  }
  return textures;
}

// Adds a video mode of the size to the display's first lit output, when it has none.
void EnsureMode(Display* display, int width, int height) {
  const Window root = DefaultRootWindow(display);
  XRRScreenResources* resources = XRRGetScreenResources(display, root);
  for (int i = 0; i < resources->nmode; ++i) {
    if (static_cast<int>(resources->modes[i].width) == width && static_cast<int>(resources->modes[i].height) == height) {
      XRRFreeScreenResources(resources);
      return;
    }
  }
  const std::string name = std::to_string(width) + "x" + std::to_string(height) + "_bench";
  XRRModeInfo info{};
  info.width = width;
  info.height = height;
  info.hTotal = width;
  info.vTotal = height;
  info.dotClock = static_cast<unsigned long>(width) * height * 60;
  info.name = const_cast<char*>(name.c_str());
  info.nameLength = static_cast<unsigned>(name.size());
  for (int i = 0; i < resources->noutput; ++i) {
    XRROutputInfo* output = XRRGetOutputInfo(display, resources, resources->outputs[i]);
    if (output && output->crtc) {
      XRRAddOutputMode(display, resources->outputs[i], XRRCreateMode(display, root, &info));
      XRRFreeOutputInfo(output);
      break;
    }
    if (output) XRRFreeOutputInfo(output);
  }
  XSync(display, False);
  XRRFreeScreenResources(resources);
}

struct FrameTimes {
  double runtime_full = 0;   // quads plus the two HUD text boxes re-rendered
  double runtime_quads = 0;  // quads only
  double bare = 0;
};

FrameTimes MeasureAt(int width, int height, const std::vector<MemoryBlock>& pictures) {
  FrameTimes times;
  if (!screen_open(width, height, 32, u"Cratevale", 0)) {
    std::printf("no %dx%d screen\n", width, height);
    return times;
  }
  for (int sprite = kFloor; sprite < kSpriteCount; ++sprite) {
    sprite_load_from_memory(sprite, pictures[sprite], sprite == kKeeper ? kSpriteKeepAlpha : 0);
  }
  const std::vector<GLuint> textures = BareTextures(pictures);
  const std::vector<Quad> quads = PlayScreenLike(width, height);
  const int box_width = width / 3, box_height = height / 20;
  // The three kinds of frame take turns, one frame each, and each kind reports its median: load
  // from other processes then weighs on all three alike.
  std::vector<double> samples[3];
  for (int frame = 0; frame < kFrames; ++frame) {
    for (int kind = 0; kind < 3; ++kind) {
      const auto start = Clock::now();
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      if (kind == 0) {
        RenderHudText(kHudName, box_width, box_height, u"Level " + str_from_int(frame % 60));
        RenderHudText(kHudTime, box_width * 3 / 4, box_height, str_from_int(frame * 17) + u" ms");
      }
      if (kind == 2) {
        DrawBare(quads, textures.data(), height);
      } else {
        DrawThroughRuntime(quads);
      }
      glFinish();
      samples[kind].push_back(Ms(Clock::now() - start));
    }
  }
  times = {Median(samples[0]), Median(samples[1]), Median(samples[2])};
  glDeleteTextures(kSpriteCount - 1, textures.data() + 1);
  screen_close();
  return times;
}

double HudTextCostMs(int width, int height) {
  constexpr int kRenders = 50;
  const auto start = Clock::now();
  for (int i = 0; i < kRenders; ++i) RenderHudText(kHudName, width / 3, height / 20, u"Steps " + str_from_int(i));
  glFinish();
  return Ms(Clock::now() - start) / kRenders;
}

// Processor time over wall time of a loop that only flips, held to 60 frames a second.
double IdleLoopCpuShare() {
  rusage before{}, after{};
  getrusage(RUSAGE_SELF, &before);
  const auto start = Clock::now();
  screen_set_frame_rate(60);
  for (int i = 0; i < 120; ++i) screen_flip();
  screen_set_frame_rate(0);
  const double wall = Ms(Clock::now() - start);
  getrusage(RUSAGE_SELF, &after);
  auto cpu_ms = [](const rusage& r) {
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000.0 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000.0;
  };
  return (cpu_ms(after) - cpu_ms(before)) / wall;
}

// ---- The real play screen ----

// One sprite draw of a play-screen frame, with the sprite's texture for the bare path.
struct SpriteQuad {
  int64_t sprite;
  GLuint texture;
  int texture_width, texture_height;
  int x, y, width, height;
  bool blended;
  int intensity;
};

struct SpriteTexture {
  GLuint texture = 0;
  int width = 0, height = 0;
};

// The texture behind a sprite: the one a display of it binds.
SpriteTexture TextureOf(int64_t sprite) {
  SpriteTexture t;
  GLint bound = 0;
  glBindTexture(GL_TEXTURE_RECTANGLE_ARB, 0);
  sprite_display(sprite, 0, 0);
  glGetIntegerv(GL_TEXTURE_BINDING_RECTANGLE_ARB, &bound);
  t.texture = static_cast<GLuint>(bound);
  if (!t.texture) return t;
  glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE_ARB, 0, GL_TEXTURE_WIDTH, &t.width);
  glGetTexLevelParameteriv(GL_TEXTURE_RECTANGLE_ARB, 0, GL_TEXTURE_HEIGHT, &t.height);
  return t;
}

void AddQuad(std::vector<SpriteQuad>& quads, int64_t sprite, int64_t x, int64_t y, bool blended, int intensity = 255) {
  const int w = sprite_width(sprite), h = sprite_height(sprite);
  if (w == 0 || x >= GameDisplay.ScreenWidth || y >= GameDisplay.ScreenHeight || x <= -w || y <= -h) return;
  const SpriteTexture t = TextureOf(sprite);
  quads.push_back({sprite, t.texture, t.width, t.height, static_cast<int>(x), static_cast<int>(y), w, h, blended, intensity});
}

// The quads DrawPlayScreen draws for the present board in the Playing state, in its order.
std::vector<SpriteQuad> PlayScreenQuads() {
  const PlayLayout& l = PlayScreen.Layout;
  const int64_t t = l.TileSize;
  std::vector<SpriteQuad> quads;
  AddQuad(quads, SpriteHudBar, 0, 0, false);
  AddQuad(quads, SpriteHudName, l.Border3, l.Border3, false);
  // The fillers as the layout counts them to the screen's edges: columns of the board's height
  // beside it, rows across the screen above and below it.
  auto column = [&](int64_t x) {
    for (int k = 0; k < kBoardHeight; ++k) AddQuad(quads, SpriteFloor, x, l.OffsetY + k * t, false);
  };
  auto row = [&](int64_t y) {
    for (int64_t k = 0; k < l.FillAcross; ++k) AddQuad(quads, SpriteFloor, l.FillLeftX + k * t, y, false);
  };
  for (int64_t c = 0; c < l.FillLeftColumns; ++c) column(l.FillLeftX + c * t);
  for (int64_t c = 0; c < l.FillRightColumns; ++c) column(l.FillRightX + c * t);
  if (l.FillTopY != 0) row(l.FillTopY);
  for (int64_t r = 0; r < l.FillBottomRows; ++r) row(l.FillBottomY + r * t);
  const MapRecord& map = FindMap(Loop.CurrentLevelName);
  for (int64_t x = 0; x < map.Width; ++x) {
    for (int64_t y = 0; y < map.Height; ++y) {
      for (size_t layer = 0; layer < map.Layers.size(); ++layer) {
        const int number = MapTileAt(map, static_cast<int64_t>(layer), x, y);
        const LoadedTile* tile = number > 0 ? FindTile(str_from_int(number)) : nullptr;
        if (!tile || !tile->Sprite) continue;
        AddQuad(quads, tile->Sprite, std::lround(x * static_cast<double>(t) + l.OffsetX),
                std::lround(y * static_cast<double>(t) + l.OffsetY), tile->Tile.AlphaFlag != 0);
      }
    }
  }
  AddQuad(quads, SpriteHudSteps, l.NameWidth + l.TimeWidth + l.Border3, l.Border3, false);
  AddQuad(quads, SpriteHudTime, l.NameWidth + l.Border3, l.Border3, false);
  for (int slot = 1; slot <= std::min<int64_t>(Board.CrateCount, kHudIconSlots); ++slot) {
    const bool lit = slot <= Board.CoveredCount;
    AddQuad(quads, SpriteTargetIcon, PlayScreen.Icons[slot].X, PlayScreen.Icons[slot].Y, !lit, lit ? 255 : 64);
  }
  int dx = 0, dy = 0;
  MoveDirection(Board.MoveState, &dx, &dy);
  const int64_t along = MoveOffsetPixels(Board.MoveFrame, t);
  AddQuad(quads, KeeperSprite(), l.OffsetX + Board.PlayerX * t + dx * along, l.OffsetY + Board.PlayerY * t + dy * along, true);
  for (int x = 0; x < kBoardWidth; ++x) {
    for (int y = 0; y < kBoardHeight; ++y) {
      if (!Board.CrateGrid[x][y]) continue;
      const bool pushed = x == Board.PushedCrate[0] && y == Board.PushedCrate[1];
      AddQuad(quads, SpriteCrate, l.OffsetX + x * t + (pushed ? dx * along : 0), l.OffsetY + y * t + (pushed ? dy * along : 0),
              false);
    }
  }
  return quads;
}

// The same draws through the sprite layer, without the play screen's own work.
void DrawSpriteQuads(const std::vector<SpriteQuad>& quads) {
  for (const SpriteQuad& q : quads) {
    if (q.blended) {
      sprite_display_blended(q.sprite, q.x, q.y, q.intensity);
    } else {
      sprite_display(q.sprite, q.x, q.y);
    }
  }
}

// The same draws with plain GL calls: state set only when it changes.
void DrawBareQuads(const std::vector<SpriteQuad>& quads, int screen_height) {
  GLuint bound = 0;
  int blend = -1, intensity = -1;
  glEnable(GL_BLEND);
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  for (const SpriteQuad& q : quads) {
    if (q.texture != bound) {
      bound = q.texture;
      glBindTexture(GL_TEXTURE_RECTANGLE_ARB, bound);
    }
    if (blend != q.blended) {
      blend = q.blended;
      glBlendFunc(GL_SRC_ALPHA, q.blended ? GL_ONE_MINUS_SRC_ALPHA : GL_ZERO);
    }
    if (intensity != q.intensity) {
      intensity = q.intensity;
      glColor4f(1, 1, 1, q.intensity / 255.0f);
    }
    BareQuad(q.x, q.y, q.width, q.height, q.texture_width, q.texture_height, screen_height);
  }
}

// The game's pictures from the asset pack, under the game's sprite numbers.
bool LoadGamePictures(const Text& folder) {
  const int64_t pack = pack_open(kNewObject, folder + u"Cratevale.data", kPackerRuntime);
  if (!pack) return false;
  const struct {
    const char16_t* entry;
    int sprite;
  } pictures[] = {{u"crate.png", SpriteCrate},    {u"tile_01.png", SpriteFloor},   {u"idle_left.png", 8},
                  {u"idle_right.png", 9},         {u"idle_up.png", 10},            {u"idle_down.png", 11},
                  {u"push_left.png", 12},         {u"push_right.png", 13},         {u"push_up.png", 14},
                  {u"push_down.png", 15}};
  bool loaded = true;
  for (const auto& p : pictures) {
    MemoryBlock buffer = memory_allocate(204800);
    const bool keeper = p.sprite >= SpriteKeeperStanding;
    loaded = loaded && pack_extract_to_memory(pack, buffer.data(), static_cast<int64_t>(buffer.size()), p.entry) > 0 &&
             sprite_load_from_memory(p.sprite, buffer, keeper ? kSpriteKeepAlpha : 0) != 0;
  }
  pack_close(pack);
  return loaded && sprite_copy(SpriteCrate, SpriteTargetIcon) != 0;
}

// Starts the level with the most crates (the later one of equals) with a move under way.
bool StartBusiestLevel() {
  Text level;
  int64_t most = -1;
  for (const Text& name : MapLevelOrder()) {
    if (FindMap(name).CrateCount >= most) {
      most = FindMap(name).CrateCount;
      level = name;
    }
  }
  if (level.empty()) return false;
  Loop.CurrentLevelName = level;
  SetUpBoardForLevel(level);
  ResetHudIcons();
  RenderHudName();
  Loop.LevelStartTime = elapsed_ms() - 65000;
  GameState = ScreenState::Playing;
  CountCoveredTargets();
  for (int direction = FacingLeft; direction <= FacingDown; ++direction) {
    Board.Facing = direction;
    if (RequestMove(direction) != kMoveIdle) return true;
  }
  return false;
}

struct PlayScreenTimes {
  double game = 0;        // DrawPlayScreen, its two text boxes re-rendered
  double sprites = 0;     // the same quads through the sprite layer
  double bare = 0;        // the same quads through plain GL
  double text_boxes = 0;  // the steps and time boxes re-rendered, per frame
  size_t quads = 0;
  Text level;
};

PlayScreenTimes MeasurePlayScreen(int width, int height, const Text& folder) {
  PlayScreenTimes times;
  if (!screen_open(width, height, 32, u"Cratevale", 0)) {
    std::printf("no %dx%d screen\n", width, height);
    return times;
  }
  sprite_quality(1);
  GameDisplay.ScreenWidth = width;
  GameDisplay.ScreenHeight = height;
  GameDisplay.AspectRatio = 3;  // both sizes are 16:9
  LoadMapPack(folder + u"Cratevale.maps", kPackerRuntime);
  if (!LoadGamePictures(folder) || !StartBusiestLevel()) {
    std::printf("the packs in %s cannot be read\n", text_to_utf8(folder).c_str());
    FreeMapPack();
    screen_close();
    return times;
  }
  SetLayout();
  PreparePlayScreen();
  RenderHudName();
  times.level = Loop.CurrentLevelName;
  const BoardRecord moving = Board;
  std::vector<double> samples[3];
  for (int frame = 0; frame < kPlayFrames; ++frame) {
    Board = moving;
    Board.MoveFrame = 1 + frame % kMoveFrames;
    Board.StepCount = frame;
    const std::vector<SpriteQuad> quads = PlayScreenQuads();
    times.quads = quads.size();
    glFinish();  // listing the quads drew each sprite once
    for (int turn = 0; turn < 3; ++turn) {
      const int kind = (turn + frame) % 3;  // each kind comes first as often
      Board = moving;
      Board.MoveFrame = 1 + frame % kMoveFrames;
      Board.StepCount = frame;
      const auto start = Clock::now();
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      if (kind == 0) {
        DrawPlayScreen();
      } else if (kind == 1) {
        DrawBareQuads(quads, height);
      } else {
        DrawSpriteQuads(quads);
      }
      glFinish();
      samples[kind].push_back(Ms(Clock::now() - start));
    }
  }
  constexpr int kRenders = 50;
  const auto start = Clock::now();
  for (int i = 0; i < kRenders; ++i) {
    Board.StepCount = i;
    RenderHudSteps();
    RenderHudTime(elapsed_ms() - Loop.LevelStartTime);
  }
  glFinish();
  times.text_boxes = Ms(Clock::now() - start) / kRenders;
  times.game = Median(samples[0]);
  times.bare = Median(samples[1]);
  times.sprites = Median(samples[2]);
  FreeMapPack();
  screen_close();
  return times;
}

}  // namespace

int main(int argc, char** argv) {
  Display* display = XOpenDisplay(nullptr);  // held for the run: the server may reset when left alone
  if (!display || !toolkit_init()) {
    std::printf("needs an X server\n");
    return 1;
  }
  image_codecs_init();
  png_decoder_register();
  png_encoder_register();
  font_load(0, u"Arial", 30, kFontBold);
  std::vector<MemoryBlock> pictures(kSpriteCount);
  pictures[kFloor] = TilePicture(120, 110, 90, false);
  pictures[kWall] = TilePicture(90, 60, 40, true);
  pictures[kTarget] = TilePicture(200, 40, 40, true);
  pictures[kDecoration] = TilePicture(60, 160, 60, true);
  pictures[kCrate] = TilePicture(180, 120, 30, true);
  pictures[kKeeper] = TilePicture(40, 80, 220, true);
  pictures[kHudBar] = TilePicture(86, 86, 86, false);
  pictures[kHudName] = TilePicture(0, 0, 0, false);
  pictures[kHudTime] = TilePicture(0, 0, 0, false);

  const Text packs = argc > 1 ? text_from_utf8(std::string(argv[1]) + "/")
                              : text_from_utf8(std::filesystem::read_symlink("/proc/self/exe").parent_path().string() + "/");
  const int sizes[2][2] = {{1920, 1080}, {1024, 576}};
  for (const auto& size : sizes) {
    EnsureMode(display, size[0], size[1]);
    const PlayScreenTimes p = MeasurePlayScreen(size[0], size[1], packs);
    if (p.bare > 0) {
      std::printf("%dx%d play screen of level %s during a move, %zu quads: DrawPlayScreen %.2f ms, bare GL %.2f ms, "
                  "ratio %.3f; the same quads through the sprite layer %.2f ms (ratio %.3f); steps and time boxes "
                  "re-rendered %.3f ms a frame\n",
                  size[0], size[1], text_to_utf8(p.level).c_str(), p.quads, p.game, p.bare, p.game / p.bare, p.sprites,
                  p.sprites / p.bare, p.text_boxes);
    }
  }
  for (const auto& size : sizes) {
    const FrameTimes t = MeasureAt(size[0], size[1], pictures);
    if (t.bare <= 0) continue;
    std::printf("%dx%d: %zu quads; frame through the runtime %.2f ms (with HUD text re-rendered %.2f ms), "
                "bare GL %.2f ms, ratio %.3f (%.3f with HUD text)\n",
                size[0], size[1], PlayScreenLike(size[0], size[1]).size(), t.runtime_quads, t.runtime_full, t.bare,
                t.runtime_quads / t.bare, t.runtime_full / t.bare);
  }
  if (screen_open(1920, 1080, 32, u"Cratevale", 0)) {
    std::printf("HUD text box re-render (panel image, cairo/pango text, copy into sprite): %.3f ms\n",
                HudTextCostMs(1920, 1080));
    std::printf("idle loop at 60 frames a second: %.1f%% of one core\n", IdleLoopCpuShare() * 100);
    screen_close();
  }
  XCloseDisplay(display);
  return 0;
}
