// The block coder of the runtime's pack format. The decoder runs on every start-up for every
// compressed asset, so it takes literal runs and matches a whole copy at a time instead of one
// byte at a time; the compressor only runs when packs are built.
#include "runtime/data/block_codec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

constexpr char kContainerMagic[4] = {'1', 'z', 'l', 'b'};
// No valid gamma code of a block comes near this; larger values only come from corrupt input
// and would overflow the arithmetic below.
constexpr uint32_t kGammaLimit = uint32_t{1} << 30;
constexpr int64_t kMinMatch = 4;
// The compressor's chains hold 32-bit positions.
constexpr int64_t kLargestBlock = int64_t{1} << 30;  // the smallest length a gamma code (at least 2) can give

int64_t ReadInt64(const uint8_t* p) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | p[i];
  return static_cast<int64_t>(value);
}

void PutInt64(MemoryBlock& out, int64_t value) {
  for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i)));
}

// Gamma codes that fit in 8 bits, by those 8 bits (most significant first): the value and the
// number of bits the code takes, or a length of 0 when the code runs on past them.
struct GammaEntry {
  uint8_t value;
  uint8_t length;
};

constexpr std::array<GammaEntry, 256> MakeGammaTable() {
  std::array<GammaEntry, 256> table{};
  for (int byte = 0; byte < 256; ++byte) {
    int value = 1;
    for (int used = 0; used < 8; used += 2) {
      value = value * 2 + ((byte >> (7 - used)) & 1);
      if (((byte >> (6 - used)) & 1) == 0) {
        table[byte] = GammaEntry{static_cast<uint8_t>(value), static_cast<uint8_t>(used + 2)};
        break;
      }
    }
  }
  return table;
}

constexpr std::array<GammaEntry, 256> kGammaTable = MakeGammaTable();

// The control bits of a match's two gamma codes, gathered ahead: what is left of the current tag
// word followed by the next tag words of the input. Between the match bit and the offset byte
// the decoder reads nothing but tag words, so those words are exactly the ones it would read;
// only the ones the codes really use are taken from the input at the end.
struct BitWindow {
  uint64_t bits = 0;  // the next bit at the top
  int available = 0;
  int used = 0;

  bool Gamma(uint32_t* value) {
    const GammaEntry entry = kGammaTable[bits >> 56];
    if (entry.length != 0 && used + entry.length <= available) {
      *value = entry.value;
      bits <<= entry.length;
      used += entry.length;
      return true;
    }
    uint32_t v = 1;
    for (;;) {
      if (used + 2 > available || v >= kGammaLimit) return false;
      v = (v << 1) | static_cast<uint32_t>(bits >> 63);
      const bool more = (bits >> 62) & 1;
      bits <<= 2;
      used += 2;
      if (!more) break;
    }
    *value = v;
    return true;
  }
};

// Decodes one block. Writes may reach `limit` (at least out + out_size): bytes between the
// block's end and the limit are scratch that later blocks overwrite, which lets short copies
// move whole 8-byte words.
int64_t DecodeBlock(const uint8_t* in, int64_t in_size, uint8_t* out, int64_t out_size, const uint8_t* limit) {
  if (out_size == 0) return 0;
  if (out_size < 0 || in_size < 1) return -1;
  const uint8_t* src = in;
  const uint8_t* const src_end = in + in_size;
  uint8_t* dst = out;
  uint8_t* const dst_end = out + out_size;
  uint32_t tag = 0;
  int bits = 0;  // unused bits left in tag, the next one at position bits - 1
  bool corrupt = false;

  auto next_bit = [&]() -> uint32_t {
    if (bits == 0) {
      if (src_end - src < 2) {
        corrupt = true;
        return 0;
      }
      tag = src[0] | (uint32_t{src[1]} << 8);
      src += 2;
      bits = 16;
    }
    --bits;
    return (tag >> bits) & 1;
  };
  auto gamma = [&]() -> uint32_t {
    uint32_t value = 1;
    do {
      value = (value << 1) + next_bit();
      if (value >= kGammaLimit) corrupt = true;
    } while (!corrupt && next_bit());
    return value;
  };

  *dst++ = *src++;
  while (dst < dst_end) {
    if (bits == 0) {
      if (src_end - src < 2) return -1;
      tag = src[0] | (uint32_t{src[1]} << 8);
      src += 2;
      bits = 16;
    }
    const uint32_t remaining = tag & ((uint32_t{1} << bits) - 1);
    if ((remaining >> (bits - 1)) == 0) {
      // A run of zero bits: that many literal bytes lie next to each other in the input.
      const int zeros = remaining == 0 ? bits : bits - 1 - (31 - __builtin_clz(remaining));
      const int64_t run = std::min<int64_t>(zeros, dst_end - dst);
      if (src_end - src < run) return -1;
      if (run <= 8 && limit - dst >= 8 && src_end - src >= 8) {
        std::memcpy(dst, src, 8);
      } else {
        std::memcpy(dst, src, run);
      }
      dst += run;
      src += run;
      bits -= static_cast<int>(run);
      continue;
    }
    --bits;
    uint64_t length;
    uint64_t high;
    BitWindow window;
    window.available = bits;
    window.bits = bits == 0 ? 0 : uint64_t{remaining} << (64 - bits);
    const uint8_t* ahead = src;
    for (; window.available <= 32 && src_end - ahead >= 2; ahead += 2, window.available += 16) {
      window.bits |= uint64_t{uint32_t{ahead[0]} | (uint32_t{ahead[1]} << 8)} << (48 - window.available);
    }
    uint32_t length_code, high_code;
    if (window.Gamma(&length_code) && window.Gamma(&high_code)) {
      length = uint64_t{length_code} + 2;
      high = high_code;
      if (window.used > bits) {
        const int words = (window.used - bits + 15) / 16;
        src += 2 * words;
        tag = src[-2] | (uint32_t{src[-1]} << 8);
        bits = bits + 16 * words - window.used;
      } else {
        bits -= window.used;
      }
    } else {
      // Codes longer than the window, or input that runs out: the exact bit-by-bit reading.
      length = uint64_t{gamma()} + 2;
      high = gamma();
    }
    if (corrupt || src >= src_end) return -1;
    const uint64_t offset = (high - 2) * 256 + *src++ + 1;
    if (offset > static_cast<uint64_t>(dst - out) || length > static_cast<uint64_t>(dst_end - dst)) return -1;
    const uint8_t* from = dst - offset;
    if (offset >= 8 && length <= 16 && limit - dst >= 16) {
      // With the source at least 8 bytes back, the second word reads only bytes already written.
      std::memcpy(dst, from, 8);
      std::memcpy(dst + 8, from + 8, 8);
      dst += length;
      continue;
    }
    // The bytes from `from` to `dst` repeat with the match's period, so each copy may take all of
    // them: the copied stretch doubles until the match is done, and never overlaps its source.
    for (uint64_t left = length; left > 0;) {
      const uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(dst - from), left);
      std::memcpy(dst, from, n);
      dst += n;
      left -= n;
    }
  }
  return src - in;
}

// ---- Compressor ----

int FloorLog2(uint32_t value) { return 31 - __builtin_clz(value); }

int GammaBits(uint32_t value) { return 2 * FloorLog2(value); }

int64_t MatchBits(int64_t length, int64_t offset) {
  return 1 + GammaBits(static_cast<uint32_t>(length - 2)) +
         GammaBits(static_cast<uint32_t>(((offset - 1) >> 8) + 2)) + 8;
}

// Bits saved by a match against literals of 9 bits each.
int64_t Savings(int64_t length, int64_t offset) { return 9 * length - MatchBits(length, offset); }

// Writes control bits and bytes in exactly the order the decoder reads them: a tag word is
// placed at the current output position only when a bit is wanted and the last word is full, so
// the block never ends in a tag word that no bit uses.
struct BlockWriter {
  MemoryBlock& out;
  size_t tag_at = 0;
  int tag_used = 16;

  void Bit(uint32_t bit) {
    if (tag_used == 16) {
      tag_at = out.size();
      out.push_back(0);
      out.push_back(0);
      tag_used = 0;
    }
    const int position = 15 - tag_used++;
    if (bit) out[tag_at + position / 8] |= static_cast<uint8_t>(1u << (position % 8));
  }
  void Gamma(uint32_t value) {
    for (int i = FloorLog2(value) - 1; i >= 0; --i) {
      Bit((value >> i) & 1);
      Bit(i > 0);
    }
  }
  void Literal(uint8_t byte) {
    Bit(0);
    out.push_back(byte);
  }
  void Match(int64_t length, int64_t offset) {
    Bit(1);
    Gamma(static_cast<uint32_t>(length - 2));
    Gamma(static_cast<uint32_t>(((offset - 1) >> 8) + 2));
    out.push_back(static_cast<uint8_t>((offset - 1) & 0xFF));
  }
};

struct Match {
  int64_t length = 0;
  int64_t offset = 0;
  int64_t savings = 0;
};

// Hash chains over the block: the most recent positions are tried first, a bounded number of
// them, and the match that saves the most bits wins.
class MatchFinder {
 public:
  MatchFinder(const uint8_t* data, int64_t size)
      : data_(data), size_(size), head_(kHashSize, -1), chain_(static_cast<size_t>(size), -1) {}

  void Insert(int64_t pos) {
    if (size_ - pos < kMinMatch) return;
    const uint32_t h = Hash(pos);
    chain_[pos] = head_[h];
    head_[h] = static_cast<int32_t>(pos);
  }

  Match Find(int64_t pos) const {
    Match best;
    if (size_ - pos < kMinMatch) return best;
    const int64_t most = size_ - pos;
    int depth = kMaxChain;
    for (int64_t candidate = head_[Hash(pos)]; candidate >= 0 && depth-- > 0; candidate = chain_[candidate]) {
      if (best.length > 0 && (best.length >= most || data_[candidate + best.length] != data_[pos + best.length])) {
        continue;
      }
      int64_t length = 0;
      while (length < most && data_[candidate + length] == data_[pos + length]) ++length;
      if (length < kMinMatch) continue;
      const int64_t savings = Savings(length, pos - candidate);
      if (savings > best.savings) best = Match{length, pos - candidate, savings};
      if (length == most) break;
    }
    return best;
  }

 private:
  static constexpr int kHashBits = 16;
  static constexpr size_t kHashSize = size_t{1} << kHashBits;
  static constexpr int kMaxChain = 64;

  uint32_t Hash(int64_t pos) const {
    uint32_t word;
    std::memcpy(&word, data_ + pos, 4);
    return (word * 2654435761u) >> (32 - kHashBits);
  }

  const uint8_t* data_;
  int64_t size_;
  std::vector<int32_t> head_;
  std::vector<int32_t> chain_;
};

}  // namespace

int64_t block_decode(const uint8_t* in, int64_t in_size, uint8_t* out, int64_t out_size) {
  return DecodeBlock(in, in_size, out, out_size, out + std::max<int64_t>(out_size, 0));
}

int64_t block_container_decode(const uint8_t* in, int64_t in_size, uint8_t* out, int64_t capacity) {
  if (in_size < kBlockContainerHeader || std::memcmp(in, kContainerMagic, 4) != 0) return -1;
  const int64_t unpacked = ReadInt64(in + 8);
  const int64_t block_size = ReadInt64(in + 16);
  if (unpacked < 0 || unpacked > capacity) return -1;
  if (unpacked > 0 && block_size <= 0) return -1;
  const uint8_t* src = in + kBlockContainerHeader;
  const uint8_t* const src_end = in + in_size;
  // Bytes past the data belong to the caller (a zero-filled block, say) and stay untouched.
  const uint8_t* const limit = out + unpacked;
  for (int64_t done = 0; done < unpacked;) {
    const int64_t length = std::min(block_size, unpacked - done);
    const int64_t used = DecodeBlock(src, src_end - src, out + done, length, limit);
    if (used < 0) return -1;
    src += used;
    done += length;
  }
  return unpacked;
}

MemoryBlock block_encode(const uint8_t* in, int64_t size) {
  MemoryBlock out;
  if (size <= 0) return out;
  out.reserve(static_cast<size_t>(size + size / 8 + 16));
  BlockWriter writer{out};
  MatchFinder finder(in, size);
  out.push_back(in[0]);
  finder.Insert(0);
  int64_t pos = 1;
  Match match = finder.Find(pos);
  while (pos < size) {
    if (match.savings <= 0) {
      writer.Literal(in[pos]);
      finder.Insert(pos++);
      match = finder.Find(pos);
      continue;
    }
    // One step of lookahead: a better match starting at the next byte is worth a literal.
    finder.Insert(pos);
    const Match next = finder.Find(pos + 1);
    if (next.savings > match.savings) {
      writer.Literal(in[pos++]);
      match = next;
      continue;
    }
    writer.Match(match.length, match.offset);
    for (int64_t k = pos + 1; k < pos + match.length; ++k) finder.Insert(k);
    pos += match.length;
    match = finder.Find(pos);
  }
  return out;
}

MemoryBlock block_container_encode(const uint8_t* data, int64_t size, int64_t block_size) {
  if (block_size <= 0 || block_size > kLargestBlock) block_size = kDefaultBlockSize;
  MemoryBlock out(kContainerMagic, kContainerMagic + 4);
  out.resize(8, 0);  // reserved
  PutInt64(out, size);
  PutInt64(out, block_size);
  for (int64_t done = 0; done < size; done += block_size) {
    const MemoryBlock block = block_encode(data + done, std::min(block_size, size - done));
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}
