#!/usr/bin/python3
"""kvhost mail send and read as a person runs them: an aiosmtpd server on
127.0.0.1 delivers into a Maildir, which kvhost then reads back through a
second profile; Python's own mailbox and email modules check what arrived."""
import email
import email.policy
import mailbox
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

kvhost = sys.argv[1]
work = tempfile.mkdtemp(prefix="kvhost-mail-")
probe = socket.socket()
probe.bind(("127.0.0.1", 0))
port = probe.getsockname()[1]
probe.close()
server = subprocess.Popen([sys.executable, "-m", "aiosmtpd", "-n", "-l", "127.0.0.1:%d" % port,
                           "-c", "aiosmtpd.handlers.Mailbox", work + "/Sent"])
try:
    deadline = time.time() + 20
    while True:
        try:
            socket.create_connection(("127.0.0.1", port), timeout=1).close()
            break
        except OSError:
            if server.poll() is not None or time.time() > deadline:
                sys.exit("aiosmtpd did not start (python3-aiosmtpd missing?)")
            time.sleep(0.05)
    with open(work + "/KVMAPI.INI", "w") as ini:
        ini.write("[Out]\nMaildir=%s/Inbox\nSmtpServer=127.0.0.1\nSmtpPort=%d\n"
                  "Sender=me@example.org\nSenderName=Moi\n[Sent]\nMaildir=%s/Sent\n"
                  % (work, port, work))
    os.makedirs(work + "/Inbox")
    attachment = os.path.join(work, "report.bin")
    with open(attachment, "wb") as f:
        f.write(bytes(range(256)) * 3)
    env = dict(os.environ, KV_WINDIR=work, TMPDIR=work, TZ="UTC")

    sent = subprocess.run([kvhost, "mail", "send", "Out", "--to", "anne@example.net",
                           "--to", "bob@example.com", "--subject", "Café prêt",
                           "--text", "Bonjour\nÀ demain", attachment],
                          env=env, capture_output=True, text=True, errors="replace")
    assert sent.returncode == 0, sent.stderr
    assert "sent to 2 recipient(s) with 1 attachment(s)" in sent.stdout, sent.stdout

    # An independent reader of what the server delivered.
    box = mailbox.Maildir(work + "/Sent", factory=None)
    keys = list(box.keys())
    assert len(keys) == 1, keys
    message = email.message_from_bytes(box.get_bytes(keys[0]), policy=email.policy.default)
    assert message["Subject"] == "Café prêt", message["Subject"]
    assert "anne@example.net" in message["To"] and "bob@example.com" in message["To"]
    parts = list(message.iter_attachments())
    assert len(parts) == 1 and parts[0].get_filename() == "report.bin"
    assert parts[0].get_content() == bytes(range(256)) * 3
    assert "Bonjour" in message.get_body(("plain",)).get_content()

    read = subprocess.run([kvhost, "mail", "read", "Sent"], env=env, capture_output=True,
                          text=True, errors="replace")
    assert read.returncode == 0, read.stderr
    out = read.stdout
    assert "From: Moi <me@example.org>" in out, out
    assert "Subject: Café prêt" in out and "To: bob@example.com" in out, out
    assert "report.bin" in out and "1 message(s)" in out, out
    # Read once: the unread filter finds nothing now.
    again = subprocess.run([kvhost, "mail", "read", "Sent", "--unread"], env=env,
                           capture_output=True, text=True, errors="replace")
    assert "0 message(s)" in again.stdout, again.stdout

    refused = subprocess.run([kvhost, "mail", "read", "Nobody"], env=env, capture_output=True,
                             text=True, errors="replace")
    assert refused.returncode == 1, refused.stderr
finally:
    server.terminate()
    server.wait()
    shutil.rmtree(work, ignore_errors=True)
print("kvhost mail: ok")
