#include "comm/command/comm_instance.h"

#include "chart/ext/global_block.h"
#include "comm/command/comm_tables.h"
#include "comm/mail/email_state.h"
#include "comm/mail/mail_session.h"
#include "comm/objects/object_table.h"
#include "comm/serial/port_table.h"
#include "kv/comm_rpc.h"
#include "platform/kernel/memory.h"

namespace kv::comm {
namespace {

void CloseObject(const ListedObject& entry) {
  switch (entry.kind) {
    case ObjectKind::kServer:
      // A server whose socket service cannot end stays alive (bStopServeur
      // keeps it); nothing else can be done for it here.
      bStopServeur(static_cast<clCONNECTED*>(entry.object));
      break;
    case ObjectKind::kConnection:
      DeconnecteLibrairie(static_cast<clCLIENT*>(entry.object));
      break;
    case ObjectKind::kMailSession:
      DestroyMailSession(entry.object);
      break;
  }
}

void* StorageOf(CommInstanceContext& context, uintptr_t index) {
  CommRecord& record = *context.record;
  EmailStorage& e = record.email;
  switch (index) {
    case 0:
      return e.sender;
    case 1:
      return e.senderAddress;
    case 2:
      return e.receiveDate;
    case 3:
      return e.subject;
    case 4:
      return e.attach;
    case 5:
      return &e.attachCount;
    case 6:
      return e.recipients;
    case 7:
      return &e.recipientCount;
    case 8:
      return record.message;
    case 9:
      return &e.out;
    case 10:
      return &e.error;
    default:
      return nullptr;
  }
}

}  // namespace

CommInstanceContext* CreateCommInstance() {
  auto* context =
      static_cast<CommInstanceContext*>(kv::ext::AllocateHostBlock(sizeof(CommInstanceContext)));
  auto* record = static_cast<CommRecord*>(kv::ext::AllocateHostBlock(sizeof(CommRecord)));
  auto* message = static_cast<char*>(kv::ext::AllocateHostBlock(KV_EMAIL_MESSAGE_SIZE));
  if (context == nullptr || record == nullptr || message == nullptr) {
    kv::ext::FreeHostBlock(message);
    kv::ext::FreeHostBlock(record);
    kv::ext::FreeHostBlock(context);
    return nullptr;
  }
  record->networkMarker = 1;
  InitEmailState(*record, message);
  context->record = record;
  InitPortTable(*context);
  return context;
}

bool DestroyCommInstance(CommInstanceContext* context) {
  if (context == nullptr) return true;
  // A stale or foreign address would make us free someone else's memory.
  if (kvp::GlobalHandle(context) == 0) return false;
  for (const ListedObject& entry : RemoveObjectsOf(context)) CloseObject(entry);
  ClosePortTable(*context);
  if (context->record != nullptr) {
    kv::ext::FreeHostBlock(context->record->message);
    kv::ext::FreeHostBlock(context->record);
  }
  kv::ext::FreeHostBlock(context);
  return true;
}

int32_t BindCommVariable(uintptr_t index, const BindVariableBlock* block) {
  if (index >= kVariableCount || block == nullptr || block->descriptor == nullptr) return 0;
  auto* context = static_cast<CommInstanceContext*>(block->instance);
  if (context == nullptr || context->record == nullptr) return 0;
  VariableDescriptor descriptor = VariableTable()[index].descriptor;
  descriptor.storage = StorageOf(*context, index);
  *block->descriptor = descriptor;
  return 1;
}

}  // namespace kv::comm
