#include "image/tiff/tiff_directory.h"

#include <optional>

namespace kv::image::tiff {

namespace {

enum Tag : uint16_t {
  kNewSubfileType = 254,
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompressionTag = 259,
  kPhotometricTag = 262,
  kFillOrder = 266,
  kStripOffsets = 273,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kPlanarConfiguration = 284,
  kT4Options = 292,
  kPredictor = 317,
  kColorMap = 320,
};

enum FieldType : uint16_t { kByte = 1, kShort = 3, kLong = 4 };

struct Entry {
  uint16_t tag = 0;
  uint16_t type = 0;
  uint32_t count = 0;
  uint8_t value[4] = {};
};

class Reader {
 public:
  Reader(ByteSource& source, bool big_endian) : source_(source), big_(big_endian) {}
  uint16_t u16(const uint8_t* p) const {
    return big_ ? static_cast<uint16_t>((p[0] << 8) | p[1])
                : static_cast<uint16_t>(p[0] | (p[1] << 8));
  }
  uint32_t u32(const uint8_t* p) const {
    return big_ ? (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3]
                : (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
  }
  // The values of a BYTE, SHORT or LONG field, from the entry itself or from
  // the offset it holds. Nothing when the type is another or the values lie
  // outside the file (so that a forged count cannot make us allocate more
  // than the file holds).
  std::optional<std::vector<uint32_t>> values(const Entry& e) {
    size_t size = e.type == kByte ? 1 : e.type == kShort ? 2 : e.type == kLong ? 4 : 0;
    if (size == 0 || e.count == 0) return std::nullopt;
    const uint64_t bytes = uint64_t{size} * e.count;
    std::vector<uint8_t> raw(4);
    if (bytes <= 4) {
      raw.assign(e.value, e.value + 4);
    } else {
      const uint64_t offset = u32(e.value);
      const int64_t file_size = source_.size();
      if (file_size < 0 || offset + bytes > static_cast<uint64_t>(file_size)) return std::nullopt;
      raw.resize(bytes);
      if (!source_.seek(offset) || !source_.read_all(raw.data(), raw.size())) return std::nullopt;
    }
    std::vector<uint32_t> out(e.count);
    for (uint32_t i = 0; i < e.count; ++i) {
      const uint8_t* p = raw.data() + i * size;
      out[i] = size == 1 ? *p : size == 2 ? u16(p) : u32(p);
    }
    return out;
  }
  std::optional<uint32_t> first(const Entry& e) {
    if (e.type != kByte && e.type != kShort && e.type != kLong) return std::nullopt;
    if (e.count == 0) return std::nullopt;
    return e.type == kByte ? e.value[0] : e.type == kShort ? u16(e.value) : u32(e.value);
  }

 private:
  ByteSource& source_;
  bool big_;
};

const Entry* find(const std::vector<Entry>& entries, uint16_t tag) {
  for (const Entry& e : entries)
    if (e.tag == tag) return &e;
  return nullptr;
}

}  // namespace

int read_directory(ByteSource& source, Directory& d) {
  d = Directory{};
  uint8_t header[8];
  if (!source.seek(0) || !source.read_all(header, sizeof header)) return kHeaderRead;
  if (header[0] == 'M' && header[1] == 'M')
    d.big_endian = true;
  else if (header[0] != 'I' || header[1] != 'I')
    return kHeaderRead;
  Reader r(source, d.big_endian);
  if (r.u16(header + 2) != 42) return kHeaderRead;

  uint8_t count_bytes[2];
  if (!source.seek(r.u32(header + 4)) || !source.read_all(count_bytes, 2)) return kHeaderRead;
  const uint16_t count = r.u16(count_bytes);
  std::vector<uint8_t> raw(size_t{count} * 12);
  if (!source.read_all(raw.data(), raw.size())) return kHeaderRead;
  std::vector<Entry> entries(count);
  for (uint16_t i = 0; i < count; ++i) {
    const uint8_t* p = raw.data() + size_t{i} * 12;
    entries[i].tag = r.u16(p);
    entries[i].type = r.u16(p + 2);
    entries[i].count = r.u32(p + 4);
    std::copy(p + 8, p + 12, entries[i].value);
    // A SHORT held in the entry sits in its first two bytes; u16 reads it
    // from there in both byte orders.
  }
  auto scalar = [&](uint16_t tag) -> std::optional<uint32_t> {
    const Entry* e = find(entries, tag);
    return e ? r.first(*e) : std::nullopt;
  };

  if (const Entry* e = find(entries, kNewSubfileType); e && (e->count == 1 || e->count == 2)) {
    if (r.first(*e).value_or(0) > 2) return kBadSubfileType;
  }
  // An image without rows or columns has no width or height to show.
  auto width = scalar(kImageWidth);
  if (!width || *width == 0) return kNoWidth;
  auto height = scalar(kImageLength);
  if (!height || *height == 0) return kNoHeight;
  d.width = *width;
  d.height = *height;

  d.samples = scalar(kSamplesPerPixel).value_or(1);
  std::vector<uint32_t> bits{1};
  if (const Entry* e = find(entries, kBitsPerSample)) {
    auto v = r.values(*e);
    if (!v) return kBadBitsPerPixel;
    bits = *v;
  }
  const uint32_t planar = scalar(kPlanarConfiguration).value_or(1);
  if (planar == 2 && d.samples > 1) return kUnknownFormat;
  uint64_t total = 0;
  if (bits.size() == 1) {
    total = uint64_t{bits[0]} * d.samples;
  } else {
    for (uint32_t b : bits) total += b;
    if (bits.size() != d.samples) return kBadBitsPerPixel;
  }
  for (uint32_t b : bits)
    if (b != bits[0]) return kBadBitsPerPixel;
  // Colour data is 8 bits a sample; one-sample data is 1, 4 or 8 bits.
  const bool accepted = (d.samples == 1 && (total == 1 || total == 4 || total == 8)) ||
                        (d.samples == 3 && total == 24) || (d.samples == 4 && total == 32);
  if (!accepted) return kBadBitsPerPixel;
  d.bits_per_pixel = static_cast<uint32_t>(total);

  d.compression = scalar(kCompressionTag).value_or(kNone);
  auto photometric = scalar(kPhotometricTag);
  if (!photometric) return kBadPhotometric;
  d.photometric = *photometric;
  const bool grey_depth = d.bits_per_pixel <= 8;
  switch (d.photometric) {
    case kWhiteIsZero:
    case kBlackIsZero:
    case kPalette:
      // A palette belongs to 1, 4 and 8 bits only: a colour map of 2^24
      // entries has no place in a 24-bit bitmap.
      if (!grey_depth) return kBadPhotometric;
      break;
    case kRgb:
    case kSeparated:
      if (grey_depth) return kBadPhotometric;
      break;
    default:
      return kBadPhotometric;
  }

  // Bit 0 of T4Options marks two-dimensional coding, which this reader does
  // not decode; the other bits (uncompressed mode, fill bits) may be set
  // with it or alone.
  if (auto t4 = scalar(kT4Options); t4 && (*t4 & 1) != 0) return kUnknownFormat;
  d.fill_order = scalar(kFillOrder).value_or(1);

  const Entry* offsets = find(entries, kStripOffsets);
  if (!offsets || (offsets->type != kShort && offsets->type != kLong)) return kNoStripOffsets;
  auto offset_values = r.values(*offsets);
  if (!offset_values) return kNoStripOffsets;
  d.strip_offsets = std::move(*offset_values);

  if (d.photometric == kPalette) {
    const Entry* map = find(entries, kColorMap);
    if (!map) return kNoColorMap;
    const uint32_t needed = 3u << d.bits_per_pixel;
    if (map->type != kShort || map->count < needed) return kNoColorMap;
    auto v = r.values(*map);
    if (!v) return kNoColorMap;
    d.color_map.assign(v->begin(), v->begin() + needed);
    // With fewer entries than the depth allows the blues follow the
    // greens at the map's own third.
    if (map->count > needed) {
      const uint32_t third = map->count / 3;
      for (uint32_t c = 0; c < 3; ++c)
        for (uint32_t i = 0; i < (1u << d.bits_per_pixel); ++i)
          d.color_map[c * (1u << d.bits_per_pixel) + i] =
              static_cast<uint16_t>((*v)[c * third + i]);
    }
  }
  d.predictor = scalar(kPredictor).value_or(1);

  // Rows per strip of 0 (which would divide by zero) or beyond the height
  // (which would overflow the strip count) mean one strip.
  const uint32_t rows = scalar(kRowsPerStrip).value_or(0);
  d.rows_per_strip = (rows == 0 || rows > d.height) ? d.height : rows;
  if (d.strip_offsets.size() < d.strip_count()) return kNoStripOffsets;
  if (const Entry* counts = find(entries, kStripByteCounts)) {
    auto v = r.values(*counts);
    if (!v || v->size() < d.strip_count()) return kNoStripOffsets;
    d.strip_byte_counts = std::move(*v);
  }
  return 0;
}

}  // namespace kv::image::tiff
