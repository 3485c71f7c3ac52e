// The runtime's chief header: how every service names its objects, and the memory block.
//
// Each kind of object (window, sprite, image, font, file, directory scan, pack, sound, joystick)
// lives in an ObjectTable of its service. A caller names an object with a small non-negative
// number of its choice, or passes kNewObject to get a fresh object whose handle is returned.
// Every object also has a handle (a large number, unique in the process) that names it as well
// as its number does. Reusing a number or a handle for a new object frees the object that held
// it (a handle then names the new object); freeing kAllObjects frees every object of the table;
// a number that names nothing finds nothing.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

constexpr int64_t kNewObject = -1;
constexpr int64_t kAllObjects = -1;
// Numbers a caller may choose: 0 .. kMaxObjectNumber. Larger values are handles.
constexpr int64_t kMaxObjectNumber = 0xFFFF;
constexpr int64_t kFirstHandle = int64_t{1} << 24;

template <typename T>
class ObjectTable {
 public:
  // Makes a fresh, default-constructed object under `number` (freeing the old one first), in
  // place of the object a handle names (the handle, and the number the old object had, then name
  // the new one), or, with kNewObject, under a new handle. Returns nullptr for a number out of
  // range or a handle that names no object.
  T* Create(int64_t number, int64_t* handle = nullptr) {
    if (number != kNewObject && number > kMaxObjectNumber) return Replace(number, handle);
    if (number != kNewObject && number < 0) return nullptr;
    if (number != kNewObject) Free(number);
    const int64_t new_handle = next_handle_++;
    Slot& slot = slots_[new_handle];
    slot.number = number;
    slot.object = std::make_unique<T>();
    if (number != kNewObject) {
      if (static_cast<size_t>(number) >= numbered_.size()) numbered_.resize(number + 1, 0);
      numbered_[number] = new_handle;
    }
    if (handle) *handle = new_handle;
    return slot.object.get();
  }

  // True when Create can make an object under this number or handle.
  bool CanHold(int64_t number_or_handle) const {
    if (number_or_handle == kNewObject) return true;
    if (number_or_handle > kMaxObjectNumber) return slots_.count(number_or_handle) != 0;
    return number_or_handle >= 0;
  }

  // The object named by a number or a handle, or nullptr.
  T* Find(int64_t number_or_handle) const {
    const int64_t handle = HandleOf(number_or_handle);
    if (handle == 0) return nullptr;
    auto it = slots_.find(handle);
    return it == slots_.end() ? nullptr : it->second.object.get();
  }

  // The handle of the object named by a number or a handle, 0 when there is none.
  int64_t HandleOf(int64_t number_or_handle) const {
    if (number_or_handle >= 0 && number_or_handle <= kMaxObjectNumber) {
      return static_cast<size_t>(number_or_handle) < numbered_.size() ? numbered_[number_or_handle] : 0;
    }
    return slots_.count(number_or_handle) ? number_or_handle : 0;
  }

  // Frees one object, or every object with kAllObjects. The object's destructor releases what
  // it holds. Objects are freed newest first when all go.
  void Free(int64_t number_or_handle) {
    if (number_or_handle == kAllObjects) {
      while (!slots_.empty()) Erase(std::prev(slots_.end())->first);
      return;
    }
    const int64_t handle = HandleOf(number_or_handle);
    if (handle != 0) Erase(handle);
  }

  // Calls f(handle, object) for every object, oldest first.
  template <typename F>
  void ForEach(F&& f) {
    for (auto& [handle, slot] : slots_) f(handle, *slot.object);
  }

  size_t Count() const { return slots_.size(); }

 private:
  struct Slot {
    int64_t number = kNewObject;
    std::unique_ptr<T> object;
  };

  // A fresh object in the slot of an existing handle; the old object is released first.
  T* Replace(int64_t existing, int64_t* handle) {
    auto it = slots_.find(existing);
    if (it == slots_.end()) return nullptr;
    // Released before the new object is made, with the slot left empty meanwhile, so that a
    // destructor looking the table up sees the old object gone.
    std::unique_ptr<T> old = std::move(it->second.object);
    old.reset();
    // Looked up again: the destructor may have freed other objects of the table.
    it = slots_.find(existing);
    if (it == slots_.end()) return nullptr;
    it->second.object = std::make_unique<T>();
    if (handle) *handle = existing;
    return it->second.object.get();
  }

  void Erase(int64_t handle) {
    auto it = slots_.find(handle);
    if (it == slots_.end()) return;
    // Detach first so that a destructor looking the table up sees the object gone.
    std::unique_ptr<T> object = std::move(it->second.object);
    if (it->second.number != kNewObject) numbered_[it->second.number] = 0;
    slots_.erase(it);
    object.reset();
  }

  std::map<int64_t, Slot> slots_;
  std::vector<int64_t> numbered_;  // number -> handle, 0 when empty
  int64_t next_handle_ = kFirstHandle;
};

// A block of bytes that knows its own size, zero-filled when made. Pack entries are extracted
// into memory blocks and every decoder bounds its reads by the block's size.
//
// Memory whose size comes from data (pictures, sounds, pack entries, encoded files) is had only
// through the two calls below, which report a failure instead of throwing: no exception ever
// leaves a runtime call, and a size that cannot be had makes the call fail like bad data does.
using MemoryBlock = std::vector<uint8_t>;

// A zero-filled block of `size` bytes; an empty block when the size is not positive, is larger
// than any block the runtime makes, or cannot be had.
MemoryBlock memory_allocate(int64_t size);

// Appends `count` bytes to the block. False when the grown block would be larger than any block
// the runtime makes or its memory cannot be had; the block then keeps what it held.
bool memory_append(MemoryBlock& block, const uint8_t* bytes, size_t count);
