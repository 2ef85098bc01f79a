#!/usr/bin/env bash
# Builds Vistrel and starts it from its program folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build/bin
# A new program folder gets a settings file that names the English pack, so a first run reads English.
[ -f vistrel.ini ] || printf '[Config]\nLF=English.lng\n' > vistrel.ini
exec ./vistrel
