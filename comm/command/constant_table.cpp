// The 10 language constants of kvcomm: network kinds, server kinds and the
// styles of a remote message box.
#include <iterator>

#include "comm/command/comm_tables.h"

namespace kv::comm {
namespace {

constexpr ConstantEntry Constant(const char* french, const char* english, int32_t value) {
  return ConstantEntry{french, english, kValueInt, value};
}

const ConstantEntry kConstants[] = {
    Constant("INTERNET", "INTERNET", -1),
    Constant("INTRANET", "INTRANET", 0),
    Constant("ServeurFTP", "FTPServer", 1),
    Constant("ServeurRPC", "RPCServer", 0),
    Constant("netInfo", "netInfo", 0),
    Constant("netOuiNon", "netYesNo", 4),
    Constant("netConfirmer", "netConfirm", 3),
    Constant("netOkAnnuler", "netOkCancel", 1),
    Constant("netR\xe9"
             "essayerIgnorer",
             "netRetryIgnore", 2),
    Constant("netR\xe9"
             "essayerAnnuler",
             "netRetryCancel", 5),
};
static_assert(std::size(kConstants) == kConstantCount);

}  // namespace

std::span<const ConstantEntry> ConstantTable() {
  return kConstants;
}

}  // namespace kv::comm
