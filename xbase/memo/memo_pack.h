// Packing a memo file: every memo the data file's records refer to is copied
// into a new memo file of the same layout, which then takes the memo file's
// name; the old file stays as the ".BKT" backup.
//
// The driver is shared by the dBASE (.DBT) and FoxPro (.FPT) files; what
// differs between the layouts (how a memo is found and read in the old file,
// how it is stored in the new one, how the files are created, closed and
// reopened) comes in a MemoPackLayout.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "kv/xbase.h"
#include "xbase/frame/handle_table.h"

namespace kv::xb::memo {

// What the copy knows of a memo file: read from its header at the start.
struct MemoGeometry {
  uint32_t blockSize = 512;
  uint32_t nextFree = 1;  // the header's first word (FPT: host order)
  uint64_t length = 0;    // bytes in the file
  uint8_t name[8] = {};   // block-size layout: the file name of the header
};

// One memo as the copy carries it: the stored text and, for FoxPro files,
// the entry type, which is kept as it stands.
struct MemoText {
  std::vector<uint8_t> bytes;
  uint32_t type = 1;
};

// How one layout's files are read and written by the copy.
struct MemoLayoutParts {
  // Reads the header of an open memo file.
  XBSTATUS (*readGeometry)(int fileNo, MemoGeometry* geometry);
  // Reads the memo stored at `block` (the memo file's own reading rules and
  // limits; a hostile entry gives its status code, never a huge buffer).
  XBSTATUS (*readMemo)(int fileNo, const MemoGeometry& geometry, uint32_t block, MemoText* memo);
  // Appends the memo, padded to the whole blocks it occupies, to `out`;
  // returns how many blocks that is.
  uint32_t (*appendEntry)(const MemoGeometry& geometry, const MemoText& memo,
                          std::vector<uint8_t>* out);
  // The header's first word as stored (little-endian in .DBT, big-endian in
  // .FPT).
  void (*encodeNextFree)(uint32_t nextFree, uint8_t bytes[4]);
};

extern const MemoLayoutParts kPlainDbtParts;
extern const MemoLayoutParts kBlockDbtParts;
extern const MemoLayoutParts kFptParts;

// Everything the driver needs of one kind of memo file.
struct MemoPackLayout {
  SlotType slotType;
  const char* extension;  // of the temporary file: ".DBT" or ".FPT"
  const MemoLayoutParts* parts;
  // Creates the empty temporary file like the memo file of `handle` (same
  // variant and block size) and closes it.
  XBSTATUS (*createLike)(const char* path, XBHANDLE handle, const MemoGeometry& geometry);
  // The open mode that reopens the memo file (without the shared bit) and
  // the calls that open and close its handles.
  uint16_t reopenMode;
  // (the exported calls themselves, so of their calling convention)
  XBSTATUS(KV_CALL* open)(XBHANDLE* handle, const char* path, uint16_t mode);
  XBSTATUS(KV_CALL* close)(XBHANDLE handle);
};

// Packs the memo file of `*memoHandle` for the data file of `dataHandle`.
// Whatever step fails, the data file's memo numbers and the memo file in
// place under the memo file's name belong together: either the old numbers
// with the old file or the new numbers with the new one. The memo handle is
// reopened shared into `*memoHandle` (65535 when that open fails).
XBSTATUS PackMemoFile(XBHANDLE dataHandle, XBHANDLE* memoHandle, const MemoPackLayout& layout,
                      const char* module);

// Names used by the pack: the backup (extension replaced by ".BKT", added
// when there is none) and the first free "<n><extension>" in the memo
// file's directory.
struct MemoPackNames {
  std::string backup;
  std::string temp;
};
MemoPackNames MemoPackNamesFor(const std::string& path, const char* extension);

}  // namespace kv::xb::memo
