// The helpers the server calls for the remote functions.
//
// Window handles are the platform's (numbers that fit 32 bits); outside a
// server call PostBuffer knows no buffer size and sends nothing.
//
// RecupDisqueLogique and Dir write into a buffer the session allocated with
// the size the client sent; that size is their limit. A list that does not
// fit is cut after its last whole entry (always zero-terminated), and Dir
// then counts only the entries written. Outside a server call they know no
// size and write nothing.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "comm/rpc/call_context.h"
#include "kv/comm_rpc.h"
#include "platform/kernel/drives.h"
#include "platform/kernel/files.h"
#include "platform/kernel/win_exec.h"
#include "platform/ui/message_box.h"
#include "platform/ui/messages.h"

namespace {

// Appends whole pieces while they fit (with the final zero) in `room`.
class BoundedText {
 public:
  BoundedText(char* buffer, size_t room) : m_buffer(buffer), m_room(room) {
    if (m_buffer != nullptr && m_room > 0) m_buffer[0] = '\0';
  }
  bool Append(const std::string& piece) {
    if (m_buffer == nullptr || m_length + piece.size() + 1 > m_room) return false;
    std::memcpy(m_buffer + m_length, piece.c_str(), piece.size() + 1);
    m_length += piece.size();
    return true;
  }

 private:
  char* m_buffer;
  size_t m_room;
  size_t m_length = 0;
};

const char* DriveCode(unsigned type) {
  switch (type) {
    case kvp::DRIVE_REMOVABLE:
      return " FD \r\n";
    case kvp::DRIVE_FIXED:
      return " HD \r\n";
    case kvp::DRIVE_REMOTE:
      return " NW \r\n";
    case kvp::DRIVE_CDROM:
      return " CD \r\n";
    case kvp::DRIVE_RAMDISK:
      return " RD \r\n";
    default:
      return " UN \r\n";
  }
}

}  // namespace

KV_API uint32_t KV_CALL KVMessageBox(uint32_t window, char* text, char* caption, uint32_t style) {
  return static_cast<uint32_t>(
      kvp::MessageBoxA(reinterpret_cast<kvp::HWND>(uintptr_t{window}), text, caption, style));
}

// Window handles travel as 32-bit numbers; the platform's handles are small
// numbers that fit.
namespace {
kvp::HWND WindowOf(uint32_t window) {
  return reinterpret_cast<kvp::HWND>(static_cast<uintptr_t>(window));
}
}  // namespace

KV_API uint32_t KV_CALL KVPostMessage(uint32_t window, uint32_t message, uint32_t wparam,
                                      uint32_t lparam) {
  return static_cast<uint32_t>(
      kvp::PostMessageA(WindowOf(window), message, wparam, static_cast<kvp::LPARAM>(lparam)));
}

KV_API uint32_t KV_CALL KVRegisterWindowMessage(char* name) {
  const size_t room = kvrpc::BufferRoom(name);
  // A name sent without its zero within the buffer registers nothing.
  if (name == nullptr || (room > 0 && std::memchr(name, '\0', room) == nullptr)) return 0;
  return kvp::RegisterWindowMessageA(name);
}

// Sends the window the buffer as copy data. A byte count beyond the buffer
// the session received is refused (0) rather than read past its end.
KV_API uint32_t KV_CALL PostBuffer(uint32_t window, char* buffer, uint32_t byteCount,
                                   uint32_t dataWord) {
  if (byteCount > 0 && (buffer == nullptr || byteCount > kvrpc::BufferRoom(buffer))) return 0;
  kvp::COPYDATASTRUCT data{};
  data.dwData = dataWord;
  data.cbData = byteCount;
  data.lpData = byteCount > 0 ? buffer : nullptr;
  return static_cast<uint32_t>(kvp::SendMessageA(WindowOf(window), kvp::WM_COPYDATA, 0,
                                                 reinterpret_cast<kvp::LPARAM>(&data)));
}

KV_API uint32_t KV_CALL KVWinExec(char* commandLine, uint32_t show) {
  if (commandLine == nullptr) return 0;
  const size_t room = kvrpc::BufferRoom(commandLine);
  // A command line sent without its zero is not run.
  if (room > 0 && std::memchr(commandLine, '\0', room) == nullptr) return 0;
  return kvp::WinExec(commandLine, show);
}

KV_API uint32_t KV_CALL GetLogicalDrives(void) {
  return kvp::GetLogicalDrives();
}

KV_API void KV_CALL RecupDisqueLogique(char* buffer) {
  BoundedText out(buffer, kvrpc::BufferRoom(buffer));
  const uint32_t mask = kvp::GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if ((mask & (uint32_t{1} << i)) == 0) continue;
    const char root[4] = {static_cast<char>('A' + i), ':', '\\', '\0'};
    if (!out.Append(std::string(root, 2) + DriveCode(kvp::GetDriveTypeA(root)))) return;
  }
}

KV_API int32_t KV_CALL Dir(char* pattern, char* buffer) {
  const size_t patternRoom = kvrpc::BufferRoom(pattern);
  if (pattern == nullptr || patternRoom == 0 || std::memchr(pattern, '\0', patternRoom) == nullptr)
    return -1;
  BoundedText out(buffer, kvrpc::BufferRoom(buffer));
  kvp::WIN32_FIND_DATAA found{};
  kvp::HANDLE search = kvp::FindFirstFileA(pattern, &found);
  if (search == kvp::INVALID_HANDLE_VALUE) return -1;
  std::string directories = "\\DIRECTORIES";
  std::string files = "\\FILES";
  int32_t count = 0;
  std::vector<std::string> dirs;
  std::vector<std::string> plain;
  do {
    if ((found.dwFileAttributes & kvp::FILE_ATTRIBUTE_DIRECTORY) != 0) {
      dirs.push_back(std::string("\\") + found.cFileName);
    } else {
      const uint64_t bytes = (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
      const uint64_t kilobytes = bytes == 0 ? 0 : bytes < 1024 ? 1 : bytes / 1024;
      char size[32];
      std::snprintf(size, sizeof size, "/%llu", static_cast<unsigned long long>(kilobytes));
      plain.push_back(std::string("\\") + found.cFileName + size);
    }
  } while (kvp::FindNextFileA(search, &found));
  kvp::FindClose(search);
  if (!out.Append(directories)) return 0;
  for (const std::string& d : dirs) {
    if (!out.Append(d)) return count;
    ++count;
  }
  if (!out.Append(files)) return count;
  for (const std::string& f : plain) {
    if (!out.Append(f)) return count;
    ++count;
  }
  return count;
}
