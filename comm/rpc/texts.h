// The remote services' message texts and captions (Windows-1252).
#pragma once
#include <cstdint>
#include <string>

namespace kvrpc {

inline constexpr const char* kCaptionCallServer = "Serveur RPC";
inline constexpr const char* kCaptionFileServer = "Serveur FTP";
inline constexpr const char* kCaptionRpcError = "RPC ERROR";
inline constexpr const char* kCaptionFtp = "FTP";
inline constexpr const char* kCaptionKvFtp = "KVFTP";

extern const char* const kTextNoPasswordFile;  // with %s: the file's full name
extern const char* const kTextFileUnavailableRemote;
extern const char* const kTextFileNotReceived;
extern const char* const kTextOpenFailed;
extern const char* const kTextReopenFailed;
extern const char* const kTextSendFailed;
extern const char* const kTextUnknownCommand;
extern const char* const kTextThreadFailed;
extern const char* const kTextNotReady;
extern const char* const kTextFileUnavailableServer;
extern const char* const kTextFileTooLarge;

// The text of an exception status (6 to 26), or null.
const char* ExceptionText(int32_t status);
// What a client shows for a reply's status; `function`, `module` and
// `user` fill the texts that name them.
std::string StatusMessage(int32_t status, const char* function, const char* module,
                          const char* user);

}  // namespace kvrpc
