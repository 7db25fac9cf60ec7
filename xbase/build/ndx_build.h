// The NDX family of the bulk build: keys in sortable form, pages filled
// bottom-up from the sorted stream, each page written once.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "xbase/build/bulk_build.h"
#include "xbase/index/ndx/ndx_index.h"

namespace kv::xb::bulk {

class NdxBuilder : public FamilyBuilder {
 public:
  // `index` is the new, empty index opened for writing (its page 1 is the
  // empty root leaf the creation wrote).
  NdxBuilder(ndx::NdxIndex& index, XBHANDLE data);

  int KeyLength() const override { return keyLength_; }
  bool Collated() const override { return collated_; }
  XBSTATUS MakeKey(XBHANDLE data, uint32_t record, uint8_t* out) override;
  XBSTATUS Append(const uint8_t* sortKey, uint32_t record) override;
  XBSTATUS Finish() override;
  const char* ModuleName() const override { return "Nindex"; }

  uint32_t root() const { return root_; }
  uint32_t endPage() const { return nextPage_; }
  bool finished() const { return finished_; }

 private:
  // One tree level being filled: its page, and for interior levels an
  // entry held back while the page is full (see PassUp).
  struct Level {
    uint32_t page = 0;
    int count = 0;
    ndx::Page bytes{};
    bool holding = false;
    uint8_t heldKey[ndx::kMaxKeyLength] = {};
    uint32_t heldChild = 0;
  };

  XBSTATUS KeyFromExpression(XBHANDLE data, uint8_t* out);
  bool KeyFromField(const uint8_t* record, uint8_t* out);
  void PutCharacter(const char* text, size_t length, uint8_t* out) const;
  void StoredKey(const uint8_t* sortKey, uint8_t* stored) const;
  void StartPage(Level& level);
  void PutEntry(Level& level, uint32_t child, uint32_t record, const uint8_t* key);
  XBSTATUS WritePage(Level& level);
  XBSTATUS PassUp(size_t height, const uint8_t* key, uint32_t child);
  XBSTATUS ClosePage(size_t height);

  ndx::NdxIndex& ix_;
  int keyLength_ = 0;
  bool numeric_ = false;
  bool collated_ = false;
  std::string expression_;
  std::optional<FieldSlice> field_;
  std::vector<Level> levels_;
  uint32_t nextPage_ = 1;
  uint32_t root_ = 1;
  bool finished_ = false;
};

}  // namespace kv::xb::bulk
