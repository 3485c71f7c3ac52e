// Assets: reading the sounds and pictures of the asset pack, scaling the title and splash
// pictures to the screen, and the end of the game when an asset cannot be read.
#include "game/assets.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <memory>
#include <span>
#include <system_error>

#include "game/core/game.h"
#include "game/core/languages.h"
#include "game/core/log.h"
#include "game/presentation.h"
#include "game/startup.h"
#include "runtime/data/pack.h"
#include "runtime/display/image.h"
#include "runtime/display/screen.h"
#include "runtime/display/sprite.h"
#include "runtime/display/window.h"
#include "runtime/media/sound.h"
#include "runtime/runtime.h"

namespace {

struct SoundAsset {
  int Number;
  const char16_t* Entry;
  bool Music;  // read and decoding from the very start of start-up
  // First played when a level starts: after its first samples its decoding waits for the end of
  // start-up, leaving the processor to the rest of start-up, and goes on behind the first frames.
  bool Later;
};
constexpr SoundAsset kSounds[] = {
    {MenuMusic, u"music1.ogg", true, false},
    {GameMusic, u"music2.ogg", true, true},
    {RolloverSound, u"rollover3.wav", false, false},
    {ClickSound, u"click3.wav", false, false},
};
constexpr size_t kSoundCount = std::size(kSounds);

// The sounds StartMusic handed to the sound service, waiting for the sound pass to take them up.
bool SoundStarted[kSoundCount] = {};

// The small pictures in their loading order. The lock mark is an image, the others sprites.
enum class Target { Sprite, KeeperSprite, Image };
struct PictureAsset {
  int Number;
  const char16_t* Entry;
  Target Kind;
};
constexpr PictureAsset kPictures[] = {
    {SpriteCrate, u"crate.png", Target::Sprite},
    {SpriteKeeperStanding + 0, u"idle_left.png", Target::KeeperSprite},
    {SpriteKeeperStanding + 1, u"idle_right.png", Target::KeeperSprite},
    {SpriteKeeperStanding + 2, u"idle_up.png", Target::KeeperSprite},
    {SpriteKeeperStanding + 3, u"idle_down.png", Target::KeeperSprite},
    {SpriteKeeperPushing + 1, u"push_right.png", Target::KeeperSprite},
    {SpriteKeeperPushing + 0, u"push_left.png", Target::KeeperSprite},
    {SpriteKeeperPushing + 2, u"push_up.png", Target::KeeperSprite},
    {SpriteKeeperPushing + 3, u"push_down.png", Target::KeeperSprite},
    {SpriteFloor, u"tile_01.png", Target::Sprite},
    {ImageLockMark, u"locked.png", Target::Image},
    {SpriteTitleBackground, u"titleback_c.png", Target::Sprite},
};

// Label lines logged before the title and splash pictures of the classes that have their own.
constexpr const char16_t* kAspectLabels[] = {u"AspectRatio:  3:2",  u"AspectRatio:  4:3",  u"AspectRatio:  5:4",
                                             u"AspectRatio:  16:9", u"AspectRatio:  16:10", u"AspectRatio:  17:9"};
constexpr const char16_t* kShapes[] = {u"3x2", u"4x3", u"5x4", u"16x9", u"16x10", u"17x9"};
constexpr int kOwnPictureClasses = 6;  // classes 0-5
constexpr int kOtherClass = 7;

int LoadFlags(const SoundAsset& sound) { return sound.Later ? kSoundLoadHeld : 0; }

void LogLoaded(const Text& entry) { LogValue(u"Load asset (" + entry + u"):", LogResult(1)); }

// The asset pack open for one loading pass; closed however the pass ends.
struct AssetPack {
  int64_t handle = pack_open(kNewObject, Folders.GameDir + kAssetPackName, kPackerRuntime);
  ~AssetPack() {
    if (handle) pack_close(handle);
  }
};

// Reads an entry of at most `size` bytes (the buffer size of its kind) into a block of its own
// size. False when it cannot be read, is empty, is larger or its memory cannot be had: the asset
// then fails where its decoding from a zero-filled buffer of the kind's size would have.
bool ReadEntry(int64_t pack, const Text& entry, int64_t size, MemoryBlock* buffer) {
  return pack_extract_to_block(pack, entry, size, buffer) > 0;
}

// Decodes a full-screen picture entry into a new image; 0 when it cannot be read or decoded.
int64_t LoadScreenImage(int64_t pack, const Text& entry) {
  MemoryBlock buffer;
  if (!ReadEntry(pack, entry, kScreenPictureBufferSize, &buffer)) return 0;
  return image_load_from_memory(kNewObject, std::span<const uint8_t>(buffer.data(), buffer.size()));
}

// Makes sprite `number` of the image's size with the image drawn into it; frees the image.
bool SpriteFromImage(int64_t number, int64_t image) {
  const bool made = sprite_from_image(number, image) != 0;
  image_free(image);
  return made;
}

// The picture of the screen's shape whose name starts with `stem`, with the shape's label line
// before it; 0 after reporting the failure.
int64_t LoadShapedPicture(int64_t pack, const Text& stem, int aspect, Text* entry) {
  *entry = stem + PictureShape(aspect) + u".png";
  if (aspect < kOwnPictureClasses) LogLine(kAspectLabels[aspect]);
  const int64_t image = LoadScreenImage(pack, *entry);
  if (!image) AssetFailed(*entry);
  return image;
}

bool LoadTitle(int64_t pack, int aspect) {
  Text entry;
  const int64_t image = LoadShapedPicture(pack, u"title_", aspect, &entry);
  if (!image) return false;
  const int screen_width = GameDisplay.ScreenWidth;
  if (image_width(image) != screen_width) {
    image_resize(image, screen_width, TitleHeight(image_width(image), image_height(image), screen_width),
                 kImageResizeSmooth);
  }
  if (!SpriteFromImage(SpriteTitle, image)) {
    AssetFailed(entry);
    return false;
  }
  LogLoaded(entry);
  return true;
}

// The studio splash picture decoded and fitted to a width x height screen, made away from the
// image table so that it can be made on a thread of its own. `fits` is false when it could not
// be decoded or fitted.
struct SplashPicture {
  std::unique_ptr<ImageObject> image = std::make_unique<ImageObject>();
  bool fits = false;
};

SplashPicture FitSplash(const MemoryBlock& bytes, int aspect, int width, int height) {
  SplashPicture splash;
  ImageObject* image = splash.image.get();
  if (bytes.empty() || !image_decode_object(std::span<const uint8_t>(bytes.data(), bytes.size()), image)) {
    return splash;
  }
  bool fits = true;
  if (aspect >= kOwnPictureClasses) {
    const SplashCrop crop = CoverScreen(image->width, image->height, width, height);
    if (crop.Width != image->width || crop.Height != image->height) {
      fits = image_object_copy_region(image, crop.X, crop.Y, crop.Width, crop.Height);
    }
  }
  splash.fits = fits && image_object_resize(image, width, height, kImageResizeSmooth);
  return splash;
}

bool LoadSplash(SplashPicture splash, const Text& entry, int aspect) {
  if (aspect < kOwnPictureClasses) LogLine(kAspectLabels[aspect]);
  const int64_t image = splash.fits ? image_store(kNewObject, splash.image.get()) : 0;
  if (!image || !SpriteFromImage(SpriteStudioSplash, image)) {
    AssetFailed(entry);
    return false;
  }
  LogLoaded(entry);
  return true;
}

bool LoadSmallPicture(int64_t pack, const PictureAsset& picture) {
  MemoryBlock buffer;
  int64_t made = 0;
  if (ReadEntry(pack, picture.Entry, kSmallPictureBufferSize, &buffer)) {
    const std::span<const uint8_t> bytes(buffer.data(), buffer.size());
    switch (picture.Kind) {
      case Target::Image:
        made = image_load_from_memory(picture.Number, bytes);
        break;
      case Target::KeeperSprite:
        made = sprite_load_from_memory(picture.Number, bytes, kSpriteKeepAlpha);
        break;
      case Target::Sprite:
        made = sprite_load_from_memory(picture.Number, bytes);
        if (made && picture.Number == SpriteCrate) made = sprite_copy(SpriteCrate, SpriteTargetIcon);
        break;
    }
  }
  if (!made) {
    AssetFailed(picture.Entry);
    return false;
  }
  LogLoaded(picture.Entry);
  return true;
}

}  // namespace

int PictureClass(int aspect) { return aspect >= 0 && aspect < kOwnPictureClasses ? aspect : kOtherClass; }

Text PictureShape(int aspect) {
  const int picture_class = PictureClass(aspect);
  return picture_class < kOwnPictureClasses ? kShapes[picture_class] : u"16x9";
}

int TitleHeight(int image_width, int image_height, int screen_width) {
  if (image_width <= 0) return image_height;
  return static_cast<int>(std::lround(screen_width * (static_cast<double>(image_height) / image_width)));
}

SplashCrop CoverScreen(int width, int height, int screen_width, int screen_height) {
  SplashCrop crop{0, 0, width, height};
  if (width <= 0 || height <= 0 || screen_width <= 0 || screen_height <= 0) return crop;
  // The shapes are compared by cross products, and the region of the screen's exact shape is
  // rounded to the nearest pixel: the picture keeps its proportions on every screen. Cropping
  // before scaling also keeps the scaled picture no larger than the screen.
  const int64_t wide = int64_t{width} * screen_height;  // against height x screen_width
  const int64_t tall = int64_t{height} * screen_width;
  auto rounded = [](int64_t numerator, int64_t denominator) {
    return static_cast<int>((2 * numerator / denominator + 1) / 2);
  };
  if (wide < tall) {
    crop.Height = std::clamp(rounded(wide, screen_width), 1, height);
    crop.Y = (height - crop.Height) / 2;
  } else if (wide > tall) {
    crop.Width = std::clamp(rounded(tall, screen_height), 1, width);
    crop.X = (width - crop.Width) / 2;
  }
  return crop;
}

void StartMusic(const Text& game_dir) {
  std::fill(std::begin(SoundStarted), std::end(SoundStarted), false);
  const int64_t pack = pack_open(kNewObject, game_dir + kAssetPackName, kPackerRuntime);
  if (!pack) return;
  for (size_t i = 0; i < kSoundCount; ++i) {
    MemoryBlock buffer;
    if (!kSounds[i].Music || !ReadEntry(pack, kSounds[i].Entry, kSoundBufferSize, &buffer)) continue;
    const int64_t size = static_cast<int64_t>(buffer.size());
    SoundStarted[i] = sound_load_in_background(kSounds[i].Number, std::move(buffer), size, LoadFlags(kSounds[i])) != 0;
  }
  pack_close(pack);
}

int LoadSounds() {
  AssetPack pack;
  if (!pack.handle) {
    AssetFailed(u"music and sfx");
    return 0;
  }
  for (size_t i = 0; i < kSoundCount; ++i) {
    const SoundAsset& sound = kSounds[i];
    // The line says the sound opened and will convert; a track goes on decoding in the
    // background, side by side with the other, while start-up goes on, and FinishSounds waits
    // for its samples. A track StartMusic handed over is judged by what its thread found.
    bool loaded = false;
    if (SoundStarted[i]) {
      SoundStarted[i] = false;
      loaded = sound_check_loading(sound.Number) != 0;
    } else {
      MemoryBlock buffer;
      loaded = ReadEntry(pack.handle, sound.Entry, kSoundBufferSize, &buffer);
      const int64_t size = static_cast<int64_t>(buffer.size());
      loaded = loaded && sound_load_in_background(sound.Number, std::move(buffer), size, LoadFlags(sound)) != 0;
    }
    if (!loaded) {
      AssetFailed(sound.Entry);
      return 0;
    }
    LogLoaded(sound.Entry);
  }
  return 1;
}

int FinishSounds() {
  for (const SoundAsset& sound : kSounds) {
    if (!sound.Later && !sound_finish_loading(sound.Number)) {
      AssetFailed(sound.Entry);
      return 0;
    }
  }
  sound_release_loads();
  return 1;
}

int LoadPictures() {
  AssetPack pack;
  if (!pack.handle) {
    AssetFailed(Text());
    return 0;
  }
  const int aspect = PictureClass(GameDisplay.AspectRatio);
  // The splash is decoded and fitted to the screen on a thread of its own while the title is made
  // here; its lines still follow the title's.
  const Text splash_entry = u"tgs_" + PictureShape(aspect) + u".png";
  MemoryBlock splash_bytes;
  if (!ReadEntry(pack.handle, splash_entry, kScreenPictureBufferSize, &splash_bytes)) splash_bytes.clear();
  auto fit = [&splash_bytes, aspect, width = GameDisplay.ScreenWidth, height = GameDisplay.ScreenHeight] {
    return FitSplash(splash_bytes, aspect, width, height);
  };
  std::future<SplashPicture> splash;
  try {
    splash = std::async(std::launch::async, fit);
  } catch (const std::system_error&) {
    splash = std::async(std::launch::deferred, fit);  // no thread to be had: made when wanted
  }
  if (!LoadTitle(pack.handle, aspect) || !LoadSplash(splash.get(), splash_entry, aspect)) return 0;
  for (const PictureAsset& picture : kPictures) {
    if (!LoadSmallPicture(pack.handle, picture)) return 0;
  }
  return 1;
}

void AssetFailed(const Text& name) {
  LogValue(u"Load asset (" + name + u"):", LogResult(0));
  screen_close();
  if (Settings.GameScreen != kFullScreen) window_close(WindowMain);
  FatalErrorBox(GameText(u"tErrorASSET"));
}
