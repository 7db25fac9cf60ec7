// Bulk index builds: every record's key is sorted, with its record number,
// through a temporary sort file, then handed back in index order to the
// index family, which fills its pages bottom-up and writes each page once.
//
// The driver (RunBulkBuild) owns what every single-file build shares: the
// data-file lock, the read-ahead buffer, the sort buffer of at most 65000
// bytes, the sort file (unique to its build) and the merge. A family supplies
// the key of a record in sortable form and turns the sorted stream into pages.
#pragma once
#include <cstdint>
#include <optional>

#include "kv/xbase.h"

namespace kv::xb::bulk {

// One index family's part in a build.
class FamilyBuilder {
 public:
  virtual ~FamilyBuilder() = default;

  // Bytes of the sortable key (the sort element is the key followed by the
  // record number, 4 bytes, most significant first).
  virtual int KeyLength() const = 0;

  // True when key parts are ordered by the collating comparison of
  // character keys ("asciisort" 0) rather than bytewise; key parts that
  // collate equal are then ordered by record number, as the index's own
  // insertions order them.
  virtual bool Collated() const { return false; }

  // Writes the sortable key of `record` to `out` (KeyLength() bytes). The
  // data file's record buffer holds the record when this is called, as
  // after XBDDRGET, so expression-based key makers work unchanged.
  virtual XBSTATUS MakeKey(XBHANDLE data, uint32_t record, uint8_t* out) = 0;

  // Receives the elements in index order: the sortable key as MakeKey wrote
  // it and the record number.
  virtual XBSTATUS Append(const uint8_t* sortKey, uint32_t record) = 0;

  // Called once after the last Append (not called when the build failed):
  // writes every level's last page and the root.
  virtual XBSTATUS Finish() = 0;

  // The source name under which the driver logs its failures ("Nindex",
  // "Iindex", "Cindex").
  virtual const char* ModuleName() const { return "Nindex"; }
};

// Runs a build over every record of the data file: locks the data file
// (mode 2), reads its records through the read-ahead buffer, sorts and
// merges, and feeds the family. Always releases the buffers, deletes the
// sort file, drops the read-ahead buffer and unlocks. `indexPath` names the
// index being built: its directory is where the sort file goes when the
// current directory is not writable. A data file without records returns 0
// without calling the family at all.
XBSTATUS RunBulkBuild(XBHANDLE data, const char* indexPath, FamilyBuilder& family);

// The sortable form of a double: bytes most significant first; negative
// numbers have every bit inverted, others the sign bit set, so that a
// bytewise comparison orders the numbers.
void ToSortableDouble(double value, uint8_t out[8]);
double FromSortableDouble(const uint8_t in[8]);

// Where a key expression that is just one field name of the data file
// finds its value in the record buffer; empty for any other expression.
struct FieldSlice {
  uint16_t offset = 0;  // in the record buffer
  uint16_t length = 0;
  char type = 0;  // 'C', 'N', 'F', 'D', 'L', ...
  uint8_t decimals = 0;
};
std::optional<FieldSlice> SingleField(XBHANDLE data, const char* expression);

// The data file's record buffer (the record MakeKey is asked about).
const uint8_t* RecordBuffer(XBHANDLE data);

// For tests: called with the sort file's path right after the file was
// created, before any run is written (null: no hook). Process-wide.
using SortFileHook = void (*)(const char* path);
void SetSortFileHook(SortFileHook hook);

}  // namespace kv::xb::bulk
