// The 11 language variables of kvcomm: the members of the structure Email.
// Their sizes are those of the instance's storage (kv/comm_instance.h).
#include <iterator>

#include "comm/command/comm_tables.h"
#include "kv/comm_instance.h"

namespace kv::comm {
namespace {

constexpr VariableEntry Variable(const char* french, const char* english, uint8_t type,
                                 uint16_t size, uint16_t count) {
  return VariableEntry{french, english, VariableDescriptor{nullptr, type, size, count, 0}};
}

const VariableEntry kVariables[] = {
    Variable("Email.Exp\xe9"
             "diteur",
             "Email.Sender", kValueText, KV_EMAIL_NAME_SIZE, 1),
    Variable("Email.AdresseExp\xe9"
             "diteur",
             "Email.SenderAddress", kValueText, KV_EMAIL_NAME_SIZE, 1),
    Variable("Email.DateR\xe9"
             "ception",
             "Email.ReceiveDate", kValueText, KV_EMAIL_DATE_SIZE, 1),
    Variable("Email.Sujet", "Email.Subject", kValueText, KV_EMAIL_NAME_SIZE, 1),
    Variable("Email.Attache", "Email.Attach", kValueText, KV_EMAIL_ATTACH_SIZE,
             KV_EMAIL_ATTACH_COUNT),
    Variable("Email.NbAttache", "Email.NbAttach", kValueInt, 4, 1),
    Variable("Email.Destinataire", "Email.Destiner", kValueText, KV_EMAIL_NAME_SIZE,
             KV_EMAIL_RECIPIENT_COUNT),
    Variable("Email.NbDestinataire", "Email.NbDestiner", kValueInt, 4, 1),
    Variable("Email.Message", "Email.Message", kValueText, KV_EMAIL_MESSAGE_SIZE, 1),
    Variable("Email.EnDehors", "Email.Out", kValueInt, 4, 1),
    Variable("Email.Erreur", "Email.Error", kValueInt, 4, 1),
};
static_assert(std::size(kVariables) == kVariableCount);

}  // namespace

std::span<const VariableEntry> VariableTable() {
  return kVariables;
}

}  // namespace kv::comm
