// Internal: the table of graphic objects behind HGDIOBJ values.
//
// Objects are shared pointers so that a caller that looked one up keeps it
// alive while another thread deletes its handle; the later device-context
// code reaches a selected font's description through LookUpGdiObject.
#pragma once
#include <memory>

#include "platform/gdi/gdi_types.h"

namespace kvp::detail {

class GdiObject {
 public:
  virtual ~GdiObject() = default;
  virtual DWORD Type() const = 0;
  // The description record GetObjectA copies out.
  virtual const void* Record() const = 0;
  virtual int RecordSize() const = 0;
};

// Enters the object and returns its new handle; null when memory runs out.
HGDIOBJ RegisterGdiObject(std::shared_ptr<GdiObject> object);

// Removes the handle and returns its object (null when it was not live).
std::shared_ptr<GdiObject> UnregisterGdiObject(HGDIOBJ handle);

// The object behind the handle (a stock object too), or null when it is
// not live.
std::shared_ptr<GdiObject> LookUpGdiObject(HGDIOBJ handle);

// Tells every metafile being recorded that the object is being deleted.
void ForgetObjectInMetafiles(HGDIOBJ handle);

}  // namespace kvp::detail
