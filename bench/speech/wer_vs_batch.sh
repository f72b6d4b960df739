#!/usr/bin/env bash
# Raw word error rate of the streaming pipeline (talvo --replay --no-ai) against batch
# PocketSphinx (pocketsphinx_continuous -infile) on the same LibriVox clips, in one run.
# Usage: bench/speech/wer_vs_batch.sh [BUILD_DIR]   (default: build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bash "$root/scripts/prepare-samples.sh" "$work/clips" >/dev/null
rm -f "$work"/clips/synth-*   # synthetic clips are for cleanup, not accuracy

for wav in "$work"/clips/*.wav; do
  pocketsphinx_continuous -infile "$wav" 2>/dev/null | tr '\n' ' ' >"${wav%.wav}.batch"
done
"$build/talvo" --replay "$work/clips" --no-ai >"$work/replay.txt"

python3 - "$work/clips" <<'PY'
import json, re, sys, pathlib
clips = pathlib.Path(sys.argv[1])

def words(text):
    return [w for w in re.split(r"[^\w']+|_", text.lower()) if w]

def distance(ref, hyp):
    row = list(range(len(hyp) + 1))
    for i, r in enumerate(ref, 1):
        diag, row[0] = row[0], i
        for j, h in enumerate(hyp, 1):
            diag, row[j] = row[j], min(diag + (r != h), row[j - 1] + 1, row[j] + 1)
    return row[-1]

results = {r["file"]: r for r in json.loads((clips / "replay-rules.json").read_text())}
ref_words = stream_errors = batch_errors = 0
print(f"{'clip':18} {'words':>5} {'stream':>7} {'batch':>7}")
for said in sorted(clips.glob("*.said")):
    ref = words(said.read_text())
    batch = words(said.with_suffix(".batch").read_text())
    stream = words(results.get(said.with_suffix(".wav").name, {}).get("raw", ""))
    s, b = distance(ref, stream), distance(ref, batch)
    ref_words += len(ref); stream_errors += s; batch_errors += b
    print(f"{said.stem:18} {len(ref):5} {s/len(ref):7.2f} {b/len(ref):7.2f}")
stream_wer, batch_wer = stream_errors / ref_words, batch_errors / ref_words
print(f"overall raw WER: streaming {stream_wer:.3f}, batch {batch_wer:.3f}, "
      f"ratio {stream_wer / batch_wer if batch_wer else float('inf'):.2f}")
PY
grep -E '^median' "$work/replay.txt" || true
