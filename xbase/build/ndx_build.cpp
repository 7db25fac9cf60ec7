// Filling NDX pages bottom-up. Leaves take K entries each; when a leaf is
// full and another key comes, the leaf's last key goes up with the leaf as
// child. An interior page that holds K keys keeps the next incoming entry
// back until a further one comes (or the build ends), so that the last page
// of a level is never left without a key: a page is closed only when it is
// known that more follows.
#include "xbase/build/ndx_build.h"

#include <cstring>

#include "xbase/date/date_core.h"
#include "xbase/dbf/data_file.h"
#include "xbase/dbf/field_convert.h"
#include "xbase/expr/evaluator.h"
#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/number_text.h"
#include "xbase/frame/settings.h"
#include "xbase/index/frame/numeric_keys.h"

namespace kv::xb::bulk {
namespace {
constexpr const char* kModule = "Nindex";
}

NdxBuilder::NdxBuilder(ndx::NdxIndex& index, XBHANDLE data)
    : ix_(index),
      keyLength_(index.keyLength),
      numeric_(index.keyType == ndx::kTypeNumeric),
      collated_(index.keyType == ndx::kTypeCharacter && AsciiSort() == 0),
      expression_(index.expressionText()) {
  field_ = SingleField(data, expression_.c_str());
  if (field_) {
    const char t = field_->type;
    const bool fits = numeric_ ? (t == 'N' || t == 'F' || t == 'D') : t == 'C';
    if (!fits) field_.reset();
  }
}

// Character keys as XBDNKADD stores them: up to the first NUL, cut to L,
// padded with blanks.
void NdxBuilder::PutCharacter(const char* text, size_t length, uint8_t* out) const {
  size_t n = 0;
  const auto L = static_cast<size_t>(keyLength_);
  while (n < length && n < L && text[n] != '\0') {
    out[n] = static_cast<uint8_t>(text[n]);
    ++n;
  }
  std::memset(out + n, ' ', L - n);
}

bool NdxBuilder::KeyFromField(const uint8_t* record, uint8_t* out) {
  const uint8_t* bytes = record + field_->offset;
  const size_t length = field_->length;
  switch (field_->type) {
    case 'C':
      PutCharacter(reinterpret_cast<const char*>(bytes), length, out);
      return true;
    case 'N':
    case 'F': {
      const double value = dbf::IsBlank(bytes, length)
                               ? 0.0
                               : ParseDecimal(reinterpret_cast<const char*>(bytes), length);
      ToSortableDouble(value, out);
      return true;
    }
    case 'D': {
      if (dbf::IsBlank(bytes, length)) {
        ToSortableDouble(index::kBlankDateKey, out);
        return true;
      }
      char stored[9] = {};
      std::memcpy(stored, bytes, length < 8 ? length : 8);
      date::Ymd ymd;
      // A date that does not read goes through the evaluator, which
      // reports it as a key made one by one would.
      if (length < 8 || date::Parse(stored, 4, &ymd, false) != 0) return false;
      ToSortableDouble(index::DateKeyDay(ymd), out);
      return true;
    }
    default:
      return false;
  }
}

XBSTATUS NdxBuilder::KeyFromExpression(XBHANDLE data, uint8_t* out) {
  dbf::DataFile* file = dbf::SelectData(data);
  if (file == nullptr) return Status();
  expr::KeyValue value;
  const XBSTATUS s = expr::EvaluateKey(*file, expression_.c_str(), &value);
  if (s < 0) return s;
  switch (value.type) {
    case 'C':
      if (numeric_) break;
      PutCharacter(value.text.data(), value.text.size(), out);
      return 0;
    case 'D': {
      if (!numeric_) break;
      const bool blank = value.date.year == 0 && value.date.month == 0 && value.date.day == 0;
      ToSortableDouble(blank ? index::kBlankDateKey : index::DateKeyDay(value.date), out);
      return 0;
    }
    case 'N':
    case 'F':
      if (!numeric_) break;
      ToSortableDouble(value.number, out);
      return 0;
    default:
      break;
  }
  // A result that does not suit the index's key type.
  return XB_FAIL(XB_E_EXPRESSION);
}

XBSTATUS NdxBuilder::MakeKey(XBHANDLE data, uint32_t, uint8_t* out) {
  if (field_) {
    const uint8_t* record = RecordBuffer(data);
    if (record != nullptr && KeyFromField(record, out)) return 0;
  }
  return KeyFromExpression(data, out);
}

void NdxBuilder::StoredKey(const uint8_t* sortKey, uint8_t* stored) const {
  if (numeric_) {
    index::PutNumericKey(stored, FromSortableDouble(sortKey));
  } else {
    std::memcpy(stored, sortKey, static_cast<size_t>(keyLength_));
  }
}

// Pages are handed out in the order they are started: the first is page 1,
// the empty root the creation wrote, then the end page onwards.
void NdxBuilder::StartPage(Level& level) {
  level.page = nextPage_++;
  level.count = 0;
  std::memset(level.bytes.bytes, 0, sizeof level.bytes.bytes);
}

void NdxBuilder::PutEntry(Level& level, uint32_t child, uint32_t record, const uint8_t* key) {
  ix_.SetChild(level.bytes, level.count, child);
  ix_.SetRecord(level.bytes, level.count, record);
  std::memcpy(ix_.Key(level.bytes, level.count), key, static_cast<size_t>(keyLength_));
  ++level.count;
}

XBSTATUS NdxBuilder::WritePage(Level& level) {
  ndx::NdxIndex::SetCount(level.bytes, level.count);
  XBSTATUS s = os::Seek(ix_.fileNo, uint64_t{level.page} * ndx::kPageSize);
  if (s == 0) s = os::Write(ix_.fileNo, level.bytes.bytes, ndx::kPageSize, false);
  return s;
}

// Closes the full interior page of `height` with the held entry's child as
// its trailing child, passes the held key up with the page as child and
// starts the level's next page.
XBSTATUS NdxBuilder::ClosePage(size_t height) {
  Level& level = levels_[height];
  ix_.SetChild(level.bytes, level.count, level.heldChild);
  uint8_t key[ndx::kMaxKeyLength];
  std::memcpy(key, level.heldKey, static_cast<size_t>(keyLength_));
  const uint32_t page = level.page;
  level.holding = false;
  XBSTATUS s = WritePage(level);
  if (s != 0) return s;
  s = PassUp(height + 1, key, page);
  if (s != 0) return s;
  StartPage(levels_[height]);
  return 0;
}

XBSTATUS NdxBuilder::PassUp(size_t height, const uint8_t* key, uint32_t child) {
  if (height == levels_.size()) levels_.emplace_back();
  if (levels_[height].page == 0) StartPage(levels_[height]);
  if (levels_[height].count == ix_.keysPerPage) {
    if (!levels_[height].holding) {
      Level& level = levels_[height];
      std::memcpy(level.heldKey, key, static_cast<size_t>(keyLength_));
      level.heldChild = child;
      level.holding = true;
      return 0;
    }
    const XBSTATUS s = ClosePage(height);
    if (s != 0) return s;
  }
  PutEntry(levels_[height], child, 0, key);
  return 0;
}

XBSTATUS NdxBuilder::Append(const uint8_t* sortKey, uint32_t record) {
  uint8_t key[ndx::kMaxKeyLength];
  StoredKey(sortKey, key);
  if (levels_.empty()) {
    levels_.emplace_back();
    StartPage(levels_[0]);
  }
  if (levels_[0].count == ix_.keysPerPage) {
    const Level& leaf = levels_[0];
    uint8_t last[ndx::kMaxKeyLength];
    std::memcpy(last, ix_.Key(leaf.bytes, leaf.count - 1), static_cast<size_t>(keyLength_));
    const uint32_t page = leaf.page;
    XBSTATUS s = PassUp(1, last, page);
    if (s == 0) s = WritePage(levels_[0]);
    if (s != 0) return s;
    StartPage(levels_[0]);
  }
  PutEntry(levels_[0], 0, record, key);
  return 0;
}

// From the leaf level up: a level still holding an entry closes its page
// without the page's last key (which goes up with it) and puts the held
// entry on a new page, so that both have keys; then each level's last page
// gets the last page of the level below as trailing child.
XBSTATUS NdxBuilder::Finish() {
  for (size_t h = 0; h < levels_.size(); ++h) {
    if (levels_[h].holding) {
      Level& level = levels_[h];
      --level.count;
      uint8_t key[ndx::kMaxKeyLength];
      std::memcpy(key, ix_.Key(level.bytes, level.count), static_cast<size_t>(keyLength_));
      const uint32_t page = level.page;
      level.holding = false;
      // The page keeps the child of its last entry as trailing child.
      XBSTATUS s = WritePage(level);
      if (s == 0) s = PassUp(h + 1, key, page);
      if (s != 0) return s;
      Level& next = levels_[h];
      uint8_t held[ndx::kMaxKeyLength];
      std::memcpy(held, next.heldKey, static_cast<size_t>(keyLength_));
      StartPage(next);
      PutEntry(next, next.heldChild, 0, held);
    }
    Level& level = levels_[h];
    if (h > 0) ix_.SetChild(level.bytes, level.count, levels_[h - 1].page);
    const XBSTATUS s = WritePage(level);
    if (s != 0) return s;
  }
  root_ = levels_.empty() ? 1 : levels_.back().page;
  finished_ = true;
  return 0;
}

}  // namespace kv::xb::bulk
