// The byte streams the protocol code reads and writes: a socket channel,
// or memory (for the parsers' fuzz targets and tests).
#pragma once
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "kv/comm_net.h"

namespace kvrpc {

class Stream {
 public:
  virtual ~Stream() = default;
  // Exactly `length` bytes, or false.
  virtual bool Read(void* data, size_t length) = 0;
  virtual bool Write(const void* data, size_t length) = 0;
  // The code of the last failure (a socket error number), 0 when none.
  virtual int Error() = 0;
};

class ChannelStream final : public Stream {
 public:
  explicit ChannelStream(clCHANNEL* channel) : m_channel(channel) {}
  bool Read(void* data, size_t length) override {
    char* bytes = static_cast<char*>(data);
    while (length > 0) {
      const long piece = static_cast<long>(std::min<size_t>(length, size_t{1} << 30));
      if (m_channel->lRecv(bytes, piece) != piece) return false;
      bytes += piece;
      length -= static_cast<size_t>(piece);
    }
    return true;
  }
  bool Write(const void* data, size_t length) override {
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
      const long piece = static_cast<long>(std::min<size_t>(length, size_t{1} << 30));
      if (m_channel->lSendAll(bytes, piece) != piece) return false;
      bytes += piece;
      length -= static_cast<size_t>(piece);
    }
    return true;
  }
  int Error() override { return m_channel->nGetLastError(); }

 private:
  clCHANNEL* m_channel;
};

// Reads from a fixed block of bytes, collects what is written.
class MemoryStream final : public Stream {
 public:
  MemoryStream(const unsigned char* data, size_t size) : m_data(data), m_size(size) {}
  bool Read(void* data, size_t length) override {
    if (length > m_size - m_offset) {
      m_offset = m_size;
      return false;
    }
    if (length > 0) std::memcpy(data, m_data + m_offset, length);
    m_offset += length;
    return true;
  }
  bool Write(const void* data, size_t length) override {
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    m_written.insert(m_written.end(), bytes, bytes + length);
    return true;
  }
  int Error() override { return m_offset >= m_size ? 10054 : 0; }
  const std::vector<unsigned char>& Written() const { return m_written; }

 private:
  const unsigned char* m_data;
  size_t m_size;
  size_t m_offset = 0;
  std::vector<unsigned char> m_written;
};

}  // namespace kvrpc
