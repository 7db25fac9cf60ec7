// One call session of the server.
#include "comm/rpc/session.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "comm/rpc/invoke.h"
#include "comm/rpc/request_reader.h"
#include "comm/rpc/texts.h"
#include "kv/comm_net.h"
#include "platform/kernel/drives.h"
#include "platform/kernel/files.h"
#include "platform/kernel/memory.h"
#include "platform/kernel/profile.h"
#include "platform/kernel/system.h"
#include "platform/ui/message_box.h"

namespace kvrpc {

namespace {

constexpr const char* kPasswordFile = "KVRPCSRV.INI";

bool SameTextIgnoringCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(*a);
    unsigned char y = static_cast<unsigned char>(*b);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
    if (x == '\0') return true;
  }
}

// The reply: marker, status, and with status 0 the result and the out
// parameters, built whole and sent in one piece.
std::vector<unsigned char> BuildReply(int32_t status, const CallHeader& header,
                                      const CallOutcome& outcome,
                                      const std::vector<ServerParameter>& parameters) {
  std::vector<unsigned char> reply(6);
  PutLE(reply.data(), 1, 2);
  PutLE(reply.data() + 2, static_cast<uint32_t>(status), 4);
  if (status != kStatusOk) return reply;
  if (header.returnType != kTypeNone) {
    unsigned char size[2];
    PutLE(size, outcome.resultSize, 2);
    reply.insert(reply.end(), size, size + 2);
    reply.insert(reply.end(), outcome.result, outcome.result + outcome.resultSize);
  }
  for (const ServerParameter& p : parameters) {
    if (p.descriptor.kind != kKindOut && p.descriptor.kind != kKindInOut) continue;
    const unsigned char* data = nullptr;
    uint32_t count = 0;
    if (p.descriptor.byReference == 0) {
      count = 0;
    } else if (p.descriptor.type == kTypeGlobalBlock) {
      // The block's first word says how much goes back; never more than the
      // block holds (the function may have replaced or resized it).
      kvp::HGLOBAL handle = p.block != nullptr ? kvp::GlobalHandle(p.block) : 0;
      const size_t room = handle != 0 ? kvp::GlobalSize(handle) : 0;
      if (room >= 4) {
        data = static_cast<const unsigned char*>(p.block);
        const int64_t asked = static_cast<int32_t>(GetLE(data, 4));
        count = asked <= 0 ? 0 : static_cast<uint32_t>(std::min<int64_t>(asked, int64_t(room)));
      }
    } else {
      data = p.buffer.data();
      count = p.descriptor.size;
    }
    unsigned char size[4];
    PutLE(size, count, 4);
    reply.insert(reply.end(), size, size + 4);
    if (count > 0) reply.insert(reply.end(), data, data + count);
  }
  return reply;
}

}  // namespace

void ShowSocketError(int code, const char* caption) {
  char text[128] = {};
  szTranslateError(text, code);
  kvp::MessageBoxA(nullptr, text, caption, kvp::MB_OK | kvp::MB_ICONSTOP);
}

bool CheckLogin(const char* user, const char* password) {
  char directory[4096] = {};
  const kvp::DWORD length = kvp::GetCurrentDirectoryA(sizeof directory - 16, directory);
  std::string path = length > 0 && length < sizeof directory - 16 ? directory : ".";
  path += "/";
  path += kPasswordFile;
  if (kvp::GetFileAttributesA(path.c_str()) == kvp::INVALID_FILE_ATTRIBUTES) {
    std::vector<char> text(std::strlen(kTextNoPasswordFile) + path.size() + 1);
    std::snprintf(text.data(), text.size(), kTextNoPasswordFile, path.c_str());
    kvp::MessageBoxA(nullptr, text.data(), kCaptionCallServer, kvp::MB_OK | kvp::MB_ICONSTOP);
    return false;
  }
  if (user[0] == '\0') return false;
  // One more character than a password may have, so that a longer value in
  // the file never matches a cut form of itself.
  char stored[kPasswordField + 1] = {};
  kvp::GetPrivateProfileStringA("Passwords", user, "", stored, sizeof stored, path.c_str());
  if (stored[0] == '\0' || std::strlen(stored) >= kPasswordField) return false;
  return SameTextIgnoringCase(stored, password);
}

void ReceiveEndMarker(Stream& stream) {
  char marker[6];
  stream.Read(marker, sizeof marker);
}

CallSession::~CallSession() {
  FreeModule();
}

void CallSession::FreeModule() {
  if (m_module != nullptr) kvp::FreeLibrary(m_module);
  m_module = nullptr;
}

bool CallSession::RunCycle(Stream& stream) {
  ServerRequest request;
  const char* why = nullptr;
  int32_t status = kStatusOk;
  CallOutcome outcome;
  switch (ReadRequest(stream, request, &why)) {
    case ReadOutcome::Broken:
      ShowSocketError(stream.Error(), "ReceptProxy");
      FreeModule();
      return false;
    case ReadOutcome::OtherVersion:
      status = kStatusVersion;
      break;
    case ReadOutcome::Malformed:
      status = kStatusBadParameter;
      break;
    case ReadOutcome::Complete:
      break;
  }
  const CallHeader& h = request.header;
  if (status == kStatusOk && !CheckLogin(h.user, h.password)) status = kStatusLogin;
  if (status == kStatusOk) {
    if (std::strcmp(h.function, "LoadLibrary") == 0) {
      const ServerParameter& name = request.parameters[0];
      const char* text = name.descriptor.type == kTypeGlobalBlock
                             ? static_cast<const char*>(name.block)
                             : reinterpret_cast<const char*>(name.buffer.data());
      FreeModule();
      m_module = kvp::LoadLibraryA(text);
      if (m_module == nullptr) status = kStatusModule;
    } else if (std::strcmp(h.function, "FreeLibrary") == 0) {
      if (m_module == nullptr || kvp::FreeLibrary(m_module) == 0) status = kStatusModule;
      m_module = nullptr;
      m_finished = true;
    } else {
      void* function = m_module != nullptr ? kvp::GetProcAddress(m_module, h.function) : nullptr;
      if (function == nullptr) {
        status = kStatusNoFunction;
      } else {
        outcome = Invoke(function, request);
        status = outcome.status;
      }
    }
  }
  m_lastStatus = status;
  // A version other than ours may lay its header out otherwise: its reply
  // flag is not trusted, the status always goes back.
  const bool reply = h.wantReply != 0 || status == kStatusVersion;
  if (reply) {
    const std::vector<unsigned char> bytes = BuildReply(status, h, outcome, request.parameters);
    if (!stream.Write(bytes.data(), bytes.size())) {
      ShowSocketError(stream.Error(), "EnvoiProxy");
      FreeModule();
      return false;
    }
  }
  if (status != kStatusOk) {
    FreeModule();
    m_finished = true;
  }
  return !m_finished;
}

}  // namespace kvrpc
