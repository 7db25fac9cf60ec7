// Printing on Windows: the system's printer contexts and documents.
#include <cstring>

#include "platform/gdi/win32/gdi32.h"
#include "platform/gdi/win32/live_objects.h"

namespace kvp {

namespace {

// The fields of the system's DEVMODEA that the platform's mode carries,
// at their offsets in the 156-byte record.
constexpr size_t kDevModeSize = 156;
constexpr size_t kSizeOffset = 36;
constexpr size_t kFieldsOffset = 40;
constexpr size_t kPaperLengthOffset = 48;
constexpr size_t kPaperWidthOffset = 50;
constexpr size_t kPrintQualityOffset = 58;

void Put16(unsigned char* at, uint16_t value) {
  at[0] = static_cast<unsigned char>(value & 0xFF);
  at[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char* at, uint32_t value) {
  Put16(at, static_cast<uint16_t>(value & 0xFFFF));
  Put16(at + 2, static_cast<uint16_t>(value >> 16));
}

}  // namespace

HDC CreateDCA(const char* driver, const char* device, const char* port, const DEVMODEA* mode) {
  if (mode == nullptr) return detail::Made(win32::CreateDCA(driver, device, port, nullptr));
  unsigned char system[kDevModeSize] = {};
  if (device != nullptr) std::strncpy(reinterpret_cast<char*>(system), device, 31);
  Put16(system + kSizeOffset, kDevModeSize);
  Put32(system + kFieldsOffset, mode->dmFields);
  Put16(system + kPaperLengthOffset, static_cast<uint16_t>(mode->dmPaperLength));
  Put16(system + kPaperWidthOffset, static_cast<uint16_t>(mode->dmPaperWidth));
  Put16(system + kPrintQualityOffset, static_cast<uint16_t>(mode->dmPrintQuality));
  return detail::Made(win32::CreateDCA(driver, device, port, system));
}

int StartDocA(HDC dc, const DOCINFOA* document) {
  return win32::StartDocA(dc, document);
}

int StartPage(HDC dc) {
  return win32::StartPage(dc);
}

int EndPage(HDC dc) {
  return win32::EndPage(dc);
}

int EndDoc(HDC dc) {
  return win32::EndDoc(dc);
}

int AbortDoc(HDC dc) {
  return win32::AbortDoc(dc);
}

}  // namespace kvp
