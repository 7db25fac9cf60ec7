#include "host/index_check/mdx_invariants.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

namespace kvcheck {
namespace {

uint16_t U16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t U32(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + i]);
  return v;
}

double DoubleOf(const std::string& key) {
  uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = bits << 8 | static_cast<uint8_t>(key[i]);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

class Checker {
 public:
  Checker(const std::string& bytes, const MdxCheckOptions& options, MdxCheckResult& out)
      : b_(bytes), options_(options), out_(out) {}

  bool Run() {
    if (b_.size() < 2048) return Fail("file shorter than header and tag table");
    if (b_[0] != 2) return Fail("version byte is not 2");
    units_ = U16(b_, 20);
    if (units_ < 1 || units_ > 32) return Fail("block units out of range");
    blockBytes_ = units_ * 512u;
    if (U16(b_, 22) != blockBytes_) return Fail("block bytes differ from units x 512");
    if (b_[25] != 48 || b_[26] != 32) return Fail("slot count or slot length mark");
    const int tags = U16(b_, 28);
    if (tags > 47) return Fail("more than 47 tags");
    next_ = U32(b_, 32);
    if (next_ < 4) return Fail("next block below 4");
    if (b_.size() != uint64_t{next_} * 512) return Fail("file size differs from next block x 512");
    if ((next_ - 4) % units_ != 0) return Fail("next block not on a block boundary");
    used_.assign(next_, false);
    out_.units = units_;
    out_.nextBlock = next_;
    for (int slot = 1; slot <= 47; ++slot) {
      const size_t at = 512 + slot * 32u;
      if (slot > tags) {
        for (int i = 0; i < 32; ++i) {
          if (b_[at + i] != 0)
            return Fail("slot " + std::to_string(slot) + " beyond the tags is not empty");
        }
        continue;
      }
      if (!CheckTag(slot, at)) return false;
    }
    if (!CheckFreeList()) return false;
    if (!options_.everyBlockKnown) return true;
    for (uint32_t block = 4; block < next_; block += units_) {
      if (!used_[block])
        return Fail("block " + std::to_string(block) + " is neither used nor free");
    }
    if (usedCount_ != (next_ - 4) / units_) return Fail("blocks off the block boundaries");
    return true;
  }

 private:
  bool Fail(const std::string& why) {
    out_.error = why;
    return false;
  }

  bool Claim(uint32_t block, const std::string& what) {
    if (block < 4 || block >= next_ || (block - 4) % units_ != 0 || block + units_ > next_) {
      return Fail(what + ": block " + std::to_string(block) + " outside the file");
    }
    if (used_[block]) return Fail(what + ": block " + std::to_string(block) + " used twice");
    used_[block] = true;
    ++usedCount_;
    return true;
  }

  bool CheckTag(int slot, size_t at) {
    MdxTagReport tag;
    tag.headerBlock = U32(b_, at);
    const std::string where = "tag slot " + std::to_string(slot);
    size_t nameLength = 0;
    while (nameLength < 11 && b_[at + 4 + nameLength] != 0) ++nameLength;
    if (nameLength < 1 || nameLength > 10) return Fail(where + ": name length");
    tag.name = b_.substr(at + 4, nameLength);
    if (b_[at + 19] != 2) return Fail(where + ": byte 19 is not 2");
    if (!Claim(tag.headerBlock, where + " header")) return false;
    const size_t h = size_t{tag.headerBlock} * 512;
    tag.root = U32(b_, h);
    const uint8_t flags = static_cast<uint8_t>(b_[h + 8]);
    tag.type = b_[h + 9];
    tag.keyLength = U16(b_, h + 12);
    tag.keysPerBlock = U16(b_, h + 14);
    const int mark = U16(b_, h + 16);
    const int E = U16(b_, h + 18);
    if (b_[at + 20] != tag.type) return Fail(where + ": slot type differs from header");
    if (flags & 0xA7) return Fail(where + ": refused flag bits");
    tag.unique = (flags & 0x40) != 0;
    tag.descending = (flags & 0x08) != 0;
    const int L = tag.keyLength;
    if (tag.type == 'C'   ? (L < 1 || L > 100)
        : tag.type == 'N' ? L != 12
        : tag.type == 'D' ? L != 8
                          : true) {
      return Fail(where + ": type and key length");
    }
    if (mark != (tag.type == 'D' ? 1 : 0)) return Fail(where + ": offset 16");
    if (E != ((L + 3) / 4) * 4 + 4) return Fail(where + ": entry size");
    if (tag.keysPerBlock != static_cast<int>((blockBytes_ - 12) / E))
      return Fail(where + ": keys per block");
    for (size_t i = 0; i < 222 && b_[h + 24 + i] != 0; ++i)
      tag.expression.push_back(b_[h + 24 + i]);
    if (tag.expression.empty() || tag.expression.size() > 221) return Fail(where + ": expression");
    E_ = E;
    tag_ = &tag;
    leafDepth_ = -1;
    if (!Walk(tag.root, 0, true, nullptr)) {
      out_.error = where + " (" + tag.name + "): " + out_.error;
      return false;
    }
    tag.depth = leafDepth_;
    out_.tags.push_back(std::move(tag));
    return true;
  }

  // Walks the subtree at `block`; `*greatest` receives its greatest key.
  bool Walk(uint32_t block, int depth, bool isRoot, std::string* greatest) {
    if (depth > 64) return Fail("tree deeper than 64 levels");
    if (!Claim(block, "node")) return false;
    const size_t n0 = size_t{block} * 512;
    const int count = U16(b_, n0);
    const int K = tag_->keysPerBlock;
    const int L = tag_->keyLength;
    if (count > K) return Fail("count above K in block " + std::to_string(block));
    auto ptr = [&](int i) { return U32(b_, n0 + 8 + size_t(i) * E_); };
    auto key = [&](int i) { return b_.substr(n0 + 12 + size_t(i) * E_, L); };
    const bool leaf = ptr(count) == 0;
    if (!isRoot && count < (options_.minimumFill ? K / 2 : 1)) {
      return Fail("block " + std::to_string(block) + " holds " + std::to_string(count) +
                  " keys below the root");
    }
    if (isRoot && count == 0 && !leaf) return Fail("interior root without keys");
    if (leaf) {
      if (leafDepth_ < 0) leafDepth_ = depth;
      if (leafDepth_ != depth) return Fail("leaves at different depths");
      for (int i = 0; i < count; ++i) {
        MdxEntry e{key(i), ptr(i)};
        if (options_.keyOrder && !tag_->entries.empty()) {
          const MdxEntry& last = tag_->entries.back();
          const int c = CompareMdxKeys(last.key, e.key, tag_->type, tag_->descending);
          if (c > 0) return Fail("keys out of order in block " + std::to_string(block));
          if (c == 0 && !tag_->unique && last.record > e.record) {
            return Fail("equal keys out of record order in block " + std::to_string(block));
          }
        }
        tag_->entries.push_back(e);
      }
      if (greatest != nullptr && count > 0) *greatest = key(count - 1);
      if (greatest != nullptr && count == 0) greatest->clear();
      return true;
    }
    for (int i = 0; i <= count; ++i) {
      std::string g;
      if (!Walk(ptr(i), depth + 1, false, &g)) return false;
      if (i < count && g != key(i)) {
        return Fail("interior key " + std::to_string(i) + " of block " + std::to_string(block) +
                    " is not the greatest key of its subtree");
      }
      if (i == count && greatest != nullptr) *greatest = g;
    }
    return true;
  }

  bool CheckFreeList() {
    uint32_t head = U32(b_, 36);
    const uint32_t count = U32(b_, 40);
    uint32_t seen = 0;
    while (head != 0) {
      if (!Claim(head, "free list")) return false;
      ++seen;
      head = U32(b_, size_t{head} * 512 + 4);
    }
    if (seen != count)
      return Fail("free list holds " + std::to_string(seen) + " blocks, header says " +
                  std::to_string(count));
    out_.freeBlocks = seen;
    return true;
  }

  const std::string& b_;
  const MdxCheckOptions& options_;
  MdxCheckResult& out_;
  int units_ = 1;
  uint32_t blockBytes_ = 512;
  uint32_t next_ = 4;
  int E_ = 0;
  int leafDepth_ = -1;
  MdxTagReport* tag_ = nullptr;
  std::vector<bool> used_;
  uint32_t usedCount_ = 0;
};

}  // namespace

long double DecodeMdxNumber(const std::string& key) {
  const int exponent = static_cast<uint8_t>(key[0]) - 0x34;
  long double mantissa = 0;
  long double scale = 0.1L;
  for (int i = 2; i < 12; ++i) {
    const uint8_t b = static_cast<uint8_t>(key[i]);
    mantissa += (b >> 4) * scale;
    scale /= 10;
    mantissa += (b & 15) * scale;
    scale /= 10;
  }
  const long double value = mantissa * std::pow(10.0L, exponent);
  return (static_cast<uint8_t>(key[1]) & 0x80) ? -value : value;
}

int CompareMdxKeys(const std::string& a, const std::string& b, char type, bool descending) {
  int c = 0;
  if (type == 'N') {
    const long double x = DecodeMdxNumber(a);
    const long double y = DecodeMdxNumber(b);
    c = x < y ? -1 : (x > y ? 1 : 0);
    // Zero and minus zero differ only by their sign byte.
    if (c == 0 && a != b) c = (static_cast<uint8_t>(a[1]) & 0x80) ? -1 : 1;
  } else if (type == 'D') {
    const double x = DoubleOf(a);
    const double y = DoubleOf(b);
    c = x < y ? -1 : (x > y ? 1 : 0);
  } else {
    const int r = std::memcmp(a.data(), b.data(), std::min(a.size(), b.size()));
    c = r < 0 ? -1 : (r > 0 ? 1 : 0);
  }
  return descending ? -c : c;
}

MdxCheckResult CheckMdxFile(const std::string& path, const MdxCheckOptions& options) {
  MdxCheckResult result;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    result.error = "cannot read " + path;
    return result;
  }
  in.seekg(0, std::ios::end);
  std::string bytes(static_cast<size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  Checker checker(bytes, options, result);
  checker.Run();
  return result;
}

}  // namespace kvcheck
