#pragma once
#include <memory>

#include "comm/mail/provider/maildir.h"
#include "comm/mail/provider/provider_state.h"

namespace kvmapi {

// Reads the message of `entry` as MAPIReadMail's flags say (envelope only,
// attachments suppressed); a Simple MAPI code.
unsigned ReadHeldMessage(const MaildirEntry& entry, unsigned flags,
                         std::unique_ptr<HeldMessage>& result);

}  // namespace kvmapi
