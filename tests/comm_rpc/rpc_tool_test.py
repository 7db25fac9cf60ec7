#!/usr/bin/python3
"""kvhost rpc serve, call, put and get as a person runs them, on loopback.

A call server and a file server are started here in a temporary directory
(their current directory, with its KVRPCSRV.INI), pinned to 127.0.0.1 on
ports the kernel picked, and stopped at the end whatever happened.

usage: rpc_tool_test.py KVHOST TEST_MODULE
"""
import filecmp
import os
import signal
import socket
import subprocess
import sys
import tempfile

kvhost, module = sys.argv[1:3]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL: " + message)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_server(directory, port, kind):
    server = subprocess.Popen(
        [kvhost, "rpc", "serve", "--port", str(port), "--kind", kind, "--address", "127.0.0.1"],
        cwd=directory, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, encoding="latin-1")
    banner = server.stdout.readline()
    if "%s server on 127.0.0.1 port %d" % (kind, port) not in banner:
        server.kill()
        server.wait()
        raise SystemExit("the %s server did not start: %r" % (kind, banner))
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


def rpc(*args, cwd=None):
    done = subprocess.run([kvhost, "rpc", *args], capture_output=True, timeout=120, cwd=cwd)
    return done.returncode, done.stdout.decode("latin-1"), done.stderr.decode("latin-1")


with tempfile.TemporaryDirectory(prefix="kvrpc-tool-") as work:
    with open(os.path.join(work, "KVRPCSRV.INI"), "w") as ini:
        ini.write("[Passwords]\nalice=Secret\n")
    call_port, file_port = free_port(), free_port()
    servers = []
    try:
        servers.append(start_server(work, call_port, "call"))
        servers.append(start_server(work, file_port, "file"))
        login = ["--user", "alice", "--password", "secret"]
        target = "127.0.0.1:%d" % call_port

        code, out, err = rpc("call", target, *login, module, "EchoI32", "i32:-5", "--returns", "i32")
        check(code == 0 and out.splitlines() == ["status 0", "result -5"],
              "EchoI32: %d %r %r" % (code, out, err))
        code, out, _ = rpc("call", target, *login, module, "EchoF64", "f64:2.5", "--returns", "f64")
        check(out.splitlines() == ["status 0", "result 2.5"], "EchoF64: %r" % out)
        code, out, _ = rpc("call", target, *login, module, "ReverseBytes", "str:hello", "u32:5")
        check(code == 0 and out.splitlines() == ["status 0", "text olleh"], "ReverseBytes: %r" % out)
        code, out, err = rpc("call", target, *login, module, "ReadNull", "--returns", "i32")
        check(code == 1 and out.splitlines() == ["status 6"] and "Access violation" in err,
              "ReadNull: %d %r %r" % (code, out, err))
        code, out, err = rpc("call", target, "--user", "alice", "--password", "wrong", module,
                             "EchoI32", "i32:1", "--returns", "i32")
        check(code == 1 and "status -1" in out and "mot de passe incorrect" in err,
              "wrong password: %d %r %r" % (code, out, err))
        code, _, err = rpc("call", target, *login, module, "EchoI32", "x32:1")
        check(code == 2, "an unknown argument type is a usage error: %d" % code)
        # The same call through the file server's command loop.
        code, out, _ = rpc("call", "127.0.0.1:%d" % file_port, *login, module, "EchoU16",
                           "u16:65535", "--returns", "u16", "--kind", "file")
        check(out.splitlines() == ["status 0", "result 65535"], "EchoU16 via file: %r" % out)

        source = os.path.join(work, "source.bin")
        with open(source, "wb") as f:
            f.write(os.urandom(3 << 20))
        files = "127.0.0.1:%d" % file_port
        uploaded = os.path.join(work, "uploaded.bin")
        code, out, err = rpc("put", files, *login, source, uploaded)
        check(code == 0 and os.path.exists(uploaded) and filecmp.cmp(source, uploaded, False),
              "put: %d %r %r" % (code, out, err))
        check("100%" in err, "put draws a progress bar: %r" % err[-200:])
        fetched = os.path.join(work, "fetched.bin")
        code, out, err = rpc("get", files, *login, uploaded, fetched)
        check(code == 0 and filecmp.cmp(source, fetched, False), "get: %d %r" % (code, err))
        code, _, err = rpc("get", files, *login, os.path.join(work, "absent"),
                           os.path.join(work, "nothing"))
        check(code == 1 and not os.path.exists(os.path.join(work, "nothing")),
              "get of a missing file exits 1: %d" % code)
        code, _, _ = rpc("put", files, *login, os.path.join(work, "absent"),
                         os.path.join(work, "none"))
        check(code == 1 and not os.path.exists(os.path.join(work, "none")),
              "put of a missing file exits 1 and makes nothing: %d" % code)
    finally:
        for server in servers:
            code, rest = stop_server(server)
            check(code == 0 and "stopped" in rest, "server stop: %r %r" % (code, rest))

if failures:
    sys.exit("%d failures" % len(failures))
print("kvhost rpc: all checks passed")
