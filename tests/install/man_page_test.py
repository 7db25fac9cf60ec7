"""kvhost's man page renders cleanly and keeps up with the program.

`MANWIDTH=80 man --warnings -l PAGE` must print no warning; and every
subcommand and option that kvhost's usage text names must be in the page's
SYNOPSIS, each option in the synopsis entry of its own subcommand, so that
a subcommand added to kvhost without its page entry fails here.

usage: man_page_test.py KVHOST PAGE
"""

import os
import re
import shutil
import subprocess
import sys

kvhost, page = sys.argv[1:3]
if shutil.which("man") is None:
    sys.exit("man is missing: run bash scripts/install-deps.sh")

env = dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8")
env.pop("MANPAGER", None)
env.pop("PAGER", None)
rendered = subprocess.run(["man", "--warnings", "-l", page], env=env, capture_output=True)
failures = []
if rendered.returncode != 0 or rendered.stderr:
    failures.append("man --warnings: status %d\n%s"
                    % (rendered.returncode, rendered.stderr.decode(errors="replace")))
text = rendered.stdout.decode()
for line in text.splitlines():
    if len(line) > 80:
        failures.append("rendered line wider than 80 columns: %r" % line)

synopsis = re.search(r"^SYNOPSIS\n(.*?)^\S", text, re.M | re.S)
if synopsis is None:
    failures.append("no SYNOPSIS in the rendered page")
# One entry per "kvhost ..." command, its wrapped lines joined.
entries = re.split(r"^\s*kvhost\b", synopsis.group(1) if synopsis else "", flags=re.M)
entries = [" ".join(e.split()) for e in entries if e.strip()]

# kvhost without a subcommand prints its usage and exits with status 2.
usage = subprocess.run([kvhost], capture_output=True)
if usage.returncode != 2:
    failures.append("kvhost without arguments: status %d" % usage.returncode)
usage_text = usage.stderr.decode()
subcommands = []
options = {}
current = None
for line in usage_text.splitlines():
    command = re.match(r"\s+kvhost((?: [a-z][a-z-]*)+)", line)
    heading = re.match(r"options of ([a-z ]+):", line)
    if command:
        subcommands.append(command.group(1).strip())
    elif heading:
        current = heading.group(1).strip()
        options.setdefault(current, [])
    elif current is not None:
        option = re.match(r"\s+(--[a-z-]+)", line)
        if option:
            options[current].append(option.group(1))
if not subcommands or not options:
    sys.exit("could not read kvhost's usage text:\n" + usage_text)

for subcommand in subcommands:
    entry = [e for e in entries if e == subcommand or e.startswith(subcommand + " ")]
    if not entry:
        failures.append("SYNOPSIS lacks 'kvhost %s'" % subcommand)
        continue
    for option in options.get(subcommand, []):
        if not re.search(re.escape(option) + r"\b", entry[0]):
            failures.append("SYNOPSIS of 'kvhost %s' lacks %s" % (subcommand, option))
for subcommand in options:
    if subcommand not in subcommands:
        failures.append("usage names options of an unknown subcommand: %s" % subcommand)

if failures:
    sys.exit("\n".join(failures))
print("%d subcommands, %d options in the page" %
      (len(subcommands), sum(len(v) for v in options.values())))
