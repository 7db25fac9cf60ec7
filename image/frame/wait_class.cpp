#include "image/frame/wait_class.h"

namespace kvimg {

// The platform layer has no window classes yet: there is nothing to
// register, and reads fall back to the hourglass-free path.
bool RegisterWaitClass(void*) {
  return true;
}
void UnregisterWaitClass() {}

}  // namespace kvimg
