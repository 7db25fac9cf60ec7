// What a test and its peer process say to each other: the requests, the
// replies, and the calls a test makes of a peer on both systems (see
// dbf_lock_peer.h for the peer itself).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "kv/xbase.h"

namespace kvtest {

// What the test asks of a peer.
enum class PeerOp : int32_t {
  Open,        // path, mode
  Close,       // the open handle
  Lock,        // XBDDLOCK(mode)
  Unlock,      // XBDDUNLOCK(mode)
  RecordLock,  // XBDDRLOCK(record, mode)
  Size,        // XBDDSIZE: the record count in `value`
  Info,        // XBDDINFO: the last lock region's offset in `value`
  Append,      // appends `record` records through the file, see AppendRaw
  // Field 0 (text) becomes "W<value>", field 1 (number) value + 0.25, and
  // the record is rewritten (`mode` 1, at `record`) or appended (`mode` 2);
  // the record number in `value`.
  RecordPut,
  // Appends one record given unpacked (XBDDRPUTX, as another program would)
  // to a file of one character field: its text "new<value>".
  RecordPutUnpacked,
  // The index work of another program on the index at `path`, opened shared:
  // `mode` is the family ('N' NDX, 'C' NTX, 'M' MDX with its tags NAME and
  // AMOUNT).
  IndexOpen,
  IndexClose,
  IndexAdd,     // the `record` keys ScatteredKey(i, record) for records i + 1
  IndexDelete,  // the first `record` keys TurnKey(i) of records i + 1
  // Walks the index (NDX or NTX) from the top: the entries in `value`, the status that
  // ended the walk in `lockStatus`, and `status` -1 unless the records run
  // `record`, `record` + 1, ...
  IndexWalk,
  // The memo file at `path` beside the open data file, shared: `mode` its
  // .DBT variant, or 0 for .FPT.
  MemoOpen,
  // The text of the memo field `mode` of data record `record`: its length
  // in `lockStatus` (-1 if it cannot be read) and its TextDigest in `value`.
  MemoRead,
  // Appends numbered records (numbered_records.h) from `record` on, without
  // end: a reply with the record number after every `mode`-th record (none
  // for 0), and, when `value` is a record number, a reply from inside that
  // record's append, after the record and before its count, where the peer
  // then waits to be killed. A failure ends the run with its status.
  AppendRun,
  // Builds a character index on NAME (`mode` bytes) of the open data file
  // into `path`, pausing once its sort file exists: a reply there (value 1),
  // and the build goes on at the next request (Go), whose reply is the
  // build's.
  IndexBuild,
  Go,
  Quit,
};

struct PeerRequest {
  PeerOp op = PeerOp::Quit;
  uint16_t mode = 0;
  uint32_t record = 0;
  int32_t value = 0;
  char path[256] = {};
};

struct PeerReply {
  int16_t status = 0;
  int16_t lockStatus = -1;
  uint32_t value = 0;
};

// A peer's calls, each one request and its reply, on both systems: `Self`
// posts a request, says whether its reply is ready, and collects it.
template <typename Self>
class PeerCalls {
 public:
  struct Answer {
    bool ok = false;  // the peer answered
    PeerReply reply;
  };

  Answer Open(const std::string& path, uint16_t mode) { return Send(PeerOp::Open, mode, 0, path); }
  Answer Close() { return Send(PeerOp::Close); }
  Answer Lock(uint16_t mode) { return Send(PeerOp::Lock, mode); }
  Answer Unlock(uint16_t mode) { return Send(PeerOp::Unlock, mode); }
  Answer RecordLock(uint32_t record, uint16_t mode) {
    return Send(PeerOp::RecordLock, mode, record);
  }
  Answer Size() { return Send(PeerOp::Size); }
  Answer LastRegion() { return Send(PeerOp::Info); }
  Answer Append(const std::string& path, uint32_t count) {
    return Send(PeerOp::Append, 0, count, path);
  }
  Answer Rewrite(uint32_t record, int32_t value) {
    return Send(PeerOp::RecordPut, 1, record, "", value);
  }
  Answer AppendRecord(int32_t value) { return Send(PeerOp::RecordPut, 2, 0, "", value); }
  Answer AppendUnpacked(int32_t value) { return Send(PeerOp::RecordPutUnpacked, 0, 0, "", value); }
  Answer IndexOpen(const std::string& path, char family) {
    return Send(PeerOp::IndexOpen, static_cast<uint16_t>(family), 0, path);
  }
  Answer IndexClose() { return Send(PeerOp::IndexClose); }
  Answer IndexDelete(uint32_t count) { return Send(PeerOp::IndexDelete, 0, count); }
  Answer IndexWalk(uint32_t firstRecord) { return Send(PeerOp::IndexWalk, 0, firstRecord); }
  Answer MemoOpen(const std::string& path, uint16_t dbtVariant) {
    return Send(PeerOp::MemoOpen, dbtVariant, 0, path);
  }
  Answer MemoRead(uint32_t record, uint16_t field) { return Send(PeerOp::MemoRead, field, record); }
  // These start the work and return at once: the peer works while the test
  // goes on, and Finish() collects its next reply.
  bool BeginIndexAdd(uint32_t count) {
    return self().Post(Request(PeerOp::IndexAdd, 0, count, "", 0));
  }
  bool BeginAppendRun(uint32_t first, uint32_t stopAt, uint16_t every) {
    return self().Post(Request(PeerOp::AppendRun, every, first, "", static_cast<int32_t>(stopAt)));
  }
  bool BeginIndexBuild(const std::string& path, uint16_t keyLength) {
    return self().Post(Request(PeerOp::IndexBuild, keyLength, 0, path, 0));
  }
  Answer Go() { return Send(PeerOp::Go); }

  Answer Ask(PeerOp op, uint16_t mode = 0, uint32_t record = 0, const std::string& path = "") {
    return Send(op, mode, record, path);
  }
  // The reply of the request begun last.
  Answer Finish() {
    Answer a;
    a.ok = self().Collect(a.reply);
    return a;
  }

 private:
  Self& self() { return *static_cast<Self*>(this); }
  static PeerRequest Request(PeerOp op, uint16_t mode, uint32_t record, const std::string& path,
                             int32_t value) {
    PeerRequest q;
    q.op = op;
    q.mode = mode;
    q.record = record;
    q.value = value;
    std::snprintf(q.path, sizeof q.path, "%s", path.c_str());
    return q;
  }
  Answer Send(PeerOp op, uint16_t mode = 0, uint32_t record = 0, const std::string& path = "",
              int32_t value = 0) {
    Answer a;
    a.ok = self().Post(Request(op, mode, record, path, value)) && self().Collect(a.reply);
    return a;
  }
};

// The keys of the index work: scattered over the key range, or in order.
inline std::string ScatteredKey(uint32_t i, uint32_t count) {
  char k[16];
  std::snprintf(k, sizeof k, "W%06u", (i * 7919u) % count);
  return k;
}
inline double ScatteredAmount(uint32_t i, uint32_t count) {
  return static_cast<double>((i * 7919u) % count) - 600.5;
}
inline std::string TurnKey(uint32_t i) {
  char k[16];
  std::snprintf(k, sizeof k, "P%05u", i);
  return k;
}

// A memo text told by 32 bits (FNV-1a), so that a reply carries it.
inline uint32_t TextDigest(const std::string& text) {
  uint32_t h = 2166136261u;
  for (unsigned char c : text) h = (h ^ c) * 16777619u;
  return h;
}

}  // namespace kvtest
