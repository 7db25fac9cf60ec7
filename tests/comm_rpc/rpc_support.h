// Fixtures of the remote-service tests: a temporary server directory with
// its password file, a running server on loopback, captured message boxes,
// call records built field by field, and raw connections that send bytes
// as a hostile client would.
#pragma once
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "kv/comm_rpc.h"
#include "platform/kernel/memory.h"
#include "platform/ui/message_box.h"
#include "tests/comm_net/net_support.h"
#include "tests/comm_net/service_support.h"

namespace kvrpctest {

inline void PutLE(std::vector<unsigned char>& out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}
inline uint64_t GetLE(const unsigned char* in, int width) {
  uint64_t v = 0;
  for (int i = 0; i < width; ++i) v |= uint64_t{in[i]} << (8 * i);
  return v;
}

// Message boxes shown while it lives, in order.
class MessageLog {
 public:
  struct Box {
    std::string caption;
    std::string text;
  };
  MessageLog() { kvp::SetMessageBoxHook(&MessageLog::Hook, this); }
  ~MessageLog() { kvp::SetMessageBoxHook(nullptr, nullptr); }
  std::vector<Box> Boxes() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_boxes;
  }
  bool Saw(const std::string& caption, const std::string& textPart) {
    for (const Box& b : Boxes())
      if (b.caption == caption && b.text.find(textPart) != std::string::npos) return true;
    return false;
  }

 private:
  static int Hook(kvp::HWND, const char* text, const char* caption, kvp::UINT, void* context) {
    MessageLog* self = static_cast<MessageLog*>(context);
    std::lock_guard<std::mutex> lock(self->m_mutex);
    self->m_boxes.push_back(Box{caption != nullptr ? caption : "", text != nullptr ? text : ""});
    return kvp::IDOK;
  }
  std::mutex m_mutex;
  std::vector<Box> m_boxes;
};

// A fresh directory that is the current one while it lives.
class ServerDirectory {
 public:
  ServerDirectory() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/kvrpc-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("no temporary directory");
    m_path = name.data();
    m_previous = std::filesystem::current_path();
    std::filesystem::current_path(m_path);
  }
  ~ServerDirectory() {
    std::error_code ignored;
    std::filesystem::current_path(m_previous, ignored);
    std::filesystem::remove_all(m_path, ignored);
  }
  const std::string& Path() const { return m_path; }
  std::string File(const std::string& name) const { return m_path + "/" + name; }
  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void Passwords(const std::string& body) const { Write("KVRPCSRV.INI", "[Passwords]\n" + body); }

 private:
  std::string m_path;
  std::filesystem::path m_previous;
};

// A server of `kind` on a free loopback port, stopped at the end.
class RunningServer {
 public:
  explicit RunningServer(int kind, long mode = 0) : m_pin("127.0.0.1") {
    for (int attempt = 0; attempt < 5 && m_server == nullptr; ++attempt) {
      m_port = kvnettest::FreePort();
      m_server = pclStartServeur(kind, m_port, mode);
    }
    if (m_server == nullptr) throw std::runtime_error("server does not start");
  }
  ~RunningServer() { Stop(); }
  bool Stop() {
    if (m_server == nullptr) return true;
    const bool stopped = bStopServeur(m_server) == 1;
    m_server = nullptr;
    return stopped;
  }
  uint16_t Port() const { return m_port; }

 private:
  kvnettest::LocalPin m_pin;
  kvnettest::Session m_service;  // for the free-port probe
  clCONNECTED* m_server = nullptr;
  uint16_t m_port = 0;
};

// A call record built parameter by parameter; buffers stay the caller's.
class CallRecord {
 public:
  CallRecord(const char* function, uint32_t returnType, const char* user = "alice",
             const char* password = "Secret") {
    m_header.assign(93, 0);
    m_header[0] = 1;
    std::strncpy(reinterpret_cast<char*>(&m_header[2]), user, 31);
    std::strncpy(reinterpret_cast<char*>(&m_header[34]), password, 15);
    std::strncpy(reinterpret_cast<char*>(&m_header[50]), function, 31);
    for (int i = 0; i < 4; ++i)
      m_header[82 + i] = static_cast<unsigned char>(returnType >> (8 * i));
    m_header[87] = returnType == 1 ? 0 : 4;
    m_header[91] = 1;
    m_header[92] = 1;
  }
  CallRecord& Value(uint32_t type, uint64_t value, uint32_t size) {
    return Add(1, type, 0, size, value);
  }
  CallRecord& Reference(uint32_t kind, uint32_t type, void* buffer, uint32_t size) {
    uint64_t address = reinterpret_cast<uintptr_t>(buffer);
    if (kind != 1) ++m_outs;
    return Add(kind, type, 1, size, address);
  }
  CallRecord& NoReply() {
    m_header[91] = 0;
    return *this;
  }
  long Run(clCLIENT* client) {
    Build();
    return lAppelRPC(client, &m_call);
  }
  KVRPC_REPLY* Reply() { return reinterpret_cast<KVRPC_REPLY*>(m_reply.data()); }
  KVRPC_OUT Out(size_t i) {
    KVRPC_OUT out;
    std::memcpy(&out, m_reply.data() + offsetof(KVRPC_REPLY, out) + i * sizeof(KVRPC_OUT),
                sizeof out);
    return out;
  }
  // Copies of the packed reply's fields (a reference to a packed field
  // would be misaligned).
  int32_t Status() { return Reply()->status; }
  uint16_t ResultSize() { return Reply()->resultSize; }
  int32_t OutSize(size_t i) { return Out(i).size; }
  void* OutBuffer(size_t i) { return Out(i).buffer; }
  // The buffer address the record now holds for parameter `i`.
  void* SlotPointer(size_t i) {
    void* p = nullptr;
    std::memcpy(&p, m_request.data() + 93 + i * 21 + 13, sizeof p);
    return p;
  }
  int32_t ResultI32() { return static_cast<int32_t>(GetLE(Reply()->result, 4)); }
  double ResultF64() {
    double d;
    std::memcpy(&d, Reply()->result, 8);
    return d;
  }
  float ResultF32() {
    float f;
    std::memcpy(&f, Reply()->result, 4);
    return f;
  }

 private:
  CallRecord& Add(uint32_t kind, uint32_t type, uint8_t byReference, uint32_t size, uint64_t slot) {
    std::vector<unsigned char> entry;
    PutLE(entry, kind, 4);
    PutLE(entry, type, 4);
    entry.push_back(byReference);
    PutLE(entry, size, 4);
    PutLE(entry, slot, 8);
    m_entries.insert(m_entries.end(), entry.begin(), entry.end());
    ++m_count;
    return *this;
  }
  void Build() {
    m_header[89] = static_cast<unsigned char>(m_count);
    m_header[90] = static_cast<unsigned char>(m_count >> 8);
    m_request = m_header;
    m_request.insert(m_request.end(), m_entries.begin(), m_entries.end());
    m_reply.assign(sizeof(KVRPC_REPLY) + (m_outs + 1) * sizeof(KVRPC_OUT), 0);
    m_call = KVRPC_CALL{m_request.data(), Reply()};
  }
  std::vector<unsigned char> m_header, m_entries, m_request, m_reply;
  unsigned m_count = 0;
  unsigned m_outs = 0;
  KVRPC_CALL m_call{};
};

// A connection that sends whatever bytes a test gives it.
class RawConnection {
 public:
  explicit RawConnection(uint16_t port) : m_socket(0L) {
    kvp::sockaddr_in address = kvnettest::Loopback(1, port);
    if (m_socket.nCreate() != 0 || m_socket.nConnect(&address, 2000) != 0)
      throw std::runtime_error("raw connection refused");
  }
  bool Send(const std::vector<unsigned char>& bytes) {
    return m_socket.nSend(reinterpret_cast<const char*>(bytes.data()),
                          static_cast<long>(bytes.size())) == static_cast<int>(bytes.size());
  }
  bool Send(const std::string& bytes) {
    return Send(std::vector<unsigned char>(bytes.begin(), bytes.end()));
  }
  // Exactly `count` bytes, or fewer when the server closed first.
  std::vector<unsigned char> Receive(size_t count) {
    std::vector<unsigned char> bytes(count);
    const long got =
        m_socket.lRecv(reinterpret_cast<char*>(bytes.data()), static_cast<long>(count));
    bytes.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return bytes;
  }
  // True when the server has closed the connection (nothing more comes).
  bool ClosedByPeer() {
    char byte;
    return m_socket.lRecv(&byte, 1) <= 0;
  }
  void Close() { m_socket.nClose(); }

 private:
  kvnettest::Session m_service;
  clSOCKET m_socket;
};

// The 93-byte header as a hostile client may write it.
inline std::vector<unsigned char> RawHeader(const char* function, uint16_t parameters,
                                            uint32_t returnType = 1, uint16_t version = 1,
                                            const char* user = "alice",
                                            const char* password = "Secret") {
  std::vector<unsigned char> h(93, 0);
  h[0] = static_cast<unsigned char>(version);
  h[1] = static_cast<unsigned char>(version >> 8);
  std::strncpy(reinterpret_cast<char*>(&h[2]), user, 31);
  std::strncpy(reinterpret_cast<char*>(&h[34]), password, 15);
  std::strncpy(reinterpret_cast<char*>(&h[50]), function, 31);
  for (int i = 0; i < 4; ++i) h[82 + i] = static_cast<unsigned char>(returnType >> (8 * i));
  h[89] = static_cast<unsigned char>(parameters);
  h[90] = static_cast<unsigned char>(parameters >> 8);
  h[91] = 1;
  h[92] = 1;
  return h;
}

inline std::vector<unsigned char> RawDescriptor(uint32_t kind, uint32_t type, uint8_t byReference,
                                                uint32_t size) {
  std::vector<unsigned char> d;
  PutLE(d, kind, 4);
  PutLE(d, type, 4);
  d.push_back(byReference);
  PutLE(d, size, 4);
  return d;
}

inline std::vector<unsigned char> Join(std::initializer_list<std::vector<unsigned char>> parts) {
  std::vector<unsigned char> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

inline std::vector<unsigned char> Text(const std::string& s) {
  std::vector<unsigned char> v(s.begin(), s.end());
  v.push_back(0);
  return v;
}

// A LoadLibrary request for the test module, as the wire carries it.
inline std::vector<unsigned char> RawLoad(const char* module = KV_RPC_TEST_MODULE) {
  const std::vector<unsigned char> name = Text(module);
  return Join({RawHeader("LoadLibrary", 1),
               RawDescriptor(1, 5, 1, static_cast<uint32_t>(name.size())), name});
}

// Reads a reply's marker and status; -1 when the connection closed first.
inline int32_t RawStatus(RawConnection& c) {
  const std::vector<unsigned char> fixed = c.Receive(6);
  if (fixed.size() != 6 || GetLE(fixed.data(), 2) != 1) return -1;
  return static_cast<int32_t>(GetLE(fixed.data() + 2, 4));
}

inline void FreeBlockAt(void* address) {
  kvp::HGLOBAL block = address != nullptr ? kvp::GlobalHandle(address) : 0;
  if (block == 0) return;
  kvp::GlobalUnlock(block);
  kvp::GlobalFree(block);
}

// A bound of the expensive tests: the environment's value, else the
// build's (shorter under the sanitizers).
inline long Bound(const char* name, long builtIn) {
  const char* setting = std::getenv(name);
  const long value = setting != nullptr ? std::atol(setting) : builtIn;
  return value > 0 ? value : builtIn;
}

// A client of the test module on the server's port.
inline clCLIENT* Connect(uint16_t port, int kind = 0, const char* password = "Secret",
                         const char* module = "*" KV_RPC_TEST_MODULE, long timeout = 2000) {
  return pclConnecteLibrairie(kind, "127.0.0.1", module, port, "alice", password, 0, timeout);
}

}  // namespace kvrpctest
