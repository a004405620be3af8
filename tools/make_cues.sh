#!/bin/bash
# Makes the voice cues in shengyin/ (digits, point, minus, operators, equals,
# AC, CE, Backspace and the lead-in of the total read-out) with espeak-ng's
# Mandarin voice, trimmed of leading/trailing silence.
# Needs (Debian 12): espeak-ng sox
# Output: 16-bit mono PCM WAV, 22050 Hz. Deterministic: same bytes on every run.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
out="$here/shengyin"
mkdir -p "$out"

speed=210     # words per minute; a bit brisker than the default 175
pitch=50
amp=100

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# file name (without .wav) | text spoken
cues=(
  "0|零" "1|一" "2|二" "3|三" "4|四" "5|五" "6|六" "7|七" "8|八" "9|九"
  "d|点"
  "负|负"
  "加|加" "减|减" "乘|乘" "除|除"
  "等于|等于"
  "归零|归零"
  "清除|清除"
  "删除|删除"
  "zsw|总数是"
)

for entry in "${cues[@]}"; do
  name="${entry%%|*}"
  text="${entry#*|}"
  raw="$tmp/raw.wav"
  espeak-ng -v cmn -s "$speed" -p "$pitch" -a "$amp" -w "$raw" "$text"
  # -D: no dither, -R: repeatable; trim silence at both ends, then a 5 ms
  # fade at each end so a cut-off start or end does not click, and a common
  # peak level of -1 dBFS so all cues sound equally loud.
  sox -D -R "$raw" "$tmp/trim.wav" \
      silence 1 0.01 1% reverse silence 1 0.01 1% reverse
  sox -D -R "$tmp/trim.wav" -b 16 -c 1 -r 22050 -e signed-integer \
      "$out/$name.wav" fade t 0.005 -0 0.005 gain -n -1
  printf '%-8s %s  %ss\n' "$name.wav" "$text" "$(soxi -D "$out/$name.wav")"
done
