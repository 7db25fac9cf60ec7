#!/usr/bin/python3
"""kvhost serial list and open as a person runs them: a socat pseudo-terminal
pair stands in for the line, mapped to COM3 in a temporary win.ini; bytes
written on the far end must be printed by kvhost, and the text kvhost sends
must come out of the far end."""
import os
import select
import shutil
import subprocess
import sys
import tempfile
import time

kvhost = sys.argv[1]
if shutil.which("socat") is None:
    sys.exit("socat is missing: run scripts/install-deps.sh")

work = tempfile.mkdtemp(prefix="kvhost-serial-")
socat = subprocess.Popen(["socat", "pty,raw,echo=0,link=%s/a" % work,
                          "pty,raw,echo=0,link=%s/b" % work])
try:
    deadline = time.time() + 10
    while not (os.path.exists(work + "/a") and os.path.exists(work + "/b")):
        if time.time() > deadline:
            sys.exit("socat made no terminals")
        time.sleep(0.02)
    with open(work + "/win.ini", "w") as ini:
        ini.write("[Ports]\nCOM3.Device=%s/a\nCOM3:=9600,n,8,1\n" % work)
    env = dict(os.environ, KV_WINDIR=work, KV_COMM_CONFIGURED_ONLY="1")

    listing = subprocess.run([kvhost, "serial", "list"], env=env, capture_output=True,
                             text=True, check=True).stdout
    assert "COM3   %s/a" % work in listing and "9600,n,8,1" in listing, listing
    assert "COM1   (no device)" in listing, listing  # never the console in tests

    far = os.open(work + "/b", os.O_RDWR | os.O_NOCTTY)
    run = subprocess.Popen([kvhost, "serial", "open", "COM3", "--settings", "19200,e,7,1",
                            "--send", "ATZ\r", "--seconds", "2"], env=env,
                           stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    got = b""
    deadline = time.time() + 5
    while len(got) < 4 and time.time() < deadline:
        if select.select([far], [], [], 0.1)[0]:
            got += os.read(far, 64)
    assert got == b"ATZ\r", got
    payload = bytes(range(1, 256)) + b"\x00end"
    os.write(far, payload)
    out, err = run.communicate(timeout=10)
    os.close(far)
    assert run.returncode == 0, err
    assert out == payload, out

    bad = subprocess.run([kvhost, "serial", "open", "COM5", "--seconds", "0.1"], env=env,
                         capture_output=True, text=True)
    assert bad.returncode == 1 and "cannot open COM5" in bad.stderr, bad.stderr
    usage = subprocess.run([kvhost, "serial", "open", "AUX1"], env=env, capture_output=True,
                           text=True)
    assert usage.returncode == 2, usage.stderr
finally:
    socat.terminate()
    socat.wait()
    shutil.rmtree(work, ignore_errors=True)
print("kvhost serial: ok")
