#include "image/frame/wait_settings.h"

#include <cstdio>
#include <cstring>

#include "platform/kernel/profile.h"

namespace kvimg {

namespace {

constexpr const char* kIni = "KVIMG.INI";
constexpr unsigned kValueLimit = 100;
constexpr int kWaitWidth = 200;
constexpr int kWaitHeight = 120;

bool SameIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    const char ca = (*a >= 'a' && *a <= 'z') ? static_cast<char>(*a - 32) : *a;
    const char cb = (*b >= 'a' && *b <= 'z') ? static_cast<char>(*b - 32) : *b;
    if (ca != cb) return false;
  }
  return *a == *b;
}

bool KeyPresent(const char* section, const char* key) {
  char keys[1024] = {};
  kvp::GetPrivateProfileStringA(section, nullptr, "", keys, sizeof keys, kIni);
  for (const char* name = keys; *name != '\0'; name += std::strlen(name) + 1)
    if (SameIgnoringCase(name, key)) return true;
  return false;
}

}  // namespace

bool WaitWindowWanted() {
  if (!KeyPresent("Options", "AFF")) {
    kvp::WritePrivateProfileStringA("Options", "AFF", "NON", kIni);
    return true;
  }
  char value[kValueLimit + 1] = {};
  kvp::GetPrivateProfileStringA("Options", "AFF", "", value, kValueLimit, kIni);
  if (SameIgnoringCase(value, "OUI")) return true;
  kvp::WritePrivateProfileStringA("Options", "AFF", "NON", kIni);
  return false;
}

WaitPosition ReadWaitPosition(int screenWidth, int screenHeight) {
  WaitPosition position{};
  position.x = static_cast<int>(
      kvp::GetPrivateProfileIntA("Position", "X", (screenWidth - kWaitWidth) / 2, kIni));
  position.y = static_cast<int>(
      kvp::GetPrivateProfileIntA("Position", "Y", (screenHeight - kWaitHeight) / 2, kIni));
  return position;
}

void SaveWaitPosition(WaitPosition position) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", position.x);
  kvp::WritePrivateProfileStringA("Position", "X", text, kIni);
  std::snprintf(text, sizeof text, "%d", position.y);
  kvp::WritePrivateProfileStringA("Position", "Y", text, kIni);
}

}  // namespace kvimg
