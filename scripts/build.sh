#!/usr/bin/env bash
# Configures and builds one tree. Usage: scripts/build.sh DIR [extra cmake args...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
shift
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
targets=(${TALVO_BUILD_TARGETS:-})
cmake --build "$dir" --parallel "$(nproc)" ${targets[@]:+--target "${targets[@]}"}
