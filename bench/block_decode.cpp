// Speed of the block decoder on the kinds of data the packs hold, against a plain copy of the
// same bytes and against zlib's inflate of the same data (compressed at its best level).
// Throughput is reported for the unpacked bytes.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <string>

#include "runtime/data/block_codec.h"

namespace {

constexpr int64_t kDataSize = 8 << 20;

enum Shape { kText, kLevels, kMixed };

// Text like the language files, levels in the plain-text notation, and a mix of text with
// stretches of noise (already-compressed pictures and sounds).
MemoryBlock MakeData(Shape shape) {
  std::mt19937 random(1234);
  static const char* const kWords[] = {"crate ", "keeper ", "pushes ", "the ", "onto ", "target ", "level ",
                                       "= ",     "tMenu",   "START\n", "Settings ", "window ", "\n"};
  static const char* const kRows[] = {"#######\n", "#  .  #\n", "# $@$ #\n", "#. $ .#\n", "#  #  #\n", "## * ##\n"};
  MemoryBlock data;
  while (static_cast<int64_t>(data.size()) < kDataSize) {
    std::string piece;
    if (shape == kLevels) {
      piece = kRows[random() % 6];
    } else if (shape == kMixed && random() % 64 == 0) {
      for (int i = 0; i < 256; ++i) piece.push_back(static_cast<char>(random()));
    } else {
      piece = kWords[random() % 13];
    }
    data.insert(data.end(), piece.begin(), piece.end());
  }
  data.resize(kDataSize);
  return data;
}

const MemoryBlock& Data(Shape shape) {
  static const MemoryBlock data[] = {MakeData(kText), MakeData(kLevels), MakeData(kMixed)};
  return data[shape];
}

void Memcpy(benchmark::State& state) {
  const MemoryBlock& data = Data(static_cast<Shape>(state.range(0)));
  MemoryBlock out(data.size());
  for (auto _ : state) {
    std::memcpy(out.data(), data.data(), data.size());
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kDataSize);
}

void BlockDecode(benchmark::State& state) {
  const MemoryBlock& data = Data(static_cast<Shape>(state.range(0)));
  const MemoryBlock packed = block_container_encode(data.data(), kDataSize);
  MemoryBlock out(data.size());
  auto decode = [&] {
    return block_container_decode(packed.data(), static_cast<int64_t>(packed.size()), out.data(),
                                  static_cast<int64_t>(out.size()));
  };
  if (decode() != kDataSize || out != data) state.SkipWithError("decoded data differs");
  for (auto _ : state) {
    benchmark::DoNotOptimize(decode());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kDataSize);
  state.counters["ratio"] = static_cast<double>(packed.size()) / kDataSize;
}

void ZlibInflate(benchmark::State& state) {
  const MemoryBlock& data = Data(static_cast<Shape>(state.range(0)));
  uLongf packed_size = compressBound(data.size());
  MemoryBlock packed(packed_size);
  compress2(packed.data(), &packed_size, data.data(), data.size(), Z_BEST_COMPRESSION);
  MemoryBlock out(data.size());
  for (auto _ : state) {
    uLongf size = out.size();
    if (uncompress(out.data(), &size, packed.data(), packed_size) != Z_OK || size != data.size()) {
      state.SkipWithError("inflate failed");
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kDataSize);
  state.counters["ratio"] = static_cast<double>(packed_size) / kDataSize;
}

}  // namespace

BENCHMARK(Memcpy)->Arg(kText)->Arg(kLevels)->Arg(kMixed)->Unit(benchmark::kMillisecond);
BENCHMARK(BlockDecode)->Arg(kText)->Arg(kLevels)->Arg(kMixed)->Unit(benchmark::kMillisecond);
BENCHMARK(ZlibInflate)->Arg(kText)->Arg(kLevels)->Arg(kMixed)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
