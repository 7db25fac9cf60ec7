"""Reads every message of a Maildir with Python's mailbox and email modules
as a program would: sender, recipients, date, subject (decoded), the text
part decoded and the attachments' bytes, in delivery (name) order; marks
each read by moving it from new/ to cur/ with the 'S' flag, as our reading
does. Prints the count. (The compat32 policy: the faster of the email
module's two parsers.)"""
import email
import email.header
import mailbox
import os
import sys

folder = sys.argv[1]
box = mailbox.Maildir(folder, factory=None, create=False)
count = 0
for key in sorted(box.keys()):
    message = email.message_from_bytes(box.get_bytes(key))
    fields = [str(email.header.make_header(email.header.decode_header(message.get(name, ""))))
              for name in ("From", "To", "Date", "Subject")]
    text = None
    attachments = []
    for part in message.walk():
        if part.is_multipart():
            continue
        payload = part.get_payload(decode=True)
        if part.get_filename() is None and part.get_content_type() == "text/plain" and text is None:
            text = payload.decode(part.get_content_charset() or "latin-1", "replace")
        elif part.get_filename() is not None:
            attachments.append(payload)
    fresh = os.path.join(folder, "new", key)
    if os.path.exists(fresh):
        os.rename(fresh, os.path.join(folder, "cur", key + ":2,S"))
    count += 1
print(count)
