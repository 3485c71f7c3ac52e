// Assets: the four sounds and the pictures of Cratevale.data. Every entry is read whole, up to a
// fixed size for its kind, and decoded from there. The sounds are read once, before the screen
// opens (the music tracks from the very start of start-up); the pictures after every opening of
// the screen, because sprites belong to the screen.
#pragma once

#include <cstdint>

#include "runtime/data/text.h"

constexpr const char16_t* kAssetPackName = u"Cratevale.data";
// Buffer sizes by kind: a sound, a full-screen picture (title, splash), any other picture.
constexpr int64_t kSoundBufferSize = 15728640;
constexpr int64_t kScreenPictureBufferSize = 4194304;
constexpr int64_t kSmallPictureBufferSize = 204800;

// Reads the music tracks from the asset pack in `game_dir` and has them decoded in the background
// from now on, before the sound service is open; nothing is logged. Whatever fails here is left
// to LoadSounds, which reads the track again and reports it in its place.
void StartMusic(const Text& game_dir);
// Loads sounds 0-3 from the asset pack with their log lines (the tracks StartMusic started are
// taken up, judged by whether they opened and gave their first samples). Returns 1, or 0 after
// AssetFailed. The menu music goes on decoding in the background until FinishSounds; the level
// music waits after its first samples until then.
int LoadSounds();
// Waits for the sounds decoding in the background, except the level music, which then goes on
// decoding behind the first frames (playing it waits for the rest). Returns 1, or 0 after
// AssetFailed for the first that failed (memory that could not be had).
int FinishSounds();
// Loads the title picture and the studio splash for GameDisplay's size and aspect class, then
// the title background, the crate, the keeper's poses, the floor and the lock mark, with their
// log lines. Returns 1, or 0 after AssetFailed.
int LoadPictures();

// The first asset that could not be read ends the game: logs its "FAILED" line, closes the
// screen and window 0, shows the asset error box and marks the run as ended without saving
// (Loop.FatalEnd). The name is logged only, never shown.
void AssetFailed(const Text& name);

// The aspect classes that have pictures of their own (0-5) keep theirs; every other class gets
// the 16:9 pictures, the splash cropped to cover the screen.
int PictureClass(int aspect);
// The part of the entry names of a picture class, "3x2" ... "17x9"; classes 6 and 7 give "16x9".
Text PictureShape(int aspect);

// Height of a title picture of image_width x image_height scaled to screen_width, rounded to the
// nearest pixel.
int TitleHeight(int image_width, int image_height, int screen_width);

// How a splash picture of width x height covers a screen_width x screen_height screen when its
// class has no picture of its own: the Width x Height region at (X, Y) of the picture, of the
// screen's shape (one side the picture's whole side, the other rounded to the nearest pixel),
// centred and inside the picture, is taken and scaled to the screen. A picture of the screen's
// shape is taken whole.
struct SplashCrop {
  int X = 0;
  int Y = 0;
  int Width = 0;
  int Height = 0;
};
SplashCrop CoverScreen(int width, int height, int screen_width, int screen_height);
