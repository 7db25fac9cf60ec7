// clCHANNEL: sends and receives over its socket, and typed values in the
// little-endian widths of the 32-bit platform.
#include <bit>
#include <cstring>
#include <new>

#include "kv/comm_net.h"
#include "platform/net/winsock.h"

namespace {

void PutLittleEndian(unsigned char* out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out[i] = static_cast<unsigned char>(value >> (8 * i));
}

uint64_t GetLittleEndian(const unsigned char* in, int width) {
  uint64_t value = 0;
  for (int i = 0; i < width; ++i) value |= static_cast<uint64_t>(in[i]) << (8 * i);
  return value;
}

}  // namespace

clCHANNEL::clCHANNEL(clSOCKET* socket) : m_socket(socket), m_lastError(0) {}

clCHANNEL::~clCHANNEL() {
  delete m_socket;
}

clCHANNEL& clCHANNEL::operator=(const clCHANNEL& other) {
  if (this == &other) return *this;
  m_lastError = other.m_lastError;
  if (other.m_socket == nullptr) {
    delete m_socket;
    m_socket = nullptr;
    return *this;
  }
  if (m_socket == nullptr) m_socket = new (std::nothrow) clSOCKET(0L);
  if (m_socket == nullptr) {
    m_lastError = KVNET_ERR_CHANNEL;
    return *this;
  }
  *m_socket = *other.m_socket;
  return *this;
}

int clCHANNEL::nGetLastError() {
  return static_cast<int>(m_lastError);
}

long clCHANNEL::lSend(const char* data, long length) {
  if (m_socket == nullptr) {
    m_lastError = kvp::WSAENOTSOCK;
    return -1;
  }
  const int sent = m_socket->nSend(data, length);
  if (sent < 0) m_lastError = static_cast<uint32_t>(m_socket->nGetLastError());
  return sent;
}

long clCHANNEL::lRecv(char* data, long length) {
  if (m_socket == nullptr) {
    m_lastError = kvp::WSAENOTSOCK;
    return -1;
  }
  const long got = m_socket->lRecv(data, length);
  if (got < 0) m_lastError = static_cast<uint32_t>(m_socket->nGetLastError());
  return got;
}

long clCHANNEL::lSendAll(const char* data, long length) {
  if (length < 0) {
    m_lastError = kvp::WSAEINVAL;
    return -1;
  }
  long done = 0;
  while (done < length) {
    const long sent = lSend(data + done, length - done);
    if (sent < 0) return -1;
    if (sent == 0) {  // a stream socket that takes nothing will take nothing more
      m_lastError = kvp::WSAENOBUFS;
      return -1;
    }
    done += sent;
  }
  return length;
}

int clCHANNEL::SendValue(const unsigned char* bytes, long length) {
  return lSendAll(reinterpret_cast<const char*>(bytes), length) == length ? 0 : -1;
}

int clCHANNEL::RecvValue(unsigned char* bytes, long length) {
  return lRecv(reinterpret_cast<char*>(bytes), length) == length ? 0 : -1;
}

int clCHANNEL::operator<<(unsigned char value) {
  return SendValue(&value, 1);
}

int clCHANNEL::operator<<(unsigned short value) {
  unsigned char bytes[2];
  PutLittleEndian(bytes, value, 2);
  return SendValue(bytes, 2);
}

int clCHANNEL::operator<<(short value) {
  return *this << static_cast<unsigned short>(value);
}

int clCHANNEL::operator<<(unsigned long value) {
  if (value > 0xFFFFFFFFul) {
    m_lastError = kvp::WSAEINVAL;
    return -1;
  }
  unsigned char bytes[4];
  PutLittleEndian(bytes, value, 4);
  return SendValue(bytes, 4);
}

int clCHANNEL::operator<<(long value) {
  if (value < INT32_MIN || value > INT32_MAX) {
    m_lastError = kvp::WSAEINVAL;
    return -1;
  }
  unsigned char bytes[4];
  PutLittleEndian(bytes, static_cast<uint32_t>(static_cast<int32_t>(value)), 4);
  return SendValue(bytes, 4);
}

int clCHANNEL::operator<<(float value) {
  unsigned char bytes[4];
  PutLittleEndian(bytes, std::bit_cast<uint32_t>(value), 4);
  return SendValue(bytes, 4);
}

int clCHANNEL::operator<<(double value) {
  unsigned char bytes[8];
  PutLittleEndian(bytes, std::bit_cast<uint64_t>(value), 8);
  return SendValue(bytes, 8);
}

// A long double travels in the 8-byte form of a double.
int clCHANNEL::operator<<(long double value) {
  return *this << static_cast<double>(value);
}

int clCHANNEL::operator>>(unsigned char& value) {
  return RecvValue(&value, 1);
}

int clCHANNEL::operator>>(unsigned short& value) {
  unsigned char bytes[2];
  if (RecvValue(bytes, 2) != 0) return -1;
  value = static_cast<unsigned short>(GetLittleEndian(bytes, 2));
  return 0;
}

int clCHANNEL::operator>>(short& value) {
  unsigned short raw = 0;
  if ((*this >> raw) != 0) return -1;
  value = static_cast<short>(raw);
  return 0;
}

int clCHANNEL::operator>>(unsigned long& value) {
  unsigned char bytes[4];
  if (RecvValue(bytes, 4) != 0) return -1;
  value = static_cast<unsigned long>(GetLittleEndian(bytes, 4));
  return 0;
}

int clCHANNEL::operator>>(long& value) {
  unsigned char bytes[4];
  if (RecvValue(bytes, 4) != 0) return -1;
  value = static_cast<int32_t>(static_cast<uint32_t>(GetLittleEndian(bytes, 4)));
  return 0;
}

int clCHANNEL::operator>>(float& value) {
  unsigned char bytes[4];
  if (RecvValue(bytes, 4) != 0) return -1;
  value = std::bit_cast<float>(static_cast<uint32_t>(GetLittleEndian(bytes, 4)));
  return 0;
}

int clCHANNEL::operator>>(double& value) {
  unsigned char bytes[8];
  if (RecvValue(bytes, 8) != 0) return -1;
  value = std::bit_cast<double>(GetLittleEndian(bytes, 8));
  return 0;
}

int clCHANNEL::operator>>(long double& value) {
  double narrow = 0;
  if ((*this >> narrow) != 0) return -1;
  value = narrow;
  return 0;
}
