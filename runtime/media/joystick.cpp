// The joystick service: SDL joysticks opened into the object table and read as digital sticks.
//
// SDL only looks for devices when its joystick subsystem starts, so joystick_init restarts it to
// see a pad plugged in since the last call. Reads are checked against the device's own axis and
// button counts before SDL is asked.
//
// A button pressed and let go, or a stick pushed and let back, between two examinations would
// leave no trace in the state SDL keeps: the service watches the changes SDL reports while it
// updates (through SDL's event filter; this program runs no SDL event queue), and until the next
// examination such a button reads as held and such a stick as pushed.
#include "runtime/media/joystick.h"

#include <SDL/SDL.h>

#include <array>
#include <cstdint>

#include "runtime/runtime.h"

namespace {

constexpr int kAxisScale = 1000;
constexpr int kAxisRange = 32768;
constexpr int kDeadZone = 499;  // scaled values up to this far from the centre read 0

struct StickAxes {
  int x;
  int y;
};
constexpr StickAxes kStickAxes[] = {{0, 1}, {3, 4}};
constexpr int kStickCount = sizeof(kStickAxes) / sizeof(kStickAxes[0]);

constexpr int kWatchedButtons = 32;
constexpr int kWatchedAxes = 8;

struct Joystick {
  SDL_Joystick* device = nullptr;
  int device_index = -1;
  // Since the last examination: buttons pressed, and the first way each axis was pushed.
  std::array<uint8_t, kWatchedButtons> pressed{};
  std::array<int8_t, kWatchedAxes> pushed{};
  ~Joystick() {
    if (device) SDL_JoystickClose(device);
  }
};

struct JoystickService {
  bool sdl_started = false;  // SDL's joystick subsystem is running
  int count = 0;
  ObjectTable<Joystick> joysticks;
};

JoystickService Service;

SDL_Joystick* DeviceOf(int64_t joystick) {
  if (!Service.sdl_started) return nullptr;
  const Joystick* slot = Service.joysticks.Find(joystick);
  return slot ? slot->device : nullptr;
}

int ReadAxis(int64_t joystick, int axis) {
  SDL_Joystick* device = DeviceOf(joystick);
  if (!device || axis >= SDL_JoystickNumAxes(device)) return 0;
  const int direction = joystick_direction(SDL_JoystickGetAxis(device, axis));
  if (direction != 0 || axis >= kWatchedAxes) return direction;
  return Service.joysticks.Find(joystick)->pushed[axis];
}

Joystick* JoystickOfDevice(int device_index) {
  for (int number = 0; number < Service.count; ++number) {
    Joystick* slot = Service.joysticks.Find(number);
    if (slot && slot->device_index == device_index) return slot;
  }
  return nullptr;
}

// SDL's report of one change during an update. Returns 0: nothing is queued.
int WatchJoystickEvent(const SDL_Event* event) {
  if (event->type == SDL_JOYBUTTONDOWN) {
    Joystick* slot = JoystickOfDevice(event->jbutton.which);
    if (slot && event->jbutton.button < kWatchedButtons) slot->pressed[event->jbutton.button] = 1;
  } else if (event->type == SDL_JOYAXISMOTION) {
    Joystick* slot = JoystickOfDevice(event->jaxis.which);
    const int direction = joystick_direction(event->jaxis.value);
    if (slot && event->jaxis.axis < kWatchedAxes && direction != 0 && slot->pushed[event->jaxis.axis] == 0) {
      slot->pushed[event->jaxis.axis] = static_cast<int8_t>(direction);
    }
  }
  return 0;
}

void StopSdlJoysticks() {
  Service.joysticks.Free(kAllObjects);  // SDL forgets its devices when it stops: close ours first
  Service.count = 0;
  if (Service.sdl_started) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
  Service.sdl_started = false;
}

}  // namespace

int joystick_scale_axis(int value) { return value * kAxisScale / kAxisRange; }

int joystick_direction(int value) {
  const int scaled = joystick_scale_axis(value);
  if (scaled < -kDeadZone) return -1;
  if (scaled > kDeadZone) return 1;
  return 0;
}

int joystick_init() {
  StopSdlJoysticks();
  if (SDL_InitSubSystem(SDL_INIT_JOYSTICK) < 0) return 0;
  Service.sdl_started = true;
  SDL_SetEventFilter(WatchJoystickEvent);
  SDL_JoystickEventState(SDL_ENABLE);
  const int devices = SDL_NumJoysticks();
  for (int index = 0; index < devices; ++index) {
    SDL_Joystick* device = SDL_JoystickOpen(index);
    if (!device) continue;
    Joystick* slot = Service.joysticks.Create(Service.count);
    if (!slot) {
      SDL_JoystickClose(device);
      break;
    }
    slot->device = device;
    slot->device_index = index;
    ++Service.count;
  }
  return Service.count;
}

void joystick_shutdown() { StopSdlJoysticks(); }

int joystick_examine(int64_t) {
  for (int number = 0; number < Service.count; ++number) {
    if (Joystick* slot = Service.joysticks.Find(number)) {
      slot->pressed.fill(0);
      slot->pushed.fill(0);
    }
  }
  if (Service.sdl_started) SDL_JoystickUpdate();
  return 1;
}

int joystick_axis_x(int64_t joystick, int stick) {
  return stick >= 0 && stick < kStickCount ? ReadAxis(joystick, kStickAxes[stick].x) : 0;
}

int joystick_axis_y(int64_t joystick, int stick) {
  return stick >= 0 && stick < kStickCount ? ReadAxis(joystick, kStickAxes[stick].y) : 0;
}

int joystick_button(int64_t joystick, int button) {
  SDL_Joystick* device = DeviceOf(joystick);
  // Button 0 would ask SDL for index -1, which it does not check.
  if (!device || button < 1 || button > SDL_JoystickNumButtons(device)) return 0;
  if (SDL_JoystickGetButton(device, button - 1)) return 1;
  return button <= kWatchedButtons ? Service.joysticks.Find(joystick)->pressed[button - 1] : 0;
}
