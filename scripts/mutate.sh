#!/usr/bin/env bash
# Mutation testing: makes one small deliberate fault at a time in the sources, rebuilds the
# test program that ought to notice it, runs it, and reports whether it did. A developer's
# report on how sharp the tests are, not a gate: it always exits 0.
#
# Usage: scripts/mutate.sh [--build DIR] [LIST...]
#   DIR   build tree (default: build); configured here when it has no build.ninja yet
#   LIST  mutation lists (default: scripts/mutations/*.tsv)
# Environment: MUTATE_TIMEOUT (seconds per test run, default 300), MUTATE_JOBS (default 2).
#
# A list holds one mutation per line, six tab-separated columns:
#   id  test-target  source-file  find  replace  description
# `find` is literal text (not a pattern) that must occur exactly once in the source file,
# which is named relative to the repository root; `replace` takes its place and may be
# empty. In both columns \n stands for a line feed, \t for a tab and \\ for a backslash.
# Empty lines and lines starting with # are skipped.
#
# Each target is first built and run unmutated; when that fails (twice), its mutations are
# skipped, since a failure would prove nothing. A failed run is always repeated once.
# Per mutation the result is one of:
#   killed        the test program failed
#   timeout       it ran past MUTATE_TIMEOUT (counted as killed)
#   build-error   the mutated source does not build (counted as killed, but it is not a
#                 real program: prefer mutations that compile)
#   survived      the tests passed with the fault in place
#   flaky         the test program failed once, then passed on a second run: the failure
#                 says more about the test than about the mutation
#   no-match      the find text is not in the file (or the file is missing)
#   ambiguous     the find text occurs more than once
#   baseline-fail the target fails without any mutation
# Build and test output goes to DIR/mutations/. The source file is restored after every
# mutation, also on Ctrl-C; after a hard kill, `git checkout -- FILE` puts it back.
set -uo pipefail
export LC_ALL=C
shopt -u patsub_replacement 2>/dev/null || true

root=$(cd "$(dirname "$0")/.." && pwd)
dir=build
lists=()
while [ $# -gt 0 ]; do
  case $1 in
    --build) dir=${2:?--build needs a directory}; shift 2 ;;
    -h|--help) sed -n '2,/^set -uo/p' "$0" | sed '$d; s/^# \{0,1\}//'; exit 0 ;;
    *) lists+=("$(realpath -m "$1")"); shift ;;
  esac
done
dir=$(realpath -m "$dir")
cd "$root" || exit 0
[ ${#lists[@]} -gt 0 ] || lists=("$root"/scripts/mutations/*.tsv)
timeout_s=${MUTATE_TIMEOUT:-300}
jobs=${MUTATE_JOBS:-2}
logs=$dir/mutations

# ---- restoring the file under mutation, whatever happens -------------------------------

backup=$(mktemp)
mutated=""
testing=""
restore() {
  # Written in place rather than copied back with its old time stamp, so the build tool
  # sees the file as newer than the mutated objects and rebuilds them.
  if [ -n "$mutated" ]; then cat "$backup" >"$mutated"; mutated=""; fi
}
interrupted() {
  [ -n "$testing" ] && kill "$testing" 2>/dev/null
  echo "interrupted; the sources are restored"
  exit 130
}
trap 'restore; rm -f "$backup"' EXIT
trap interrupted INT TERM

# ---- reading the lists --------------------------------------------------------------

# unescape VAR TEXT: VAR = TEXT with \n, \t and \\ turned into the characters they name.
unescape() {
  local s=${2//'\\'/$'\x01'}
  s=${s//'\n'/$'\n'}
  s=${s//'\t'/$'\t'}
  printf -v "$1" '%s' "${s//$'\x01'/'\'}"
}

# Rows as parallel arrays. `read` with a tab in IFS would merge empty columns, so the
# columns are cut by hand.
ids=() targets=() files=() finds=() replaces=() descriptions=()
for list in "${lists[@]}"; do
  [ -f "$list" ] || { echo "no such list: $list"; continue; }
  while IFS= read -r line || [ -n "$line" ]; do
    [[ -z $line || $line == '#'* ]] && continue
    cols=()
    while [[ $line == *$'\t'* ]]; do cols+=("${line%%$'\t'*}"); line=${line#*$'\t'}; done
    cols+=("$line")
    if [ ${#cols[@]} -ne 6 ]; then
      echo "skipped, not six columns: ${list#"$root"/}: ${cols[0]}"
      continue
    fi
    ids+=("${cols[0]}") targets+=("${cols[1]}") files+=("${cols[2]}") descriptions+=("${cols[5]}")
    unescape find "${cols[3]}"; finds+=("$find")
    unescape replace "${cols[4]}"; replaces+=("$replace")
  done <"$list"
done
[ ${#ids[@]} -gt 0 ] || { echo "no mutations listed"; exit 0; }

# ---- building and running ------------------------------------------------------------

if [ ! -f "$dir/build.ninja" ]; then
  launcher=()
  command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALVO_WERROR=ON \
    "${launcher[@]}" >/dev/null || { echo "configure failed"; exit 0; }
fi
mkdir -p "$logs"

# run_target TARGET LOG: builds and runs one test program; sets `ran` to passed, failed,
# timeout or build-error. No command substitution around it: the shell must wait for the
# build and the test itself, so that Ctrl-C reaches the trap at once.
run_target() {
  local target=$1 log=$2 binary status
  if ! cmake --build "$dir" --target "$target" -j "$jobs" >"$log.build" 2>&1; then
    ran=build-error; return
  fi
  binary=$(find "$dir" -type f -name "$target" -perm -u+x -not -path '*/CMakeFiles/*' | head -n 1)
  [ -n "$binary" ] || { echo "no program $target" >>"$log.build"; ran=build-error; return; }
  # From the program's own folder, as the test runner starts it. In the background and
  # waited for, because a trap only interrupts `wait`, not a command in the foreground.
  (cd "$(dirname "$binary")" && exec timeout -k 10 "$timeout_s" "$binary") >"$log.test" 2>&1 &
  testing=$!
  wait "$testing"
  status=$?
  testing=""
  case $status in
    0) ran=passed ;;
    124|137) ran=timeout ;;
    *) ran=failed ;;
  esac
}

# outcome TARGET LOG: as run_target, but a failure only counts when it repeats; one that
# does not is reported as flaky. Sets `verdict`.
outcome() {
  run_target "$1" "$2"
  verdict=$ran
  [ "$ran" = failed ] || return
  run_target "$1" "$2.again"
  case $ran in
    failed|timeout) verdict=failed ;;
    *) verdict=flaky ;;
  esac
}

# occurrences TEXT FIND: how often FIND occurs in TEXT.
occurrences() {
  [ -n "$2" ] || { echo 0; return; }
  local rest=${1//"$2"/}
  echo $(( (${#1} - ${#rest}) / ${#2} ))
}

started=$SECONDS
declare -A baseline
for target in $(printf '%s\n' "${targets[@]}" | sort -u); do
  outcome "$target" "$logs/baseline-$target"
  result=$verdict
  [ "$result" = passed ] || echo "baseline: $target $result (see $logs/baseline-$target.*)"
  [ "$result" = flaky ] && result=passed
  baseline[$target]=$result
done

results=()
touched=()
for i in "${!ids[@]}"; do
  id=${ids[$i]} target=${targets[$i]} file=${files[$i]}
  if [ "${baseline[$target]}" != passed ]; then
    result=baseline-fail
  elif [ ! -f "$file" ]; then
    result=no-match
  else
    content=$(cat -- "$file"; printf x)
    content=${content%x}
    count=$(occurrences "$content" "${finds[$i]}")
    if [ "$count" -eq 0 ]; then
      result=no-match
    elif [ "$count" -gt 1 ]; then
      result=ambiguous
    else
      cp -- "$file" "$backup"
      mutated=$file
      printf '%s' "${content/"${finds[$i]}"/"${replaces[$i]}"}" >"$file"
      outcome "$target" "$logs/$id"
      result=$verdict
      case $result in
        passed) result=survived ;;
        failed) result=killed ;;
      esac
      restore
      touched+=("$target")
    fi
  fi
  results+=("$result")
  printf '%-34s %-28s %s\n' "$id" "$target" "$result"
done

# The last restores left objects built from mutated sources; bring them back in line.
if [ ${#touched[@]} -gt 0 ]; then
  cmake --build "$dir" --target $(printf '%s\n' "${touched[@]}" | sort -u) -j "$jobs" \
    >"$logs/rebuild.log" 2>&1 || echo "rebuilding the touched targets failed: see $logs/rebuild.log"
fi

# ---- the report -----------------------------------------------------------------------

tally() { local n=0 r; for r in "${results[@]}"; do [ "$r" = "$1" ] && n=$((n + 1)); done; echo $n; }
killed=$(tally killed) timedout=$(tally timeout) broken=$(tally build-error)
echo
echo "${#ids[@]} mutations in $(( (SECONDS - started) / 60 )) min:" \
  "killed $((killed + timedout)) (of which timeout $timedout)," \
  "build-error $broken, survived $(tally survived), flaky $(tally flaky)," \
  "no-match $(tally no-match), ambiguous $(tally ambiguous), baseline-fail $(tally baseline-fail)"
echo "logs: $logs"
echo
echo "| id | description | result |"
echo "|---|---|---|"
for i in "${!ids[@]}"; do
  echo "| ${ids[$i]} | ${descriptions[$i]//|/\\|} | ${results[$i]} |"
done
exit 0
