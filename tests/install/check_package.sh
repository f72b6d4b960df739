#!/usr/bin/env bash
# Builds the Debian package from a finished build, installs it on this machine with apt,
# runs the installed program on the sample clips, and removes the package again.
# Needs root; CI runs it (scripts/test.sh with CI=true), not every local test run.
# Usage: check_package.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
export DEBIAN_FRONTEND=noninteractive

if dpkg-query -W -f='${Status}' talvo 2>/dev/null | grep -q 'ok installed$'; then
  echo "a talvo package is installed already; not replacing it"
  exit 1
fi
rm -f "$build"/talvo_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/talvo_*.deb)
dpkg-deb -f "${debs[0]}" Package Version Depends Recommends

scratch=$(mktemp -d)
cleanup() {
  apt-get purge -y -qq talvo >/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
apt-get install -y -qq --no-install-recommends "${debs[0]}" >/dev/null

[ "$(command -v talvo)" = /usr/bin/talvo ] || { echo "talvo is not on PATH at /usr/bin"; exit 1; }
talvo --version
bash "$root/scripts/prepare-samples.sh" "$scratch/samples" >/dev/null
# A home of its own: the run reads settings and must not find or leave the user's.
HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_DATA_HOME=$scratch/data \
  talvo --replay "$scratch/samples" --no-ai | tail -n 2
[ -s "$scratch/samples/replay-rules.json" ] || { echo "no replay results"; exit 1; }
echo "installed package: fine"
