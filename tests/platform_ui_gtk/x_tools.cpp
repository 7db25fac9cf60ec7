#include "x_tools.h"

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

namespace x_tools {

int Run(const std::string& command, std::string* output) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return -1;
  std::string text;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
  const int status = pclose(pipe);
  if (output != nullptr) *output = text;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

unsigned long FindNow(const std::string& title) {
  std::string out;
  if (Run("xdotool search --onlyvisible --name " + Quoted("^" + title + "$") + " 2>/dev/null",
          &out) != 0) {
    return 0;
  }
  return std::strtoul(out.c_str(), nullptr, 10);
}

}  // namespace

unsigned long WaitForWindow(const std::string& title, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::chrono::milliseconds(static_cast<long>(seconds * 1000));
  for (;;) {
    if (unsigned long found = FindNow(title)) return found;
    if (std::chrono::steady_clock::now() > deadline) return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

bool WindowShown(const std::string& title) {
  return FindNow(title) != 0;
}

Geometry GeometryOf(unsigned long window) {
  std::string out;
  Geometry geometry;
  if (Run("xwininfo -id " + std::to_string(window), &out) != 0) return geometry;
  std::istringstream lines(out);
  std::string line;
  auto value = [&](const char* key, int* into) {
    const size_t at = line.find(key);
    if (at != std::string::npos) *into = std::atoi(line.c_str() + at + std::string(key).size());
  };
  while (std::getline(lines, line)) {
    value("Absolute upper-left X:", &geometry.x);
    value("Absolute upper-left Y:", &geometry.y);
    value("Width:", &geometry.width);
    value("Height:", &geometry.height);
  }
  return geometry;
}

cairo_surface_t* Screenshot(unsigned long window, const std::string& directory) {
  const std::string path = directory + "/shot-" + std::to_string(window) + ".png";
  if (Run("import -window " + std::to_string(window) + " png24:" + Quoted(path) + " 2>&1") != 0) {
    return nullptr;
  }
  cairo_surface_t* shot = cairo_image_surface_create_from_png(path.c_str());
  std::remove(path.c_str());
  if (cairo_surface_status(shot) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(shot);
    return nullptr;
  }
  return shot;
}

std::vector<unsigned long> ViewableTopLevels() {
  std::string out;
  Run("xdotool search --onlyvisible --maxdepth 1 --name '' 2>/dev/null", &out);
  std::vector<unsigned long> ids;
  std::istringstream lines(out);
  for (unsigned long id; lines >> id;) ids.push_back(id);
  return ids;
}

unsigned long NewWindowOnScreen(const std::vector<unsigned long>& before) {
  for (unsigned long id : ViewableTopLevels()) {
    if (std::find(before.begin(), before.end(), id) != before.end()) continue;
    const Geometry at = GeometryOf(id);
    if (at.x >= 0 && at.y >= 0 && at.width > 20 && at.height > 20) return id;
  }
  return 0;
}

std::string ViewableChildren() {
  std::string out;
  Run("xwininfo -root -children -int 2>/dev/null", &out);
  return out;
}

unsigned PixelAt(cairo_surface_t* surface, int x, int y) {
  cairo_surface_flush(surface);
  const unsigned char* row =
      cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface);
  const auto* pixel = reinterpret_cast<const unsigned*>(row) + x;
  return *pixel & 0xFFFFFFu;
}

Difference Compare(cairo_surface_t* a, cairo_surface_t* b, int tolerance) {
  Difference result;
  const int width = cairo_image_surface_get_width(a);
  const int height = cairo_image_surface_get_height(a);
  if (width != cairo_image_surface_get_width(b) || height != cairo_image_surface_get_height(b) ||
      width == 0 || height == 0) {
    return result;
  }
  double total = 0;
  long differing = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const unsigned p = PixelAt(a, x, y);
      const unsigned q = PixelAt(b, x, y);
      int worst = 0;
      for (int shift = 0; shift < 24; shift += 8) {
        const int d =
            std::abs(static_cast<int>((p >> shift) & 0xFF) - static_cast<int>((q >> shift) & 0xFF));
        total += d;
        if (d > worst) worst = d;
      }
      if (worst > tolerance) ++differing;
    }
  }
  const double pixels = static_cast<double>(width) * height;
  result.meanPerChannel = total / (pixels * 3);
  result.shareDiffering = static_cast<double>(differing) / pixels;
  return result;
}

}  // namespace x_tools
