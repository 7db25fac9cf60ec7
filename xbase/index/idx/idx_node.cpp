#include "xbase/index/idx/idx_node.h"

#include <cstring>

#include "xbase/frame/endian.h"

namespace kv::xb::idx {

int BitsFor(uint32_t value) {
  int bits = 1;
  while (bits < 32 && (value >> bits) != 0) ++bits;
  return bits;
}

LeafFormat LeafFormatFor(uint16_t keyLength) {
  LeafFormat f;
  const int b = BitsFor(keyLength);
  f.dupBits = static_cast<uint8_t>(b);
  f.trailBits = static_cast<uint8_t>(b);
  f.bytes = static_cast<uint8_t>(b == 1 ? 2 : (b <= 5 ? 3 : 4));
  f.recordBits = static_cast<uint8_t>(8 * f.bytes - 2 * b);
  return f;
}

namespace {

uint64_t GetLE(const uint8_t* p, int n) {
  uint64_t x = 0;
  for (int i = n - 1; i >= 0; --i) x = (x << 8) | p[i];
  return x;
}

void PutLE(uint8_t* p, int n, uint64_t x) {
  for (int i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(x >> (8 * i));
}

bool FormatSound(const LeafFormat& f) {
  return f.bytes >= 1 && f.bytes <= 8 && f.recordBits <= 32 && f.dupBits <= 8 && f.trailBits <= 8 &&
         f.recordBits + f.dupBits + f.trailBits <= 8 * f.bytes;
}

// Leading bytes `key` shares with `previous`, and the pad bytes at its end
// not already covered by them.
void Compression(const IdxIndex& ix, const uint8_t* previous, const uint8_t* key, int* dup,
                 int* trail) {
  const int L = ix.keyLength;
  int d = 0;
  if (previous != nullptr) {
    while (d < L && previous[d] == key[d]) ++d;
  }
  int t = 0;
  while (t < L && key[L - 1 - t] == ix.pad) ++t;
  if (t > L - d) t = L - d;
  *dup = d;
  *trail = t;
}

bool DecodeLeaf(const IdxIndex& ix, const uint8_t* bytes, Node* node) {
  LeafFormat& f = node->format;
  f.recordBits = bytes[kOffRecordBits];
  f.dupBits = bytes[kOffDupBits];
  f.trailBits = bytes[kOffTrailBits];
  f.bytes = bytes[kOffDescriptorBytes];
  if (!FormatSound(f)) return false;
  // Masks that disagree with their widths make the descriptors ambiguous.
  if (GetLE32(bytes + kOffRecordMask) != f.recordMask() || bytes[kOffDupMask] != f.dupMask() ||
      bytes[kOffTrailMask] != f.trailMask()) {
    return false;
  }
  const int n = node->count;
  const int L = ix.keyLength;
  if (static_cast<uint32_t>(n) * f.bytes > kLeafSpace) return false;
  const uint32_t descriptorsEnd = kOffDescriptors + static_cast<uint32_t>(n) * f.bytes;
  uint32_t keyEnd = kNodeSize;  // stored key bytes lie below it
  const uint8_t* previous = nullptr;
  for (int i = 0; i < n; ++i) {
    uint64_t x = GetLE(bytes + kOffDescriptors + i * f.bytes, f.bytes);
    node->records[i] = static_cast<uint32_t>(x & f.recordMask());
    x >>= f.recordBits;
    const int d = static_cast<int>(x & f.dupMask());
    x >>= f.dupBits;
    const int t = static_cast<int>(x & f.trailMask());
    if (d + t > L || (previous == nullptr && d > 0)) return false;
    const uint32_t stored = static_cast<uint32_t>(L - d - t);
    if (keyEnd < descriptorsEnd + stored) return false;
    keyEnd -= stored;
    uint8_t* key = node->keys + i * L;
    if (d > 0) std::memcpy(key, previous, static_cast<size_t>(d));
    std::memcpy(key + d, bytes + keyEnd, stored);
    std::memset(key + d + stored, ix.pad, static_cast<size_t>(t));
    node->children[i] = 0;
    previous = key;
  }
  return true;
}

}  // namespace

bool DecodeNode(const IdxIndex& ix, const uint8_t* bytes, Node* node) {
  node->attributes = GetLE16(bytes + kOffAttributes);
  node->count = GetLE16(bytes + kOffCount);
  node->left = GetLE32(bytes + kOffLeft);
  node->right = GetLE32(bytes + kOffRight);
  node->format = LeafFormat{};
  if (node->attributes > (kAttrRoot | kAttrLeaf)) return false;
  const int L = ix.keyLength;
  if (ix.compact && node->leaf()) return DecodeLeaf(ix, bytes, node);
  if (node->count > ix.keysPerNode) return false;
  const bool leaf = node->leaf();
  for (int i = 0; i < node->count; ++i) {
    const uint8_t* entry = bytes + kOffEntries + i * ix.entrySize;
    std::memcpy(node->keys + i * L, entry, static_cast<size_t>(L));
    if (ix.compact) {
      node->records[i] = GetBE32(entry + L);
      node->children[i] = GetBE32(entry + L + 4);
    } else if (leaf) {
      node->records[i] = GetBE32(entry + L);
      node->children[i] = 0;
    } else {
      node->records[i] = 0;
      node->children[i] = GetBE32(entry + L);
    }
  }
  return true;
}

uint32_t LeafBytes(const IdxIndex& ix, const Node& node, int first, int last) {
  const int L = ix.keyLength;
  uint32_t used = 0;
  for (int i = first; i < last; ++i) {
    int d = 0;
    int t = 0;
    Compression(ix, i == first ? nullptr : node.keys + (i - 1) * L, node.keys + i * L, &d, &t);
    used += node.format.bytes + static_cast<uint32_t>(L - d - t);
  }
  return used;
}

bool NodeFits(const IdxIndex& ix, Node* node) {
  if (!(ix.compact && node->leaf())) return node->count <= ix.keysPerNode;
  if (node->count > Node::kMaxEntries - 1) return false;
  LeafFormat& f = node->format;
  if (f.bytes == 0) f = ix.newLeaf;
  uint32_t highest = 0;
  for (int i = 0; i < node->count; ++i) {
    if (node->records[i] > highest) highest = node->records[i];
  }
  // Counts go up to the key length; a record number above the mask widens
  // the descriptor, keeping every width the node already had.
  const int countBits = BitsFor(ix.keyLength);
  if (f.recordBits < BitsFor(highest) || f.dupBits < countBits || f.trailBits < countBits) {
    LeafFormat w;
    w.dupBits = static_cast<uint8_t>(f.dupBits > countBits ? f.dupBits : countBits);
    w.trailBits = static_cast<uint8_t>(f.trailBits > countBits ? f.trailBits : countBits);
    const int recordBits = f.recordBits > BitsFor(highest) ? f.recordBits : BitsFor(highest);
    const int total = recordBits + w.dupBits + w.trailBits;
    w.bytes = static_cast<uint8_t>((total + 7) / 8);
    const int spare = 8 * w.bytes - w.dupBits - w.trailBits;
    w.recordBits = static_cast<uint8_t>(spare > 32 ? 32 : spare);
    f = w;
  }
  return LeafBytes(ix, *node, 0, node->count) <= kLeafSpace;
}

void EncodeNode(const IdxIndex& ix, const Node& node, uint8_t* bytes) {
  std::memset(bytes, 0, kNodeSize);
  PutLE16(bytes + kOffAttributes, node.attributes);
  PutLE16(bytes + kOffCount, static_cast<uint16_t>(node.count));
  PutLE32(bytes + kOffLeft, node.left);
  PutLE32(bytes + kOffRight, node.right);
  const int L = ix.keyLength;
  if (ix.compact && node.leaf()) {
    const LeafFormat& f = node.format;
    PutLE16(bytes + kOffFreeBytes,
            static_cast<uint16_t>(kLeafSpace - LeafBytes(ix, node, 0, node.count)));
    PutLE32(bytes + kOffRecordMask, f.recordMask());
    bytes[kOffDupMask] = static_cast<uint8_t>(f.dupMask());
    bytes[kOffTrailMask] = static_cast<uint8_t>(f.trailMask());
    bytes[kOffRecordBits] = f.recordBits;
    bytes[kOffDupBits] = f.dupBits;
    bytes[kOffTrailBits] = f.trailBits;
    bytes[kOffDescriptorBytes] = f.bytes;
    uint32_t keyEnd = kNodeSize;
    for (int i = 0; i < node.count; ++i) {
      const uint8_t* key = node.keys + i * L;
      int d = 0;
      int t = 0;
      Compression(ix, i == 0 ? nullptr : key - L, key, &d, &t);
      const uint64_t x = node.records[i] | (uint64_t{static_cast<uint32_t>(d)} << f.recordBits) |
                         (uint64_t{static_cast<uint32_t>(t)} << (f.recordBits + f.dupBits));
      PutLE(bytes + kOffDescriptors + i * f.bytes, f.bytes, x);
      const uint32_t stored = static_cast<uint32_t>(L - d - t);
      keyEnd -= stored;
      std::memcpy(bytes + keyEnd, key + d, stored);
    }
    return;
  }
  const bool leaf = node.leaf();
  for (int i = 0; i < node.count; ++i) {
    uint8_t* entry = bytes + kOffEntries + i * ix.entrySize;
    std::memcpy(entry, node.keys + i * L, static_cast<size_t>(L));
    if (ix.compact) {
      PutBE32(entry + L, node.records[i]);
      PutBE32(entry + L + 4, node.children[i]);
    } else {
      PutBE32(entry + L, leaf ? node.records[i] : node.children[i]);
    }
  }
}

}  // namespace kv::xb::idx
