#!/usr/bin/env bash
# The main job: install what is needed, build, and run the program.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh build -DTALVO_WERROR=ON
