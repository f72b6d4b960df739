#!/usr/bin/env bash
# Builds a replay directory: the LibriVox clips that ship with pocketsphinx-testdata, with
# what was said (.said) and what a user would want typed (.want), plus short synthetic
# clips that exercise fillers, "scratch that" and spoken line breaks.
# Usage: scripts/prepare-samples.sh [DIR]   (default: samples)
set -euo pipefail
out=${1:-samples}
src=/usr/share/pocketsphinx/test/data/librivox
mkdir -p "$out"

# Reference transcripts: "<s> words </s> (clip-id)" per line.
while IFS= read -r line; do
  id=$(sed -E 's/.*\(([^)]*)\)\s*$/\1/' <<<"$line")
  said=$(sed -E 's/<s>|<\/s>|\([^)]*\)\s*$//g; s/^\s+|\s+$//g; s/\s+/ /g' <<<"$line")
  short=librivox-${id##*-}
  cp "$src/$id.wav" "$out/$short.wav"
  printf '%s\n' "$said" >"$out/$short.said"
done <"$src/transcription"

want() { printf '%s\n' "$2" >"$out/$1.want"; }
want librivox-0870 "And Mister John Dashwood had then leisure to consider how much there might be prudently in his power to do for them"
want librivox-0880 "He was not an ill disposed young man"
want librivox-0890 "Unless to be rather cold hearted and rather selfish is to be ill disposed"
want librivox-0920 "Had he married a more amiable woman he might have been made still more respectable than he was"
want librivox-0930 "He might even have been made amiable himself"

# espeak-ng's klatt voices are the ones the recogniser understands; 16 kHz mono like a
# headset. Full stops in the spoken text only make the voice pause; .said has the words.
speak() {  # name voice words-per-minute "spoken text" "wanted text"
  espeak-ng -v "$2" -s "$3" -w "$out/$1.raw.wav" "$4"
  sox -q "$out/$1.raw.wav" -r 16000 -c 1 -b 16 "$out/$1.wav" pad 0.3 0.3
  rm -f "$out/$1.raw.wav"
  printf '%s\n' "$(tr -d '.' <<<"$4")" >"$out/$1.said"
  printf '%s\n' "$5" >"$out/$1.want"
}
speak synth-fillers en-us+klatt 175 "um so we should uh meet on tuesday" "So we should meet on tuesday"
speak synth-scratch en-us+klatt2 160 "send the report to anna. scratch that. send the report to maria" \
  "Send the report to maria"
speak synth-newline en-us+klatt 175 "dear team new line the build is green" "Dear team
The build is green"
echo "samples in $out"
