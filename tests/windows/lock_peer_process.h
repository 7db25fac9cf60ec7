// Another program on the same data file, as a Windows process: the helper
// xbase_lock_peer.exe (beside the test program), started with CreateProcess,
// runs the lock calls the test sends it over its standard input and answers
// each over its standard output (the PeerRequest and PeerReply records of
// tests/xbase/peer_protocol.h). The helper inherits only its two pipe ends:
// the engine's file handles are not inheritable, so the test's locks stay
// the test's. <windows.h> stays in lock_peer_process.cpp: its macros would
// clobber the platform layer's constant names in the tests.
#pragma once
#include <string>

namespace kvtest {

class Peer : public PeerCalls<Peer> {
 public:
  Peer();
  ~Peer();
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;

  bool started() const { return process_ != nullptr; }
  int pid() const { return pid_; }

  bool Post(const PeerRequest& q);
  bool Collect(PeerReply& a);
  // The reply is there (or the peer is gone): Collect does not wait.
  bool Ready();

  // Ends the peer the hard way: the system closes its files. True if the
  // kill ended it (it had not ended by itself).
  bool Kill();

 private:
  bool WriteAll(const void* data, unsigned long size);
  bool ReadAll(void* data, unsigned long size);
  // The peer's exit code.
  unsigned long Wait();

  void* process_ = nullptr;
  int pid_ = -1;
  void* to_ = nullptr;
  void* from_ = nullptr;
};

}  // namespace kvtest
