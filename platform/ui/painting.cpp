// Update regions, paint messages and the windows' off-screen pictures.
#include "platform/ui/painting.h"

#include <algorithm>
#include <new>

#include "platform/gdi/bitmap_object.h"
#include "platform/gdi/cairo_dc.h"
#include "platform/gdi/device_context.h"
#include "platform/ui/backend.h"
#include "platform/ui/messages.h"
#include "platform/ui/window.h"
#include "platform/ui/window_state.h"

namespace kvp {

namespace detail {

void NotifyChanged(HWND window) {
  CurrentBackend().WindowChanged(window);
}

}  // namespace detail

namespace {

using detail::Ui;

RECT Union(const RECT& a, const RECT& b) {
  return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
              std::max(a.bottom, b.bottom)};
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT out{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
  if (out.right <= out.left || out.bottom <= out.top) out = RECT{0, 0, 0, 0};
  return out;
}

bool Empty(const RECT& rect) {
  return rect.right <= rect.left || rect.bottom <= rect.top;
}

cairo_surface_t* WhiteSurface(int width, int height) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
  if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(surface);
    return nullptr;
  }
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  cairo_destroy(cr);
  return surface;
}

// Under the mutex: the window's picture at its client size (at least
// 1 x 1), keeping what it showed when the size changed; null when memory
// runs out.
cairo_surface_t* EnsurePicture(detail::Window& window) {
  const SIZE size = detail::ClientSize(window);
  const int width = std::max<int>(size.cx, 1);
  const int height = std::max<int>(size.cy, 1);
  if (window.picture != nullptr && cairo_image_surface_get_width(window.picture) == width &&
      cairo_image_surface_get_height(window.picture) == height) {
    return window.picture;
  }
  cairo_surface_t* made = WhiteSurface(width, height);
  if (made == nullptr) return nullptr;
  if (window.picture != nullptr) {
    cairo_t* cr = cairo_create(made);
    cairo_set_source_surface(cr, window.picture, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_destroy(window.picture);
  }
  window.picture = made;
  return made;
}

HDC ContextOn(cairo_surface_t* surface) {
  std::shared_ptr<detail::CairoDC> dc;
  try {
    dc = std::make_shared<detail::CairoDC>(OBJ_DC, surface, 1.0, false);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return detail::RegisterDC(std::move(dc));
}

bool InvalidateOne(HWND window, const RECT* rect, BOOL erase) {
  std::shared_ptr<detail::Queue> queue;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return false;
    const SIZE size = detail::ClientSize(*found);
    const RECT client{0, 0, size.cx, size.cy};
    const RECT area = rect != nullptr ? Intersect(*rect, client) : client;
    if (Empty(area)) return true;
    found->update = found->hasUpdate ? Union(found->update, area) : area;
    found->hasUpdate = true;
    if (erase) found->erase = true;
    queue = found->queue;
  }
  detail::WakeQueue(queue);
  return true;
}

// Under the mutex: paints the window's picture and its visible children's
// onto `cr` at (x, y).
void Compose(cairo_t* cr, detail::Window& window, int x, int y) {
  cairo_surface_t* picture = EnsurePicture(window);
  if (picture == nullptr) return;
  const SIZE size = detail::ClientSize(window);
  cairo_save(cr);
  cairo_rectangle(cr, x, y, size.cx, size.cy);
  cairo_clip(cr);
  cairo_set_source_surface(cr, picture, x, y);
  cairo_paint(cr);
  // Children in back-to-front order, each clipped to its parent.
  for (auto it = window.children.rbegin(); it != window.children.rend(); ++it) {
    auto child = detail::FindWindowLocked(*it);
    if (!child || !child->visible) continue;
    const RECT frame = detail::FrameInsets(child->style);
    const int left = x + child->rect.left;
    const int top = y + child->rect.top;
    if (frame.left != 0 || frame.top != 0) {
      cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
      cairo_rectangle(cr, left, top, child->rect.right - child->rect.left,
                      child->rect.bottom - child->rect.top);
      cairo_fill(cr);
    }
    Compose(cr, *child, left + frame.left, top + frame.top);
  }
  cairo_restore(cr);
}

}  // namespace

namespace detail {

cairo_surface_t* ComposeWindowPicture(HWND window) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return nullptr;
  const SIZE size = detail::ClientSize(*found);
  cairo_surface_t* out = WhiteSurface(std::max<int>(size.cx, 1), std::max<int>(size.cy, 1));
  if (out == nullptr) return nullptr;
  cairo_t* cr = cairo_create(out);
  Compose(cr, *found, 0, 0);
  cairo_destroy(cr);
  cairo_surface_flush(out);
  return out;
}

}  // namespace detail

namespace {

cairo_surface_t* ComposedPicture(HWND window) {
  return detail::ComposeWindowPicture(window);
}

}  // namespace

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
  if (window != nullptr) return InvalidateOne(window, rect, erase) ? TRUE_ : FALSE_;
  std::vector<HWND> all;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    for (const auto& [value, each] : Ui().windows) all.push_back(each->handle);
  }
  for (HWND each : all) InvalidateOne(each, nullptr, erase);
  return TRUE_;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return FALSE_;
  if (rect == nullptr ||
      (rect->left <= found->update.left && rect->top <= found->update.top &&
       rect->right >= found->update.right && rect->bottom >= found->update.bottom)) {
    found->hasUpdate = false;
    found->update = RECT{0, 0, 0, 0};
  }
  return TRUE_;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL) {
  std::lock_guard<std::mutex> hold(Ui().mutex);
  auto found = detail::FindWindowLocked(window);
  if (!found) return FALSE_;
  if (rect != nullptr) *rect = found->hasUpdate ? found->update : RECT{0, 0, 0, 0};
  return found->hasUpdate ? TRUE_ : FALSE_;
}

BOOL UpdateWindow(HWND window) {
  bool needed = false;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return FALSE_;
    needed = found->hasUpdate && found->visible;
  }
  if (needed) SendMessageA(window, WM_PAINT, 0, 0);
  return TRUE_;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
  if (paint == nullptr) return nullptr;
  *paint = PAINTSTRUCT{};
  cairo_surface_t* picture = nullptr;
  bool erase = false;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return nullptr;
    picture = EnsurePicture(*found);
    if (picture == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    cairo_surface_reference(picture);
    paint->rcPaint = found->hasUpdate ? found->update : RECT{0, 0, 0, 0};
    erase = found->erase;
    found->hasUpdate = false;
    found->erase = false;
    found->update = RECT{0, 0, 0, 0};
  }
  HDC dc = ContextOn(picture);
  cairo_surface_destroy(picture);
  if (dc == nullptr) return nullptr;
  paint->hdc = dc;
  paint->fErase = TRUE_;
  if (erase) {
    // The procedure erases (answering nonzero) or leaves it to the painter.
    paint->fErase =
        SendMessageA(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) == 0 ? TRUE_ : FALSE_;
  } else {
    paint->fErase = FALSE_;
  }
  return dc;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT* paint) {
  if (paint == nullptr) return FALSE_;
  ReleaseDC(window, paint->hdc);
  detail::NotifyChanged(window);
  return TRUE_;
}

HDC GetWindowClientDC(HWND window) {
  cairo_surface_t* picture = nullptr;
  {
    std::lock_guard<std::mutex> hold(Ui().mutex);
    auto found = detail::FindWindowLocked(window);
    if (!found) return nullptr;
    picture = EnsurePicture(*found);
    if (picture == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    cairo_surface_reference(picture);
  }
  HDC dc = ContextOn(picture);
  cairo_surface_destroy(picture);
  return dc;
}

HBITMAP CopyWindowPicture(HWND window) {
  cairo_surface_t* picture = ComposedPicture(window);
  if (picture == nullptr) return nullptr;
  std::shared_ptr<detail::BitmapObject> bitmap;
  try {
    bitmap = std::make_shared<detail::BitmapObject>(picture);
  } catch (const std::bad_alloc&) {
    cairo_surface_destroy(picture);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return static_cast<HBITMAP>(detail::RegisterGdiObject(std::move(bitmap)));
}

BOOL WriteWindowPng(HWND window, const char* path) {
  if (path == nullptr) return FALSE_;
  cairo_surface_t* picture = ComposedPicture(window);
  if (picture == nullptr) return FALSE_;
  const bool written = cairo_surface_write_to_png(picture, path) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(picture);
  if (!written) SetLastError(ERROR_ACCESS_DENIED);
  return written ? TRUE_ : FALSE_;
}

}  // namespace kvp
