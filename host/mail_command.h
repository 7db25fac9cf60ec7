// kvhost mail: the messages of a profile's mailbox read through kvcomm's
// mail functions, and a message sent with attachments.
#pragma once

namespace kvhost {

const char* MailUsage();
int MailCommand(int argc, char** argv);

}  // namespace kvhost
