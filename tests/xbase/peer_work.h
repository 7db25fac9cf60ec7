// The peer's side: what it has open, how it carries out each request, and
// its life between the first request and Quit, the same on both systems
// (their pipes and raw file writes come from the caller).
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "kv/xbase.h"
#include "tests/xbase/numbered_records.h"
#include "tests/xbase/peer_protocol.h"
#include "xbase/build/bulk_build.h"
#include "xbase/dbf/data_write.h"

namespace kvtest {

// The peer's ends of its two pipes.
class PeerChannel {
 public:
  virtual ~PeerChannel() = default;
  virtual bool Receive(PeerRequest& q) = 0;
  virtual bool Send(const PeerReply& a) = 0;
};
// The engine's test hooks take no channel: they find the peer's here.
inline PeerChannel* gPeerChannel = nullptr;

// Waits for a request, to be killed there or sent on; ends the peer if the
// test is gone.
inline void AwaitRequest() {
  PeerRequest q;
  if (!gPeerChannel->Receive(q)) std::_Exit(4);
}

inline uint32_t gStopRecord = 0;
inline void StopBeforeCount() {
  PeerReply a;
  a.value = gStopRecord;
  if (!gPeerChannel->Send(a)) std::_Exit(4);
  for (;;) AwaitRequest();
}

inline void PauseAfterSortFile(const char*) {
  kv::xb::bulk::SetSortFileHook(nullptr);
  PeerReply a;
  a.value = 1;
  if (!gPeerChannel->Send(a)) std::_Exit(4);
  AwaitRequest();
}

// What the peer has open.
struct PeerState {
  XBHANDLE data = XB_NO_HANDLE;
  XBHANDLE index = XB_NO_HANDLE;
  char family = 0;
  XBTAGHANDLE tags[2] = {};
  XBHANDLE memo = XB_NO_HANDLE;
  bool fpt = false;
};

inline XBSTATUS MemoOpenIn(PeerState& p, const PeerRequest& q) {
  p.fpt = q.mode == 0;
  return p.fpt ? XBDWOPENX(&p.memo, q.path, XB_OPEN_SHARED)
               : XBDTOPENX(&p.memo, q.path, static_cast<uint16_t>(q.mode | XB_OPEN_SHARED));
}

inline XBSTATUS MemoReadIn(PeerState& p, const PeerRequest& q, PeerReply& a) {
  int32_t block = 0;
  XBSTATUS s = XBDDRGET(p.data, q.record);
  if (s == 0) s = XBDDFGET(p.data, q.mode, &block);
  char* text = nullptr;
  if (s == 0) {
    const auto at = static_cast<uint32_t>(block);
    s = p.fpt ? XBDWRGET(p.memo, at, &text) : XBDTRGET(p.memo, at, &text, XB_MEMO_KEEP_BREAKS);
  }
  if (s != 0 || text == nullptr) return s != 0 ? s : -1;
  const std::string got(text);
  XBMFREE(text);
  a.lockStatus = static_cast<int16_t>(got.size());
  a.value = TextDigest(got);
  return 0;
}

inline XBSTATUS IndexOpenIn(PeerState& p, const PeerRequest& q) {
  p.family = static_cast<char>(q.mode);
  switch (p.family) {
    case 'N':
      return XBDNOPENX(&p.index, q.path, XB_OPEN_SHARED);
    case 'C':
      return XBDCOPENX(&p.index, q.path, XB_OPEN_SHARED);
    case 'M': {
      XBSTATUS s = XBDMOPENX(&p.index, q.path, XB_OPEN_SHARED);
      if (s == 0) s = XBDMTUSE(&p.tags[0], p.index, "NAME");
      if (s == 0) s = XBDMTUSE(&p.tags[1], p.index, "AMOUNT");
      return s;
    }
    default:
      return -1;
  }
}

inline XBSTATUS IndexCloseIn(PeerState& p) {
  const XBSTATUS s = p.family == 'N'   ? XBDNCLOSE(p.index)
                     : p.family == 'C' ? XBDCCLOSE(p.index)
                                       : XBDMCLOSE(p.index);
  p.index = XB_NO_HANDLE;
  return s;
}

// Any failed add or delete fails the whole run (the rest still goes on).
inline XBSTATUS IndexAddIn(PeerState& p, uint32_t count) {
  XBSTATUS failed = 0;
  for (uint32_t i = 0; i < count; ++i) {
    const std::string key = ScatteredKey(i, count);
    XBSTATUS s = 0;
    if (p.family == 'N') {
      s = XBDNKADD(p.index, key.c_str(), i + 1);
    } else if (p.family == 'C') {
      s = XBDCKADD(p.index, key.c_str(), i + 1);
    } else {
      char amount[12];
      XBDMKNUM(amount, ScatteredAmount(i, count));
      s = XBDMKADD(p.tags[0], key.c_str(), i + 1);
      if (s == 0) s = XBDMKADD(p.tags[1], amount, i + 1);
    }
    if (s != 0) failed = s;
  }
  return failed;
}

inline XBSTATUS IndexDeleteIn(PeerState& p, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    const std::string key = TurnKey(i);
    const XBSTATUS s = p.family == 'N'   ? XBDNKDEL(p.index, key.c_str(), i + 1)
                       : p.family == 'C' ? XBDCKDEL(p.index, key.c_str(), i + 1)
                                         : -1;
    if (s != 0) return s;
  }
  return 0;
}

inline void IndexWalkIn(PeerState& p, uint32_t first, PeerReply& a) {
  char key[256];
  uint32_t r = 0;
  const bool ntx = p.family == 'C';
  XBSTATUS s = ntx ? XBDCKTOP(p.index, key, &r) : XBDNKTOP(p.index, key, &r);
  while (s == 0) {
    if (r != first + a.value) a.status = -1;
    ++a.value;
    s = ntx ? XBDCKNEXT(p.index, key, &r) : XBDNKNEXT(p.index, key, &r);
  }
  a.lockStatus = s;
}

inline XBSTATUS AppendRunIn(PeerState& p, const PeerRequest& q) {
  const uint16_t every = q.mode;
  gStopRecord = static_cast<uint32_t>(q.value);
  for (uint32_t r = q.record;; ++r) {
    XBSTATUS s = PutNumberedFields(p.data, r);
    if (s != 0) return s;
    if (r == gStopRecord) kv::xb::dbf::hooks::afterAppendRecord = StopBeforeCount;
    uint32_t no = 0;
    s = XBDDRPUT(p.data, &no, XB_PUT_APPEND);
    if (s != 0) return s;
    if (no != r) return -1;
    if (every != 0 && r % every == 0) {
      PeerReply a;
      a.value = r;
      if (!gPeerChannel->Send(a)) return -1;
    }
  }
}

inline XBSTATUS IndexBuildIn(PeerState& p, const PeerRequest& q) {
  kv::xb::bulk::SetSortFileHook(PauseAfterSortFile);
  const XBSTATUS s = XBDNINDEX(p.data, q.path, 'C', "NAME", q.mode);
  kv::xb::bulk::SetSortFileHook(nullptr);
  return s;
}

inline XBSTATUS RecordPutUnpackedIn(PeerState& p, const PeerRequest& q) {
  char record[1 + 11] = {' '};
  std::snprintf(record + 1, 11, "new%d", static_cast<int>(q.value));
  uint32_t number = 0;
  return XBDDRPUTX(p.data, record, &number, XB_PUT_APPEND);
}

inline XBSTATUS RecordPutIn(PeerState& p, const PeerRequest& q, PeerReply& a) {
  const std::string name = "W" + std::to_string(q.value);
  const double num = q.value + 0.25;
  XBSTATUS s = XBDDFPUTS(p.data, 0, name.c_str());
  if (s >= 0) s = XBDDFPUT(p.data, 1, &num);
  uint32_t r = q.record;
  if (s >= 0) s = XBDDRPUT(p.data, &r, q.mode == 1 ? XB_PUT_UPDATE : XB_PUT_APPEND);
  a.value = r;
  return s;
}

// Carries out one request in the peer, on its one handle; `append` adds raw
// records the way the peer's system writes a file. False after Quit, whose
// reply the caller still sends before it ends.
template <typename AppendRecords>
bool ServePeerRequest(const PeerRequest& q, PeerState& p, PeerReply& a, AppendRecords append) {
  XBESCODE(0);
  XBHANDLE& h = p.data;
  switch (q.op) {
    case PeerOp::Open:
      a.status = XBDDOPENX(&h, q.path, q.mode);
      break;
    case PeerOp::Close:
      a.status = XBDDCLOSE(h);
      break;
    case PeerOp::Lock:
      a.status = XBDDLOCK(h, q.mode, &a.lockStatus);
      break;
    case PeerOp::Unlock:
      a.status = XBDDUNLOCK(h, q.mode, &a.lockStatus);
      break;
    case PeerOp::RecordLock:
      a.status = XBDDRLOCK(h, q.record, q.mode, &a.lockStatus);
      break;
    case PeerOp::Size:
      a.status = XBDDSIZE(h, &a.value);
      break;
    case PeerOp::Info: {
      XBFILEINFO info{};
      a.status = XBDDINFO(h, &info);
      a.value = info.lockOffset;
      break;
    }
    case PeerOp::Append:
      a.status = append(q.path, q.record) ? 0 : -1;
      break;
    case PeerOp::RecordPut:
      a.status = RecordPutIn(p, q, a);
      break;
    case PeerOp::RecordPutUnpacked:
      a.status = RecordPutUnpackedIn(p, q);
      break;
    case PeerOp::IndexOpen:
      a.status = IndexOpenIn(p, q);
      break;
    case PeerOp::IndexClose:
      a.status = IndexCloseIn(p);
      break;
    case PeerOp::IndexAdd:
      a.status = IndexAddIn(p, q.record);
      break;
    case PeerOp::IndexDelete:
      a.status = IndexDeleteIn(p, q.record);
      break;
    case PeerOp::IndexWalk:
      IndexWalkIn(p, q.record, a);
      break;
    case PeerOp::MemoOpen:
      a.status = MemoOpenIn(p, q);
      break;
    case PeerOp::MemoRead:
      a.status = MemoReadIn(p, q, a);
      break;
    case PeerOp::AppendRun:
      a.status = AppendRunIn(p, q);
      break;
    case PeerOp::IndexBuild:
      a.status = IndexBuildIn(p, q);
      break;
    case PeerOp::Go:  // nothing waits for it
      a.status = -1;
      break;
    case PeerOp::Quit:
      XBDTERM();
      return false;
  }
  return true;
}

// The peer's life: an engine of its own, and one request at a time until
// Quit (0) or the test is gone (3). The exit code.
template <typename AppendRecords>
int ServePeer(PeerChannel& channel, AppendRecords append) {
  if (XBDINIT(100, 4) != 0) return 2;
  gPeerChannel = &channel;
  PeerState state;
  PeerRequest q;
  while (channel.Receive(q)) {
    PeerReply a;
    const bool more = ServePeerRequest(q, state, a, append);
    if (!channel.Send(a)) break;
    if (!more) return 0;
  }
  return 3;
}

// What another program appends to a data file whose first 32 bytes are
// `header`: `count` records ('A' characters after a blank deletion flag)
// and the end byte, written at `*at`; then the record count `*count` goes
// to byte 4 as four little-endian bytes (`*countBytes`).
struct RawAppend {
  std::string records;
  uint32_t at = 0;
  uint8_t countBytes[4] = {};
};
inline RawAppend MakeRawAppend(const uint8_t* header, uint32_t count) {
  const uint32_t records = uint32_t{header[4]} | uint32_t{header[5]} << 8 |
                           uint32_t{header[6]} << 16 | uint32_t{header[7]} << 24;
  const uint32_t headerLength = uint32_t{header[8]} | uint32_t{header[9]} << 8;
  const uint32_t recordLength = uint32_t{header[10]} | uint32_t{header[11]} << 8;
  RawAppend out;
  for (uint32_t i = 0; i < count; ++i) {
    out.records += ' ';
    out.records += std::string(recordLength - 1, 'A');
  }
  out.records += '\x1A';
  out.at = headerLength + records * recordLength;
  const uint32_t now = records + count;
  for (int i = 0; i < 4; ++i) out.countBytes[i] = static_cast<uint8_t>(now >> (8 * i));
  return out;
}

}  // namespace kvtest
