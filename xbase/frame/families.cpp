#include "xbase/frame/families.h"

namespace kv::xb {

void CloseByType(SlotType type, XBHANDLE handle) {
  switch (type) {
    case SlotType::Data:
      XBDDCLOSE(handle);
      break;
    case SlotType::Ndx:
      XBDNCLOSE(handle);
      break;
    case SlotType::Ntx:
      XBDCCLOSE(handle);
      break;
    case SlotType::Idx:
      XBDICLOSE(handle);
      break;
    case SlotType::Mdx:
      XBDMCLOSE(handle);
      break;
    case SlotType::DbtMemo:
      XBDTCLOSE(handle);
      break;
    case SlotType::FptMemo:
      XBDWCLOSE(handle);
      break;
    default:
      // Families whose close is not part of this build: the handle table
      // is freed with the context, and the file layer closes what is left.
      break;
  }
}

}  // namespace kv::xb
