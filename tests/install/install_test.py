"""The installed copy as a developer outside the tree uses it.

Installs the build tree into a temporary prefix, checks what landed there
(SONAMEs, no run paths, headers, pkg-config files, the CMake package, the
man page, the docs), builds a C program with `pkg-config --cflags --libs
kvxbase` and a CMake project with find_package(kv), and runs both on the
installed sample data file; the record they read is compared with what
python3-dbfread reads from the same file. Then the development links
(libkvxbase.so, ...) are removed, as on a system with only the runtime
files, and the installed kvhost must still load every library through
their runtime names and read the samples installed beside it.

usage: install_test.py BUILD_DIR SOURCE_DIR LIBDIR LIBRARIES
  LIBDIR     the library folder relative to the prefix (lib, ...)
  LIBRARIES  the installed libraries, separated by commas
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile

import dbfread

build_dir, source_dir, libdir, libraries = sys.argv[1:5]
libraries = [name for name in libraries.split(",") if name]
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
    return condition


def run(command, env=None, cwd=None):
    result = subprocess.run(command, env=env, cwd=cwd, capture_output=True)
    if result.returncode != 0:
        sys.exit(
            "failed (%d): %s\n%s%s"
            % (
                result.returncode,
                " ".join(command),
                result.stdout.decode(errors="replace"),
                result.stderr.decode(errors="replace"),
            )
        )
    return result.stdout


def require_tools(*tools):
    for tool in tools:
        if shutil.which(tool) is None:
            sys.exit("%s is missing: run bash scripts/install-deps.sh" % tool)


def elf_dynamic(path):
    return run(["readelf", "-d", path]).decode()


def expected_record(dbf, record, field):
    """COUNT|TEXT as python3-dbfread reads them (texts as stored, cp1252)."""
    table = dbfread.DBF(dbf, encoding="cp1252", load=True)
    value = table.records[record - 1][field]
    return "%d|%s" % (table.header.numrecords, value)


def our_record(output):
    count, _, text = output.decode("cp1252").rstrip("\n").partition("|")
    return "%s|%s" % (count, text.rstrip(" "))


require_tools("cmake", "pkg-config", "cc", "readelf", "ninja")

with tempfile.TemporaryDirectory(prefix="kv-install-") as temp:
    prefix = os.path.join(temp, "prefix")
    env = dict(os.environ)
    env.pop("DESTDIR", None)
    run(["cmake", "--install", build_dir, "--prefix", prefix], env=env)
    lib = os.path.join(prefix, libdir)

    # The libraries: real file, runtime link, development link, SONAME.
    for name in libraries:
        base = os.path.join(lib, "lib%s.so" % name)
        if not check(os.path.islink(base + ".1"), "%s.1 is not a link" % base):
            continue
        real = os.path.realpath(base + ".1")
        check(re.fullmatch(r"lib%s\.so\.1\.\d+\.\d+" % name, os.path.basename(real)) is not None,
              "%s.1 points at %s" % (base, real))
        check(os.path.realpath(base) == real, "%s does not lead to %s" % (base, real))
        check("Library soname: [lib%s.so.1]" % name in elf_dynamic(real), "%s: wrong SONAME" % real)
        pc = os.path.join(lib, "pkgconfig", "%s.pc" % name)
        check(os.path.isfile(pc), "%s is missing" % pc)

    # No run path in any installed binary: the loader's path finds them.
    kvhost = os.path.join(prefix, "bin", "kvhost")
    for path in [kvhost] + [os.path.realpath(os.path.join(lib, "lib%s.so" % n)) for n in libraries]:
        dynamic = elf_dynamic(path)
        check("RPATH" not in dynamic and "RUNPATH" not in dynamic, "%s keeps a run path" % path)

    for relative in ["include/kv/xbase.h", "include/kv/chart.h", "include/kv/export.h",
                     "share/man/man1/kvhost.1.gz", "share/doc/kv/README.md",
                     "share/doc/kv/copyright", "share/doc/kv/changelog.gz",
                     "share/kv/samples/customers.dbf",
                     os.path.join(libdir, "cmake/kv/kvConfig.cmake"),
                     os.path.join(libdir, "cmake/kv/kvConfigVersion.cmake")]:
        check(os.path.isfile(os.path.join(prefix, relative)), "%s is missing" % relative)
    for header in os.listdir(os.path.join(source_dir, "include", "kv")):
        check(os.path.isfile(os.path.join(prefix, "include", "kv", header)),
              "include/kv/%s is not installed" % header)

    sample = os.path.join(prefix, "share/kv/samples/customers.dbf")
    run_env = dict(env, LD_LIBRARY_PATH=lib)

    # A C program through pkg-config. The loader path also lets the linker
    # find libkvplatform.so.1, which libkvxbase.so.1 needs.
    pc_env = dict(run_env, PKG_CONFIG_PATH=os.path.join(lib, "pkgconfig"))
    run(["pkg-config", "--validate", "kvxbase"], env=pc_env)
    flags = run(["pkg-config", "--cflags", "--libs", "kvxbase"], env=pc_env).decode().split()
    check("-I%s/include" % prefix in flags and "-L%s" % lib in flags,
          "pkg-config flags outside the prefix: %s" % flags)
    c_program = os.path.join(temp, "read_record")
    run(["cc", "-std=c99", "-Wall", "-Werror",
         os.path.join(source_dir, "tests/install/consumer/read_record.c"), "-o", c_program]
        + flags, env=pc_env)

    # A CMake project through find_package(kv).
    cmake_build = os.path.join(temp, "cmake-consumer")
    run(["cmake", "-S", os.path.join(source_dir, "tests/install/cmake_consumer"), "-B", cmake_build,
         "-G", "Ninja", "-DCMAKE_PREFIX_PATH=" + prefix, "-DCMAKE_CXX_FLAGS=-Wall -Werror"],
        env=run_env)
    with open(os.path.join(cmake_build, "CMakeCache.txt")) as cache:
        kv_dir = re.search(r"^kv_DIR:PATH=(.*)$", cache.read(), re.M)
    check(kv_dir is not None and kv_dir.group(1).startswith(prefix),
          "find_package(kv) found %s" % (kv_dir.group(1) if kv_dir else "nothing"))
    run(["cmake", "--build", cmake_build], env=run_env)
    cmake_program = os.path.join(cmake_build, "read_record_cmake")

    # Both read a record with a non-ASCII name and the first one.
    for record in (4, 1):
        expected = expected_record(sample, record, "NAME")
        for program in (c_program, cmake_program):
            got = our_record(run([program, sample, str(record), "NAME"], env=run_env))
            check(got == expected, "%s, record %d: %r, python3-dbfread %r"
                  % (os.path.basename(program), record, got, expected))

    # A system with the runtime files only: no development links.
    for name in libraries:
        os.unlink(os.path.join(lib, "lib%s.so" % name))
    # The installed samples, not the source tree's: the first name changed.
    original = expected_record(sample, 1, "NAME").partition("|")[2]
    with open(sample, "rb") as f:
        data = f.read()
    changed = "Z" + original[1:]
    check(data.count(original.encode("cp1252")) == 1, "the sample's first name is not unique")
    with open(sample, "wb") as f:
        f.write(data.replace(original.encode("cp1252"), changed.encode("cp1252")))
    demo = run([kvhost, "xbase", "demo"], env=run_env).decode("utf-8")
    check(changed in demo, "kvhost xbase demo did not read the installed samples")
    chart = run([kvhost, "chart", "demo"], env=run_env).decode("utf-8")
    check("chart SALES" in chart, "kvhost chart demo printed no chart")

if failures:
    sys.exit("\n".join(failures))
print("installed copy: %d libraries, both consumers and kvhost checked" % len(libraries))
