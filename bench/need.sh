#!/usr/bin/env bash
# SPDX-License-Identifier: Zlib
# Installs the Debian package of each peer tool a benchmark compares with,
# when the tool is missing. A COMMAND given as a path is looked for at that
# path only, for tools another program may shadow on PATH.
# Usage: bench/need.sh COMMAND:PACKAGE...
set -euo pipefail
for tool in "$@"; do
  if ! command -v "${tool%%:*}" > /dev/null; then
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends \
      "${tool##*:}" > /dev/null
  fi
done
