#!/usr/bin/env bash
# Static analysis with the checks of .clang-tidy; any finding fails it.
# Usage: scripts/tidy.sh DIR                  every source of the tree
#        scripts/tidy.sh DIR --changed [REF]  the sources changed since the merge base with REF
#                                             (default: origin/main, else main; on that branch
#                                             itself, its last commit), and the sources that
#                                             include a changed header
#        scripts/tidy.sh DIR FILE...          just these sources
# DIR is a configured and built tree: its compile_commands.json, the files Qt generates, and
# Ninja's record of which sources include which headers.
# Our own headers are checked through the sources that include them.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath "$1")
shift
[ -f "$dir/compile_commands.json" ] || { echo "no $dir/compile_commands.json: configure and build $1 first"; exit 1; }

# Our sources and headers only: not what Qt generates into the build tree, not system headers.
ours="^$root/(core|app|tests|bench|packaging)/"

# Prints the sources of DIR that are, or include, one of the files listed in file $1.
sources_touching() {
  ninja -C "$dir" -t deps | python3 -c '
import os, sys
build, changed = sys.argv[1], {os.path.realpath(line.strip()) for line in open(sys.argv[2]) if line.strip()}
found, source = set(), None
for line in sys.stdin:
    if not line.startswith(" "):
        source = None
        continue
    path = os.path.realpath(os.path.join(build, line.strip()))
    source = source or path
    if path in changed:
        found.add(source)
print("\n".join(sorted(found)))' "$dir" "$1"
}

files=()
if [ "${1:-}" = --changed ]; then
  ref=${2:-}
  if [ -z "$ref" ]; then
    for candidate in origin/main main HEAD~1; do
      git -C "$root" rev-parse -q --verify "$candidate" >/dev/null && { ref=$candidate; break; }
    done
  fi
  base=
  [ -n "$ref" ] && base=$(git -C "$root" merge-base HEAD "$ref" 2>/dev/null)
  # On the main branch itself: what its last commit changed.
  if [ "$base" = "$(git -C "$root" rev-parse HEAD)" ]; then
    base=$(git -C "$root" rev-parse -q --verify HEAD~1)
  fi
  if [ -z "$base" ]; then
    # A single-commit or shallow clone has nothing to compare with.
    echo "clang-tidy: nothing to compare with; checking every source"
  else
    changed=$(mktemp)
    git -C "$root" diff --name-only --diff-filter=d "$base" -- core app tests bench packaging | sed "s|^|$root/|" >"$changed"
    mapfile -t files < <(sources_touching "$changed")
    rm -f "$changed"
    echo "clang-tidy: ${#files[@]} sources changed since $(git -C "$root" rev-parse --short "$base")"
    [ ${#files[@]} -gt 0 ] || exit 0
  fi
else
  files=("$@")
fi

patterns=()
for file in "${files[@]}"; do
  file=$(realpath -m "$file")
  [[ $file =~ $ours ]] && patterns+=("^$file\$")
done
if [ ${#patterns[@]} -eq 0 ]; then
  [ ${#files[@]} -eq 0 ] || exit 0  # sources were named, but none of them is ours
  patterns=("$ours")
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# GCC's -fcoroutines is unknown to clang, which has coroutines in C++20 anyway.
sed 's/ -fcoroutines / /g' "$dir/compile_commands.json" >"$work/compile_commands.json"
log=$work/log
nice run-clang-tidy -quiet -j "$(nproc)" -p "$work" -header-filter="$ours" "${patterns[@]}" >"$log" 2>&1
status=$?
# Only the findings and the reasons a file could not be checked, without the command lines.
grep -E '(warning|error): ' "$log" | sed -E 's/\x1b\[[0-9;]*m//g' | sort -u
if [ $status -ne 0 ]; then
  grep -qE '(warning|error): ' "$log" || tail -n 20 "$log"
  echo "clang-tidy found problems (checks and reasons: .clang-tidy)"
  exit 1
fi
