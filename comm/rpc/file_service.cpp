// PUT and GET on the server. A received file is written beside its target
// under a temporary name and renamed over it only when every byte came, so
// that a cut transfer leaves the old file as it was.
#include "comm/rpc/file_service.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "comm/rpc/texts.h"
#include "comm/rpc/wire.h"
#include "platform/kernel/drives.h"
#include "platform/kernel/files.h"
#include "platform/kernel/system.h"
#include "platform/kernel/threads.h"
#include "platform/ui/message_box.h"

namespace kvrpc {

namespace {

constexpr size_t kPiece = 64 * 1024;

void Show(const char* text) {
  kvp::MessageBoxA(nullptr, text, kCaptionFileServer, kvp::MB_OK | kvp::MB_ICONSTOP);
}

bool LocalName(const char* windowsName, std::string& path) {
  char buffer[4096];
  if (kvp::MapWindowsPath(windowsName, buffer, sizeof buffer) == 0) return false;
  path = buffer;
  return !path.empty();
}

bool SendSize(Stream& stream, int32_t size) {
  unsigned char bytes[4];
  PutLE(bytes, static_cast<uint32_t>(size), 4);
  return stream.Write(bytes, 4);
}

}  // namespace

bool SendTextBlock(Stream& stream, const char* text) {
  char block[kTextBlock] = {};
  std::strncpy(block, text, kTextBlock - 1);
  return stream.Write(block, sizeof block);
}

bool ReceiveTextBlock(Stream& stream, char (&text)[256]) {
  if (!stream.Read(text, sizeof text)) return false;
  return std::memchr(text, '\0', sizeof text) != nullptr;
}

bool ServePut(Stream& stream) {
  if (!SendTextBlock(stream, "FILE TRANSFER READY")) return false;
  char name[kTextBlock];
  if (!ReceiveTextBlock(stream, name)) return false;
  unsigned char sizeBytes[4];
  if (!stream.Read(sizeBytes, 4)) return false;
  const int32_t size = static_cast<int32_t>(GetLE(sizeBytes, 4));
  if (size == -1) {
    Show(kTextFileUnavailableRemote);
    return false;
  }
  std::string target;
  if (size < -1 || !LocalName(name, target)) {
    // A negative size other than -1 announces nothing sound: refused before
    // any file is made.
    Show(kTextFileNotReceived);
    return false;
  }
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".kvpart-%u-%u",
                static_cast<unsigned>(kvp::GetCurrentProcessId()),
                static_cast<unsigned>(kvp::GetCurrentThreadId()));
  const std::string partial = target + suffix;
  kvp::HANDLE file = kvp::CreateFileA(partial.c_str(), kvp::GENERIC_WRITE, 0, nullptr,
                                      kvp::CREATE_ALWAYS, kvp::FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (file == kvp::INVALID_HANDLE_VALUE) {
    Show(kTextOpenFailed);
    return false;
  }
  std::vector<unsigned char> piece(kPiece);
  int64_t left = size;
  bool complete = true;
  while (left > 0) {
    const size_t ask = left < int64_t(kPiece) ? static_cast<size_t>(left) : kPiece;
    kvp::DWORD written = 0;
    if (!stream.Read(piece.data(), ask) ||
        !kvp::WriteFile(file, piece.data(), static_cast<kvp::DWORD>(ask), &written, nullptr) ||
        written != ask) {
      complete = false;
      break;
    }
    left -= static_cast<int64_t>(ask);
  }
  kvp::CloseHandle(file);
  if (!complete ||
      !kvp::MoveFileExA(partial.c_str(), target.c_str(), kvp::MOVEFILE_REPLACE_EXISTING)) {
    kvp::DeleteFileA(partial.c_str());
    Show(kTextFileNotReceived);
    return false;
  }
  return SendTextBlock(stream, "FICHIER RECU");
}

bool ServeGet(Stream& stream) {
  if (!SendTextBlock(stream, "FILE TRANSFER READY")) return false;
  char name[kTextBlock];
  if (!ReceiveTextBlock(stream, name)) return false;
  std::string path;
  kvp::HANDLE file =
      LocalName(name, path)
          ? kvp::CreateFileA(path.c_str(), kvp::GENERIC_READ, kvp::FILE_SHARE_READ, nullptr,
                             kvp::OPEN_EXISTING, kvp::FILE_FLAG_SEQUENTIAL_SCAN, nullptr)
          : kvp::INVALID_HANDLE_VALUE;
  if (file == kvp::INVALID_HANDLE_VALUE ||
      (kvp::GetFileAttributesA(path.c_str()) & kvp::FILE_ATTRIBUTE_DIRECTORY) != 0) {
    if (file != kvp::INVALID_HANDLE_VALUE) kvp::CloseHandle(file);
    Show(kTextOpenFailed);
    SendSize(stream, -1);
    return false;
  }
  kvp::DWORD high = 0;
  const kvp::DWORD low = kvp::GetFileSize(file, &high);
  if (high != 0 || low > 0x7FFFFFFFu) {
    kvp::CloseHandle(file);
    Show(kTextFileTooLarge);
    SendSize(stream, -1);
    return false;
  }
  const int32_t size = static_cast<int32_t>(low);
  if (!SendSize(stream, size)) {
    kvp::CloseHandle(file);
    return false;
  }
  std::vector<unsigned char> piece(kPiece);
  int64_t left = size;
  bool complete = true;
  while (left > 0) {
    const kvp::DWORD ask = left < int64_t(kPiece) ? static_cast<kvp::DWORD>(left) : kPiece;
    kvp::DWORD got = 0;
    if (!kvp::ReadFile(file, piece.data(), ask, &got, nullptr) || got == 0 ||
        !stream.Write(piece.data(), got)) {
      complete = false;
      break;
    }
    left -= got;
  }
  kvp::CloseHandle(file);
  if (!complete) {
    Show(kTextSendFailed);
    return false;
  }
  char acknowledgement[kTextBlock];
  return stream.Read(acknowledgement, sizeof acknowledgement);
}

}  // namespace kvrpc
