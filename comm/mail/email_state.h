// The language structure Email in the instance's communications record.
#pragma once
#include <string_view>

#include "kv/comm_instance.h"
#include "kv/simple_mapi.h"

namespace kv::comm {

// At creation: EnDehors 1, everything else zero; `message` is the
// instance's 32000-byte block for Email.Message.
void InitEmailState(CommRecord& record, char* message);

// Empties every member but Email.EnDehors and Email.Erreur, and the
// message text.
void ClearEmail(CommRecord& record);

// Fills the members from a message read, each text cut to its member, at
// most 20 recipients and 10 attachments.
void FillEmail(CommRecord& record, const MapiMessage& message);

// The part of an address after its first ':' ("SMTP:a@b" -> "a@b"); the
// whole text when it has none.
std::string_view AddressPart(std::string_view address);

// Closes every mail session the instance opened (its destruction).
void CloseMailSessions(void* instance);

}  // namespace kv::comm
