// Where a drawing goes: a field's device context (its picture kept and put
// back), a placeable metafile file, or a printed page.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "chart/draw/chart_layout.h"
#include "chart/draw/placeable_header.h"
#include "chart/model/chart.h"
#include "chart/window/chart_window.h"
#include "platform/gdi/metafile.h"
#include "platform/gdi/pens_brushes.h"
#include "platform/gdi/printer.h"
#include "platform/kernel/files.h"
#include "platform/kernel/profile.h"
#include "platform/ui/painting.h"
#include "platform/ui/window.h"

namespace kv::chart {

namespace {

// Writes the whole buffer; false on any short or failed write.
bool WriteAll(kvp::HANDLE file, const uint8_t* bytes, size_t length) {
  while (length > 0) {
    const auto chunk = static_cast<kvp::DWORD>(std::min<size_t>(length, 1u << 20));
    kvp::DWORD done = 0;
    if (!kvp::WriteFile(file, bytes, chunk, &done, nullptr) || done != chunk) return false;
    bytes += chunk;
    length -= chunk;
  }
  return true;
}

// The metafile file: header, bits; the partial file goes on any failure.
bool WriteMetafileFile(const std::string& name, const Box& bounds,
                       const std::vector<uint8_t>& bits) {
  kvp::HANDLE file = kvp::CreateFileA(name.c_str(), kvp::GENERIC_WRITE, 0, nullptr,
                                      kvp::CREATE_ALWAYS, 0, nullptr);
  if (file == kvp::INVALID_HANDLE_VALUE) return false;
  const auto header = PlaceableHeader(bounds, kMetafileUnitsPerInch);
  bool written =
      WriteAll(file, header.data(), header.size()) && WriteAll(file, bits.data(), bits.size());
  written = kvp::CloseHandle(file) && written;
  if (!written) kvp::DeleteFileA(name.c_str());
  return written;
}

// A copy of the font scaled by the factor (heights at least 1 pixel).
OwnedFont ScaledCopy(const OwnedFont& font, double factor) {
  kvp::LOGFONTA description{};
  if (font.get() == nullptr ||
      kvp::GetObjectA(font.get(), sizeof description, &description) != sizeof description)
    return OwnedFont();
  double height = description.lfHeight * factor;
  if (!std::isfinite(height)) height = description.lfHeight;
  height = std::clamp(height, -4000.0, 4000.0);
  if (std::fabs(height) < 1) height = description.lfHeight < 0 ? -1 : 1;
  description.lfHeight = static_cast<kvp::LONG>(std::lround(height));
  return OwnedFont(kvp::CreateFontIndirectA(&description));
}

// The default printer: "driver,device,port" in the "device" entry of the
// "windows" section of win.ini; without one, a PDF file in the Windows
// directory.
kvp::HDC CreateDefaultPrinter() {
  char entry[512] = {};
  kvp::GetProfileStringA("windows", "device", "", entry, sizeof entry);
  std::string parts[3];
  int part = 0;
  for (const char* p = entry; *p != '\0'; ++p) {
    if (*p == ',' && part < 2) {
      ++part;
    } else {
      parts[part] += *p;
    }
  }
  for (std::string& text : parts) {
    while (!text.empty() && text.front() == ' ') text.erase(text.begin());
    while (!text.empty() && text.back() == ' ') text.pop_back();
  }
  return kvp::CreateDCA(parts[0].c_str(), parts[1].c_str(), parts[2].c_str(), nullptr);
}

}  // namespace

void Chart::Draw() {
  drawing.kind = applied.destinationKind;
  switch (applied.destinationKind) {
    case DestinationKind::kField: {
      kvp::HDC dc = static_cast<kvp::HDC>(applied.destinationHandle);
      const kvp::DWORD type = kvp::GetObjectType(dc);
      if (type != kvp::OBJ_MEMDC && type != kvp::OBJ_DC) {
        SetError(ErrorState::kNoDestination);
        return;
      }
      drawing.dc = dc;
      const Box rect = DrawingRect(*this);
      // The field's own picture is kept the first time the chart covers it.
      if (drawing.fieldPicture == nullptr) {
        kvp::HBITMAP saved = kvp::CreateCompatibleBitmap(dc, rect.right + 1, rect.bottom + 1);
        kvp::HDC copy = kvp::CreateCompatibleDC(dc);
        if (saved != nullptr && copy != nullptr) {
          kvp::HGDIOBJ old = kvp::SelectObject(copy, saved);
          kvp::BitBlt(copy, 0, 0, rect.right + 1, rect.bottom + 1, dc, 0, 0, kvp::SRCCOPY);
          kvp::SelectObject(copy, old);
          drawing.fieldPicture = saved;
          drawing.fieldDC = dc;
        } else if (saved != nullptr) {
          kvp::DeleteObject(saved);
        }
        if (copy != nullptr) kvp::DeleteDC(copy);
      }
      const kvp::RECT whole{rect.left - 1, rect.top - 1, rect.right, rect.bottom};
      kvp::FillRect(dc, &whole, static_cast<kvp::HBRUSH>(kvp::GetStockObject(kvp::WHITE_BRUSH)));
      drawing.screenWidth = rect.width();
      drawing.screenHeight = rect.height();
      DrawBody();
      drawing.dc = nullptr;
      // The field window shows the chart and hands its commands to it.
      if (AttachToField(*this)) kvp::InvalidateRect(drawing.coveredField, nullptr, kvp::FALSE_);
      return;
    }
    case DestinationKind::kMetafile: {
      ClearDrawing();
      kvp::HDC dc = kvp::CreateMetaFileA(nullptr);
      if (dc == nullptr) {
        SetError(ErrorState::kNoDestination);
        return;
      }
      drawing.dc = dc;
      const Box rect = DrawingRect(*this);
      kvp::SetMapMode(dc, kvp::MM_ANISOTROPIC);
      kvp::SetWindowOrgEx(dc, rect.left, rect.top, nullptr);
      kvp::SetWindowExtEx(dc, std::max(1, rect.width()), std::max(1, rect.height()), nullptr);
      DrawBody();
      drawing.dc = nullptr;
      kvp::HMETAFILE metafile = kvp::CloseMetaFile(dc);
      if (metafile == nullptr) {
        SetError(ErrorState::kNoDestination);
        return;
      }
      std::vector<uint8_t> bits(kvp::GetMetaFileBitsEx(metafile, 0, nullptr));
      kvp::GetMetaFileBitsEx(metafile, static_cast<kvp::UINT>(bits.size()), bits.data());
      kvp::DeleteMetaFile(metafile);
      // A drawing that found nothing to draw writes no file.
      if (errorState() != ErrorState::kNone) return;
      if (!WriteMetafileFile(applied.destinationText, rect, bits)) {
        SetError(ErrorState::kNoDestination);
      }
      return;
    }
    case DestinationKind::kWindow: {
      // A window the user closed is made again rather than drawn nowhere.
      if (drawing.chartWindow == nullptr || !kvp::IsWindow(drawing.chartWindow)) {
        drawing.chartWindow = nullptr;
        if (!CreateChartWindow(*this)) {
          SetError(ErrorState::kNoDestination);
          return;
        }
      }
      kvp::HDC dc = kvp::GetDC(drawing.chartWindow);
      if (dc == nullptr) {
        SetError(ErrorState::kNoDestination);
        return;
      }
      PaintChart(*this, dc);
      kvp::ReleaseDC(drawing.chartWindow, dc);
      kvp::ValidateRect(drawing.chartWindow, nullptr);
      return;
    }
    default:
      SetError(ErrorState::kNoDestination);
      return;
  }
}

void Chart::ClearDrawing() {
  DestroyChartWindow(*this);
  RestoreFieldPicture();
  DetachFromField(*this);
}

void Chart::RestoreFieldPicture() {
  if (drawing.fieldPicture == nullptr) return;
  kvp::HDC dc = drawing.fieldDC;
  kvp::HDC copy = kvp::CreateCompatibleDC(dc);
  if (copy != nullptr) {
    kvp::BITMAP size{};
    kvp::GetObjectA(drawing.fieldPicture, sizeof size, &size);
    kvp::HGDIOBJ old = kvp::SelectObject(copy, drawing.fieldPicture);
    kvp::BitBlt(dc, 0, 0, size.bmWidth, size.bmHeight, copy, 0, 0, kvp::SRCCOPY);
    kvp::SelectObject(copy, old);
    kvp::DeleteDC(copy);
  }
  kvp::DeleteObject(drawing.fieldPicture);
  drawing.fieldPicture = nullptr;
  drawing.fieldDC = nullptr;
}

void Chart::Print(kvp::HDC given, const PrintRect& millimetres) {
  // 1. What printing changes, kept to be put back in every case.
  const kvp::HDC keptDC = drawing.dc;
  const DestinationKind keptKind = drawing.kind;
  const PrintRect keptRect = printRect;
  const double keptScale = drawingScale;

  // 2. The context.
  kvp::HDC dc = given != nullptr ? given : CreateDefaultPrinter();
  if (dc == nullptr) {
    SetError(ErrorState::kNoDestination);
    return;
  }
  drawing.kind = DestinationKind::kPrinter;
  drawing.dc = dc;

  // 3. and 4. The page and the print rectangle.
  int width = kvp::GetDeviceCaps(dc, kvp::HORZRES);
  int height = kvp::GetDeviceCaps(dc, kvp::VERTRES);
  bool useGiven = !(millimetres.left == 0 && millimetres.top == 0 && millimetres.right == 0 &&
                    millimetres.bottom == 0);
  if (width == 0 && height == 0) {
    width = 800;
    height = 600;
    useGiven = false;
  }
  const int widthMm = kvp::GetDeviceCaps(dc, kvp::HORZSIZE);
  const int heightMm = kvp::GetDeviceCaps(dc, kvp::VERTSIZE);
  // A device that does not tell its size in millimetres cannot place one.
  if (widthMm <= 0 || heightMm <= 0) useGiven = false;
  Box page{5, 5, width - 5, height - 5};
  if (useGiven) {
    page = Box{Coord(static_cast<double>(millimetres.left) * width / widthMm),
               Coord(static_cast<double>(millimetres.top) * height / heightMm),
               Coord(static_cast<double>(millimetres.right) * width / widthMm),
               Coord(static_cast<double>(millimetres.bottom) * height / heightMm)};
  }

  // 5. The scale keeps the proportions of the screen drawing; before any
  // drawing on the screen, those of the default picture.
  double screenWidth = drawing.screenWidth, screenHeight = drawing.screenHeight;
  if (screenWidth <= 0 || screenHeight <= 0) {
    screenWidth = 637;
    screenHeight = 477;
  }
  double scale = std::min(page.width() / screenWidth, page.height() / screenHeight);
  if (!(scale > 0) || !std::isfinite(scale)) scale = 1.0;
  page.right = page.left + Coord(screenWidth * scale);
  page.bottom = page.top + Coord(screenHeight * scale);
  printRect = PrintRect{page.left, page.top, page.right, page.bottom};
  drawingScale = scale;

  // 6. The document, with fonts scaled for the page.
  std::array<OwnedFont, kFontElements> keptFonts;
  for (int i = 0; i < kFontElements; ++i) {
    ElementFont& element = font(static_cast<FontElement>(i));
    OwnedFont scaled = ScaledCopy(element.font, scale);
    keptFonts[static_cast<size_t>(i)] = std::move(element.font);
    element.font = std::move(scaled);
  }
  kvp::DOCINFOA document{};
  document.cbSize = sizeof document;
  document.lpszDocName = name.c_str();
  if (kvp::StartDocA(dc, &document) > 0) {
    if (kvp::StartPage(dc) > 0) {
      DrawBody();
      if (kvp::EndPage(dc) <= 0) SetError(ErrorState::kNoDestination);
      if (kvp::EndDoc(dc) <= 0) SetError(ErrorState::kNoDestination);
    } else {
      kvp::AbortDoc(dc);
      SetError(ErrorState::kNoDestination);
    }
  } else {
    SetError(ErrorState::kNoDestination);
  }

  // 7. Everything back.
  for (int i = 0; i < kFontElements; ++i) {
    font(static_cast<FontElement>(i)).font = std::move(keptFonts[static_cast<size_t>(i)]);
  }
  if (given == nullptr) kvp::DeleteDC(dc);
  drawing.dc = keptDC;
  drawing.kind = keptKind;
  printRect = keptRect;
  drawingScale = keptScale;
}

}  // namespace kv::chart
