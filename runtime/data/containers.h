// Lists with a current element, and maps from text keys to records with a fixed walk order.
//
// A map walks bucket 0, 1, 2, ... and, within a bucket, the newest key first; the bucket of a
// key is its 65599-hash modulo the bucket count. The order therefore depends only on the keys,
// the bucket count and the order of insertion. Element addresses stay valid until the element
// is removed.
#pragma once

#include <cstdint>
#include <iterator>
#include <list>
#include <vector>

#include "runtime/data/text.h"

template <typename T>
struct List {
  std::list<T> elements;
  typename std::list<T>::iterator current = elements.end();
  int64_t current_index = -1;  // -1 when there is no current element
};

// Inserts a fresh element after the current one (at the front when there is none); it becomes
// current.
template <typename T>
T* list_add(List<T>& list) {
  auto where = list.current == list.elements.end() ? list.elements.begin() : std::next(list.current);
  list.current = list.elements.emplace(where);
  list.current_index = std::distance(list.elements.begin(), list.current);
  return &*list.current;
}

template <typename T>
void list_clear(List<T>& list) {
  list.elements.clear();
  list.current = list.elements.end();
  list.current_index = -1;
}

template <typename T>
T* list_first(List<T>& list) {
  if (list.elements.empty()) return nullptr;
  list.current = list.elements.begin();
  list.current_index = 0;
  return &*list.current;
}

// With no current element gives the first; at the last element gives none and stays there.
template <typename T>
T* list_next(List<T>& list) {
  if (list.current == list.elements.end()) return list_first(list);
  auto next = std::next(list.current);
  if (next == list.elements.end()) return nullptr;
  list.current = next;
  ++list.current_index;
  return &*list.current;
}

// At the first element gives none and stays there.
template <typename T>
T* list_previous(List<T>& list) {
  if (list.current == list.elements.end() || list.current == list.elements.begin()) return nullptr;
  --list.current;
  --list.current_index;
  return &*list.current;
}

template <typename T>
void list_reset(List<T>& list) {
  list.current = list.elements.end();
  list.current_index = -1;
}

// Out of range leaves no element current and gives none.
template <typename T>
T* list_select(List<T>& list, int64_t index) {
  if (index < 0 || index >= static_cast<int64_t>(list.elements.size())) {
    list_reset(list);
    return nullptr;
  }
  list.current = std::next(list.elements.begin(), index);
  list.current_index = index;
  return &*list.current;
}

template <typename T>
int64_t list_size(const List<T>& list) {
  return static_cast<int64_t>(list.elements.size());
}

template <typename T>
int64_t list_index(const List<T>& list) {
  return list.current_index;
}

template <typename T>
T* list_current(List<T>& list) {
  return list.current == list.elements.end() ? nullptr : &*list.current;
}

uint32_t map_hash(const Text& key);

template <typename T>
struct Map {
  struct Node {
    Text key;
    T value{};
  };
  std::vector<std::list<Node>> buckets;
  T default_element{};
  size_t count = 0;
  // Walk cursor: the bucket and the node within it; bucket -1 before the walk starts.
  int64_t cursor_bucket = -1;
  typename std::list<Node>::iterator cursor;
};

constexpr int64_t kGameMapBuckets = 512;

template <typename T>
Map<T> map_create(int64_t buckets = kGameMapBuckets) {
  Map<T> map;
  map.buckets.resize(buckets < 1 ? 1 : buckets);
  return map;
}

template <typename T>
std::list<typename Map<T>::Node>& map_bucket(Map<T>& map, const Text& key) {
  if (map.buckets.empty()) map.buckets.resize(kGameMapBuckets);
  return map.buckets[map_hash(key) % map.buckets.size()];
}

// The element for key, or none.
template <typename T>
T* map_find(Map<T>& map, const Text& key) {
  for (auto& node : map_bucket(map, key)) {
    if (node.key == key) return &node.value;
  }
  return nullptr;
}

// The element for key, added zero-filled at the front of its bucket when missing.
template <typename T>
T* map_put(Map<T>& map, const Text& key) {
  if (T* found = map_find(map, key)) return found;
  auto& bucket = map_bucket(map, key);
  bucket.push_front(typename Map<T>::Node{key, T{}});
  ++map.count;
  return &bucket.front().value;
}

// The element for key, or the map's default element; never adds anything.
template <typename T>
const T& map_get(Map<T>& map, const Text& key) {
  if (T* found = map_find(map, key)) return *found;
  map.default_element = T{};
  return map.default_element;
}

template <typename T>
int64_t map_size(const Map<T>& map) {
  return static_cast<int64_t>(map.count);
}

template <typename T>
void map_clear(Map<T>& map) {
  for (auto& bucket : map.buckets) bucket.clear();
  map.count = 0;
  map.cursor_bucket = -1;
}

template <typename T>
void map_reset(Map<T>& map) {
  map.cursor_bucket = -1;
}

// The next element of the walk, or none after the last.
template <typename T>
T* map_next(Map<T>& map) {
  const int64_t bucket_count = static_cast<int64_t>(map.buckets.size());
  if (map.cursor_bucket >= 0 && map.cursor_bucket < bucket_count) {
    if (++map.cursor != map.buckets[map.cursor_bucket].end()) return &map.cursor->value;
  }
  for (++map.cursor_bucket; map.cursor_bucket < bucket_count; ++map.cursor_bucket) {
    auto& bucket = map.buckets[map.cursor_bucket];
    if (!bucket.empty()) {
      map.cursor = bucket.begin();
      return &map.cursor->value;
    }
  }
  map.cursor_bucket = bucket_count;
  return nullptr;
}

// The key of the walk's current element (empty outside a walk).
template <typename T>
Text map_key(const Map<T>& map) {
  if (map.cursor_bucket < 0 || map.cursor_bucket >= static_cast<int64_t>(map.buckets.size())) return Text();
  return map.cursor->key;
}
