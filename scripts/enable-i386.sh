#!/usr/bin/env bash
# Adds the i386 architecture to dpkg when it is missing, so that the 32-bit
# Wine (wine32:i386) can be installed for the Windows test run. Idempotent:
# nothing happens when the architecture is there already. The package lists
# are refreshed by install-deps.sh, which runs apt-get update before it
# installs anything.
set -euo pipefail
if [ "$(dpkg --print-architecture)" = i386 ]; then exit 0; fi
if dpkg --print-foreign-architectures | grep -qx i386; then exit 0; fi
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
echo "adding the i386 architecture (for wine32)"
$SUDO dpkg --add-architecture i386
