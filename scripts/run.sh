#!/usr/bin/env bash
# Installs what is missing, builds tavimo-view and starts it on FILE (or on its built-in
# sample when no FILE is given). Further arguments go to tavimo-view as they are, for
# example: bash scripts/run.sh photo.jpg --size 1280x800
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

bash "$root/scripts/install-deps.sh"

jobs=$(nproc)
if [ ! -f "$root/build/build.ninja" ]; then
    cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$root/build" -j"$jobs" --target tavimo-view

# Relative file names are taken from where the script was called.
exec "$root/build/hosts/tavimo-view/tavimo-view" "$@"
