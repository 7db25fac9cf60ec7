// Printer contexts over cairo PDF surfaces.
#include <cairo-pdf.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/gdi/cairo_dc.h"
#include "platform/gdi/printer.h"
#include "platform/kernel/profile_paths.h"

extern char** environ;

namespace kvp {

namespace {

constexpr int kA4WidthTenths = 2100;
constexpr int kA4HeightTenths = 2970;
constexpr int kDefaultDpi = 150;

bool EndsWithPdf(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return tail == ".pdf";
}

// Runs lp and waits for it; true when it exits with 0.
bool RunLp(const std::string& queue, const std::string& title, const std::string& file) {
  std::string q = queue, t = title.empty() ? std::string("document") : title, f = file;
  char lp[] = "lp";
  char d[] = "-d";
  char tt[] = "-t";
  char* argv[] = {lp, d, q.data(), tt, t.data(), f.data(), nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, "lp", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class PrinterDC : public detail::CairoDC {
 public:
  PrinterDC(std::string port, int width, int height, int dpi, int widthMm, int heightMm,
            cairo_surface_t* scratch)
      : CairoDC(OBJ_DC, scratch, 1.0, true),
        port_(std::move(port)),
        widthMm_(widthMm),
        heightMm_(heightMm) {
    widthPixels = width;
    heightPixels = height;
    pixelsPerInch = dpi;
    printer = true;
  }
  ~PrinterDC() override {
    if (open_) Abort();
  }

  int DeviceCaps(int index) override {
    if (index == HORZSIZE) return widthMm_;
    if (index == VERTSIZE) return heightMm_;
    if (index == HORZRES) return widthPixels;
    if (index == VERTRES) return heightPixels;
    return CairoDC::DeviceCaps(index);
  }

  int Start(const DOCINFOA* document) {
    if (open_) return SP_ERROR;
    title_ = document != nullptr && document->lpszDocName != nullptr ? document->lpszDocName : "";
    queue_.clear();
    if (document != nullptr && document->lpszOutput != nullptr && document->lpszOutput[0] != 0) {
      file_ = document->lpszOutput;
    } else if (port_.empty()) {
      file_ = detail::WindowsDirectory() + "/kvprint.pdf";
    } else if (port_.find('/') != std::string::npos || EndsWithPdf(port_)) {
      file_ = port_;
    } else {
      queue_ = port_;
      char name[] = "/tmp/kvprint-XXXXXX";
      const int fd = mkstemp(name);
      if (fd < 0) return SP_ERROR;
      close(fd);
      file_ = name;
    }
    // A device without a page size still prints: on 800 x 600 pixels.
    const int width = widthPixels > 0 ? widthPixels : 800;
    const int height = heightPixels > 0 ? heightPixels : 600;
    const double units = 72.0 / pixelsPerInch;
    cairo_surface_t* pdf = cairo_pdf_surface_create(file_.c_str(), width * units, height * units);
    if (cairo_surface_status(pdf) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(pdf);
      if (!queue_.empty()) std::remove(file_.c_str());
      SetLastError(ERROR_ACCESS_DENIED);
      return SP_ERROR;
    }
    const int keepWidth = widthPixels, keepHeight = heightPixels;
    Retarget(pdf, units);
    widthPixels = keepWidth;
    heightPixels = keepHeight;
    cairo_surface_destroy(pdf);
    open_ = true;
    pages_ = 0;
    return ++jobs_;
  }

  int BeginPage() {
    if (!open_ || inPage_) return SP_ERROR;
    inPage_ = true;
    return 1;
  }

  int FinishPage() {
    if (!open_ || !inPage_) return SP_ERROR;
    cairo_t* cr = cairo_create(surface());
    cairo_show_page(cr);
    cairo_destroy(cr);
    inPage_ = false;
    ++pages_;
    return 1;
  }

  int Finish() {
    if (!open_) return SP_ERROR;
    if (inPage_) FinishPage();
    cairo_surface_finish(surface());
    const bool written = cairo_surface_status(surface()) == CAIRO_STATUS_SUCCESS;
    open_ = false;
    ToScratch();
    bool done = written;
    if (!queue_.empty()) {
      done = written && RunLp(queue_, title_, file_);
      std::remove(file_.c_str());
    }
    return done ? 1 : SP_ERROR;
  }

  int Abort() {
    if (!open_) return SP_ERROR;
    cairo_surface_finish(surface());
    open_ = false;
    ToScratch();
    std::remove(file_.c_str());
    return 1;
  }

 private:
  void ToScratch() {
    const int keepWidth = widthPixels, keepHeight = heightPixels;
    cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    Retarget(scratch, 1.0);
    cairo_surface_destroy(scratch);
    widthPixels = keepWidth;
    heightPixels = keepHeight;
  }

  std::string port_;
  int widthMm_;
  int heightMm_;
  std::string title_;
  std::string file_;
  std::string queue_;
  bool open_ = false;
  bool inPage_ = false;
  int pages_ = 0;
  int jobs_ = 0;
};

template <typename Result, typename Action>
Result WithPrinter(HDC dc, Result failed, Action action) {
  auto found = std::dynamic_pointer_cast<PrinterDC>(detail::LookUpGdiObject(dc));
  if (!found) {
    SetLastError(ERROR_INVALID_HANDLE);
    return failed;
  }
  std::lock_guard<std::mutex> hold(found->mutex);
  return action(*found);
}

}  // namespace

HDC CreateDCA(const char*, const char*, const char* port, const DEVMODEA* mode) {
  int widthTenths = kA4WidthTenths;
  int heightTenths = kA4HeightTenths;
  int dpi = kDefaultDpi;
  if (mode != nullptr) {
    if (mode->dmFields & DM_PAPERWIDTH) widthTenths = std::max<int>(0, mode->dmPaperWidth);
    if (mode->dmFields & DM_PAPERLENGTH) heightTenths = std::max<int>(0, mode->dmPaperLength);
    if ((mode->dmFields & DM_PRINTQUALITY) && mode->dmPrintQuality >= 36 &&
        mode->dmPrintQuality <= 1200)
      dpi = mode->dmPrintQuality;
  }
  const int width = static_cast<int>(std::lround(widthTenths / 254.0 * dpi));
  const int height = static_cast<int>(std::lround(heightTenths / 254.0 * dpi));
  cairo_surface_t* scratch = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
  std::shared_ptr<PrinterDC> dc;
  try {
    dc = std::make_shared<PrinterDC>(port != nullptr ? port : "", width, height, dpi,
                                     (widthTenths + 5) / 10, (heightTenths + 5) / 10, scratch);
  } catch (const std::bad_alloc&) {
    cairo_surface_destroy(scratch);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  cairo_surface_destroy(scratch);
  return detail::RegisterDC(std::move(dc));
}

int StartDocA(HDC dc, const DOCINFOA* document) {
  return WithPrinter(dc, SP_ERROR, [&](PrinterDC& p) { return p.Start(document); });
}

int StartPage(HDC dc) {
  return WithPrinter(dc, SP_ERROR, [](PrinterDC& p) { return p.BeginPage(); });
}

int EndPage(HDC dc) {
  return WithPrinter(dc, SP_ERROR, [](PrinterDC& p) { return p.FinishPage(); });
}

int EndDoc(HDC dc) {
  return WithPrinter(dc, SP_ERROR, [](PrinterDC& p) { return p.Finish(); });
}

int AbortDoc(HDC dc) {
  return WithPrinter(dc, SP_ERROR, [](PrinterDC& p) { return p.Abort(); });
}

}  // namespace kvp
