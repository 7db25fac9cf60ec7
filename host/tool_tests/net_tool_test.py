#!/usr/bin/python3
"""kvhost net echo-server, send and scan as a person runs them, on loopback.

The echo server is started here on 127.0.0.1 (pinned with --address) on a
port the kernel picked, and stopped at the end whatever happened.
"""
import signal
import socket
import subprocess
import sys

kvhost = sys.argv[1]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def run(*args):
    done = subprocess.run([kvhost, "net", *args], capture_output=True, text=True, timeout=60)
    return done.returncode, done.stdout + done.stderr


def start_server(port, *extra):
    server = subprocess.Popen(
        [kvhost, "net", "echo-server", "--port", str(port), "--address", "127.0.0.1", *extra],
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    banner = server.stdout.readline()
    if "echo server on 127.0.0.1 port %d" % port not in banner:
        server.kill()
        server.wait()
        raise SystemExit("the echo server did not start: %r" % banner)
    return server


def stop_server(server):
    server.send_signal(signal.SIGTERM)
    try:
        rest, _ = server.communicate(timeout=20)
    except subprocess.TimeoutExpired:
        server.kill()
        server.wait()
        return None, ""
    return server.returncode, rest


plain_port, scrambled_port = free_port(), free_port()
servers = []
try:
    servers.append(start_server(plain_port))
    servers.append(start_server(scrambled_port, "--scrambled"))

    code, out = run("send", "127.0.0.1:%d" % plain_port, "Grüße, monde")
    check(code == 0 and "reply: Grüße, monde" in out, "plain send: %d %r" % (code, out))
    code, out = run("send", "127.0.0.1:%d" % scrambled_port, "brouillé", "--scrambled")
    check(code == 0 and "reply: brouillé" in out, "scrambled send: %d %r" % (code, out))
    # A plain client against a scrambled server: the server reads a garbled
    # length and drops the connection; the client reports the failure.
    code, out = run("send", "127.0.0.1:%d" % scrambled_port, "x" * 40, "--timeout", "500")
    check(code == 1 and "exchange failed" in out, "mode mismatch: %d %r" % (code, out))

    code, out = run("scan", "127.0.0.[1-3]", "--port", str(plain_port), "--timeout", "0")
    check(code == 0 and "answered: 127.0.0.1 port %d" % plain_port in out,
          "scan: %d %r" % (code, out))
    code, out = run("scan", "127.0.0.[2-6]", "--port", str(plain_port), "--timeout", "0")
    check(code == 1 and "10061 Connexion refusée" in out, "empty scan: %d %r" % (code, out))
    code, out = run("scan", "127.0.0.[1-300]", "--port", str(plain_port))
    check(code == 1 and "10022" in out, "bad range: %d %r" % (code, out))
    code, out = run("send", "127.0.0.1:%d" % free_port(), "nobody", "--timeout", "0")
    check(code == 1 and "10061" in out, "refused send: %d %r" % (code, out))
    code, out = run("scan", "127.0.0.1", "--port", "0")
    check(code == 2 and "usage:" in out, "usage: %d %r" % (code, out))
finally:
    results = [stop_server(server) for server in servers]

for (code, rest), name in zip(results, ("plain", "scrambled")):
    check(code == 0 and "stopped" in rest, "%s server stop: %r %r" % (name, code, rest))
check("echoed" in results[0][1], "the plain server logged no echo: %r" % results[0][1])

if failures:
    print("%d failure(s)" % len(failures))
    sys.exit(1)
print("net tool: all checks passed")
