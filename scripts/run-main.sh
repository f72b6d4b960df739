#!/usr/bin/env bash
# The main job: install what is needed, build, prepare sample clips from installed
# packages, and replay them through the real pipeline (rule-based cleanup).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh
bash scripts/build.sh build -DTALVO_WERROR=ON
bash scripts/prepare-samples.sh samples
./build/talvo --replay samples --no-ai
