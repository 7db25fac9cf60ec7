// The tags of an MDX file: creation, selection, description and erasure.
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "xbase/frame/engine.h"
#include "xbase/frame/file_layer.h"
#include "xbase/frame/text.h"
#include "xbase/index/frame/index_file.h"
#include "xbase/index/frame/operation_frame.h"
#include "xbase/index/mdx/mdx_tree.h"

using namespace kv::xb;
using namespace kv::xb::mdx;

namespace {

bool EntrySizeAccepted(uint16_t L, uint16_t E) {
  return E == L + 4u || E == EntrySizeFor(L);
}

// A call on one tag: `body(ref)` once the tag is selected, else the state
// the select left.
template <class Body>
XBSTATUS OnTag(const char* kModule, XBTAGHANDLE tag, Body body) {
  TagRef ref;
  if (!SelectTag(tag, &ref, kModule)) return Status();
  return body(ref);
}

// The slot of the tag named `name` (1..n), or 0.
int FindTag(const MdxFile& file, const char* name) {
  for (int slot = 1; slot <= file.tagCount; ++slot) {
    if (EqualNoCase(file.tags[slot].name, name)) return slot;
  }
  return 0;
}

bool NameAccepted(const char* name) {
  const size_t n = BoundedLength(name, kMaxTagName + 1);
  return n >= 1 && n <= static_cast<size_t>(kMaxTagName);
}

// Reads a tag header and checks it in the order of its codes; fills `tree`.
XBSTATUS ReadTagHeader(MdxFile& file, const TagEntry& entry, TagTree& tree) {
  constexpr const char* kModule = "MTUSE";
  const uint32_t at = entry.headerBlock;
  if (at < kFirstTreeBlock || at >= file.nextBlock()) return XB_FAIL(XB_E_SEEK);
  XBSTATUS s = os::Seek(file.fileNo, uint64_t{at} * kUnit);
  if (s == 0) s = os::Read(file.fileNo, tree.header, kTagHeaderCopy);
  if (s != 0) return s == XB_E_READ ? XB_FAIL(XB_E_READ) : s;
  const uint8_t* h = tree.header;
  const uint16_t L = GetLE16(h + kTagKeyLength);
  if (L < 1 || L > kMaxKeyLength) return XB_FAIL(XB_E_KEY_LENGTH);
  const uint16_t E = GetLE16(h + kTagEntrySize);
  if (!EntrySizeAccepted(L, E)) return XB_FAIL(XB_E_ENTRY_SIZE);
  const uint32_t root = GetLE32(h + kTagRoot);
  if (root < kFirstTreeBlock || root >= file.nextBlock()) return XB_FAIL(XB_E_ROOT);
  const uint16_t K = GetLE16(h + kTagKeysPerBlock);
  // Fewer than two keys per block could never split.
  if (uint32_t{K} * E > file.blockBytes - 12 || K < 2) return XB_FAIL(XB_E_KEYS_PER_PAGE);
  const size_t raw =
      BoundedLength(reinterpret_cast<const char*>(h + kTagExpression), kMaxExpression + 1);
  if (raw < 1 || raw > static_cast<size_t>(kMaxExpression)) return XB_FAIL(XB_E_EXPRESSION);
  const uint8_t flags = h[kTagFlags];
  if (flags & kFlagsRefused) return XB_FAIL(kBadKeyFlags);
  const char type = static_cast<char>(h[kTagKeyType]);
  if (type != 'C' && type != 'D' && type != 'N') return XB_FAIL(XB_E_KEY_TYPE);
  const uint16_t mark = GetLE16(h + kTagDateMark);
  if (mark != 0 && mark != 1) return XB_FAIL(XB_E_KEY_TYPE);
  // Numeric and date keys have one length: any other would compare bytes
  // that are not the key's.
  if ((type == 'N' && L != kNumericKeyLength) || (type == 'D' && L != kDateKeyLength)) {
    return XB_FAIL(XB_E_KEY_LENGTH);
  }
  tree.header[kTagHeaderCopy - 1] = 0;
  tree.root = root;
  tree.flags = flags;
  tree.keyType = type;
  tree.keyLength = L;
  tree.keysPerBlock = K;
  tree.entrySize = E;
  return 0;
}

XBSTATUS AllocateTree(MdxFile& file, TagTree& tree) {
  XBSTATUS s = tree.entryOffsets.Allocate(sizeof(uint16_t) * (tree.keysPerBlock + 1u));
  if (s != 0) return s;
  for (int i = 0; i <= tree.keysPerBlock; ++i) {
    tree.entryOffsets.as<uint16_t>()[i] = static_cast<uint16_t>(8 + i * tree.entrySize);
  }
  tree.half = static_cast<uint16_t>(tree.keysPerBlock >> 1);
  if ((s = tree.path.Allocate(tree.half)) != 0) return s;
  if ((s = tree.cache.Allocate(file.blockBytes)) != 0) return s;
  return tree.current.Allocate(tree.keyLength, tree.half);
}

XBSTATUS UseTag(MdxFile& file, XBHANDLE handle, int slot, XBTAGHANDLE* out) {
  constexpr const char* kModule = "MTUSE";
  TagEntry& entry = file.tags[slot];
  std::unique_ptr<TagTree> tree(new (std::nothrow) TagTree);
  if (!tree) return XB_FAIL(XB_E_MEMORY);
  XBSTATUS s = RereadFileHeader(file);
  if (s == 0) s = ReadTagHeader(file, entry, *tree);
  if (s == 0) s = AllocateTree(file, *tree);
  if (s != 0) return Status();
  tree->current.Clear();
  entry.tree = std::move(tree);
  entry.inUse = true;
  entry.headerDirty = false;
  *out = XB_TAG_HANDLE(handle, slot);
  return 0;
}

// Every block of a tag's tree, gathered before anything is changed; a
// damaged tree gives none (its blocks stay unused rather than being freed
// twice).
std::vector<uint32_t> TreeBlocks(MdxFile& file, const TagEntry& entry) {
  std::vector<uint32_t> blocks;
  TagTree tree;
  if (ReadTagHeader(file, entry, tree) != 0) {
    Current().status = 0;
    return blocks;
  }
  const uint32_t E = tree.entrySize;
  std::vector<uint8_t> node(file.blockBytes + 8);
  std::vector<bool> seen(file.nextBlock(), false);
  std::vector<uint32_t> stack{tree.root};
  while (!stack.empty()) {
    const uint32_t block = stack.back();
    stack.pop_back();
    if (block < kFirstTreeBlock || block >= file.nextBlock() || seen[block]) return {};
    seen[block] = true;
    blocks.push_back(block);
    if (os::Seek(file.fileNo, uint64_t{block} * kUnit) != 0 ||
        os::Read(file.fileNo, node.data(), file.blockBytes) != 0) {
      Current().status = 0;
      return {};
    }
    const int count = GetLE16(node.data());
    if (count > tree.keysPerBlock) return {};
    if (GetLE32(node.data() + 8 + count * E) == 0) continue;  // a leaf
    for (int i = 0; i <= count; ++i) stack.push_back(GetLE32(node.data() + 8 + i * E));
  }
  return blocks;
}

// Removes slot `slot`, moving the later ones down, and frees its blocks.
XBSTATUS EraseSlot(MdxFile& file, int slot) {
  std::vector<uint32_t> blocks = TreeBlocks(file, file.tags[slot]);
  const uint32_t headerBlock = file.tags[slot].headerBlock;
  const int n = file.tagCount;
  for (int i = slot; i < n; ++i) {
    TagEntry& to = file.tags[i];
    TagEntry& from = file.tags[i + 1];
    to.headerBlock = from.headerBlock;
    std::memcpy(to.name, from.name, sizeof to.name);
    to.keyType = from.keyType;
    to.inUse = from.inUse;
    to.headerDirty = from.headerDirty;
    to.tree = std::move(from.tree);
  }
  file.tags[n] = TagEntry{};
  file.tagCount = static_cast<uint16_t>(n - 1);
  for (int i = 1; i <= file.tagCount; ++i) {
    file.tags[i].previous = static_cast<uint8_t>(i - 1);
    file.tags[i].next = static_cast<uint8_t>(i < file.tagCount ? i + 1 : 0);
    StoreSlot(file, i);
  }
  std::memset(file.table + n * kSlotBytes, 0, kSlotBytes);
  XBSTATUS s = WriteTable(file);
  if (s != 0) return s;
  for (const uint32_t block : blocks) {
    if ((s = FreeBlock(file, block)) != 0) return s;
  }
  return FreeBlock(file, headerBlock);
}

}  // namespace

namespace kv::xb::mdx {

bool SelectTag(uint32_t tagHandle, TagRef* out, const char* module) {
  const char* kModule = module;
  MdxFile* file = SelectFile(static_cast<XBHANDLE>(tagHandle & 0xFFFF));
  if (file == nullptr) return false;
  const int slot = static_cast<int>(tagHandle >> 16);
  if (slot < 1 || slot > file->tagCount || !file->tags[slot].inUse || !file->tags[slot].tree) {
    XB_FAIL(kBadSlot);
    return false;
  }
  out->file = file;
  out->slot = slot;
  out->entry = &file->tags[slot];
  out->tree = file->tags[slot].tree.get();
  out->file->pages.pageSize = file->blockBytes;
  return true;
}

XBSTATUS CloseTag(MdxFile& file, int slot) {
  TagEntry& entry = file.tags[slot];
  XBSTATUS result = 0;
  if (entry.headerDirty && entry.tree && !file.readOnly()) {
    result = index::WriteHeaderWord(file.fileNo, entry.headerBlock * kUnit + kTagRoot,
                                    entry.tree->root, true);
  }
  entry.headerDirty = false;
  entry.inUse = false;
  entry.tree.reset();
  return result;
}

}  // namespace kv::xb::mdx

KV_API XBSTATUS KV_CALL XBDMTNEW(XBHANDLE handle, const char* tag, uint16_t typeLetter,
                                 const char* expression, uint16_t keyLength) {
  constexpr const char* kModule = "MTNEW";
  XB_ENTER();
  if (tag == nullptr || expression == nullptr) return XB_FAIL(XB_E_NULL);
  MdxFile* file = SelectFile(handle);
  if (file == nullptr) return Status();
  if (file->readOnly()) return XB_FAIL(XB_E_READONLY);
  if (!NameAccepted(tag)) return XB_FAIL(kBadTagName);
  char compact[index::kNewExpressionRoom] = {};
  size_t n = 0;
  XBSTATUS s = index::CompactNewExpression(kModule, expression, kMaxExpression, compact, &n);
  if (s != 0) return s;
  // The type is checked before a same-named tag is erased, so that a call
  // with a wrong type loses no tag.
  const char letter = index::DecodeCreateType(typeLetter).letter;
  uint16_t L = keyLength;
  if (letter == 'C') {
    if (L < 1 || L > kMaxKeyLength) return XB_FAIL(XB_E_KEY_LENGTH);
  } else if (letter == 'D') {
    L = kDateKeyLength;
  } else if (letter == 'N') {
    L = kNumericKeyLength;
  } else {
    return XB_FAIL(XB_E_KEY_TYPE);
  }
  s = RereadFileHeader(*file);
  if (s != 0) return s;
  const int same = FindTag(*file, tag);
  if (same != 0) {
    if (file->tags[same].inUse) return XB_FAIL(kTagBusy);
    if ((s = EraseSlot(*file, same)) != 0) return s;
  }
  if (file->tagCount >= kMaxTags) return XB_FAIL(kNoFreeSlot);
  uint8_t flags = 0;
  if (typeLetter & kNewUnique) flags |= kFlagUnique;
  if (typeLetter & kNewDescending) flags |= kFlagDescending;
  if (std::strstr(compact, "RIGHT(") == nullptr && std::strstr(compact, "LEFT(") == nullptr &&
      std::strstr(compact, "DTOC(") == nullptr) {
    flags |= kFlagPlainExpression;
  }
  const uint16_t E = EntrySizeFor(L);
  uint32_t headerBlock = 0;
  uint32_t rootBlock = 0;
  if ((s = TakeBlock(*file, &headerBlock)) != 0) return s;
  if ((s = TakeBlock(*file, &rootBlock)) != 0) return s;
  std::vector<uint8_t> block(file->blockBytes, 0);
  PutLE32(block.data() + kTagRoot, rootBlock);
  block[kTagFlags] = flags;
  block[kTagKeyType] = static_cast<uint8_t>(letter);
  PutLE16(block.data() + kTagKeyLength, L);
  PutLE16(block.data() + kTagKeysPerBlock, static_cast<uint16_t>((file->blockBytes - 12) / E));
  PutLE16(block.data() + kTagDateMark, letter == 'D' ? 1 : 0);
  PutLE16(block.data() + kTagEntrySize, E);
  std::memcpy(block.data() + kTagExpression, compact, n);
  s = os::Seek(file->fileNo, uint64_t{headerBlock} * kUnit);
  if (s == 0) s = os::Write(file->fileNo, block.data(), block.size(), file->pages.flush);
  std::memset(block.data(), 0, block.size());
  if (s == 0) s = os::Seek(file->fileNo, uint64_t{rootBlock} * kUnit);
  if (s == 0) s = os::Write(file->fileNo, block.data(), block.size(), file->pages.flush);
  if (s != 0) return s;
  const int slot = file->tagCount + 1;
  TagEntry& entry = file->tags[slot];
  entry = TagEntry{};
  entry.headerBlock = headerBlock;
  for (size_t i = 0; tag[i] != '\0'; ++i) entry.name[i] = UpperAscii(tag[i]);
  entry.next = 0;
  entry.previous = static_cast<uint8_t>(slot - 1);
  entry.keyType = letter;
  if (slot > 1) {
    file->tags[slot - 1].next = static_cast<uint8_t>(slot);
    StoreSlot(*file, slot - 1);
  }
  StoreSlot(*file, slot);
  file->tagCount = static_cast<uint16_t>(slot);
  if ((s = WriteTable(*file)) != 0) return s;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDMTUSE(XBTAGHANDLE* tagHandle, XBHANDLE handle, const char* tag) {
  constexpr const char* kModule = "MTUSE";
  XB_ENTER();
  if (tagHandle == nullptr || tag == nullptr) return XB_FAIL(XB_E_NULL);
  MdxFile* file = SelectFile(handle);
  if (file == nullptr) return Status();
  if (!NameAccepted(tag)) return XB_FAIL(kBadTagName);
  const int slot = FindTag(*file, tag);
  if (slot == 0) return XB_FAIL(kBadTagName);
  const XBSTATUS s = UseTag(*file, handle, slot, tagHandle);
  if (s != 0) return s;
  return Status();
}

KV_API XBSTATUS KV_CALL XBDMTUSEX(XBTAGHANDLE* tagHandle, XBHANDLE handle, uint16_t slot) {
  constexpr const char* kModule = "MTUSE";
  XB_ENTER();
  if (tagHandle == nullptr) return XB_FAIL(XB_E_NULL);
  MdxFile* file = SelectFile(handle);
  if (file == nullptr) return Status();
  if (slot < 1 || slot > file->tagCount) return XB_FAIL(kBadSlot);
  const XBSTATUS s = UseTag(*file, handle, slot, tagHandle);
  if (s != 0) return s;
  return Status();
}

KV_INDEX_CALL(XBDMTCLOSE, "MTCLOSE", (XBTAGHANDLE tag), OnTag(kModule, tag, [](TagRef& ref) {
                const XBSTATUS s = CloseTag(*ref.file, ref.slot);
                return s < 0 ? s : Status();
              }))

KV_API XBSTATUS KV_CALL XBDMTERASE(XBHANDLE handle, const char* tag) {
  constexpr const char* kModule = "MTERASE";
  XB_ENTER();
  if (tag == nullptr) return XB_FAIL(XB_E_NULL);
  MdxFile* file = SelectFile(handle);
  if (file == nullptr) return Status();
  if (file->readOnly()) return XB_FAIL(XB_E_READONLY);
  if (!NameAccepted(tag)) return XB_FAIL(kBadTagName);
  XBSTATUS s = RereadFileHeader(*file);
  if (s != 0) return s;
  const int slot = FindTag(*file, tag);
  if (slot == 0) return XB_FAIL(kBadTagName);
  if (file->tags[slot].inUse) return XB_FAIL(kTagBusy);
  if ((s = EraseSlot(*file, slot)) != 0) return s;
  return Status();
}

KV_INDEX_CALL(XBDMTHGET, "MTHGET", (XBTAGHANDLE tag), OnTag(kModule, tag, [](TagRef& ref) {
                Tree tree(ref);
                const XBSTATUS s = tree.Begin();
                return s != 0 ? s : Status();
              }))

KV_INDEX_CALL(XBDMTINFO, "MTINFO", (XBTAGHANDLE tag, XBMDXTAGINFO* info),
              info == nullptr ? XB_FAIL(XB_E_NULL) : OnTag(kModule, tag, [info](TagRef& ref) {
                std::memset(info, 0, sizeof *info);
                const TagTree& t = *ref.tree;
                // A 10-character name ends at the reserved zero field that follows it.
                std::memcpy(info->name, ref.entry->name,
                            BoundedLength(ref.entry->name, sizeof info->name));
                index::PutKeyInfo(t.keyLength, t.unique(), t.expression(), info);
                info->keyType = static_cast<uint16_t>(t.keyType);
                info->order = t.descending() ? 1 : 0;
                return Status();
              }))

KV_INDEX_CALL(XBDMTEXPR, "MTEXPR", (XBTAGHANDLE tag, char* text),
              text == nullptr ? XB_FAIL(XB_E_NULL) : OnTag(kModule, tag, [text](TagRef& ref) {
                std::strcpy(text, ref.tree->expression());
                return Status();
              }))
