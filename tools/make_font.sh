#!/bin/bash
# Makes the program's own typeface, art/fonts/TapeCalcSerif-subset.otf: Noto Serif CJK SC
# Regular cut down to printable ASCII and the characters of the string literals in the
# program's sources (captions, messages, notices, questions, Qt's words, the printed
# report: tools/font_characters.py), renamed "TapeCalc Serif" so it never mixes with an
# installed Noto; and art/fonts/LICENSE-OFL.txt beside it.
# Uses fonttools and fonts-noto-cjk (Debian 12) where they are installed; where not, it
# fetches the two packages with `apt-get download` and unpacks them into its temporary
# folder, so the machine keeps its fonts (a system without a Chinese font stays one).
# Deterministic: the same sources and package versions give the same bytes (the head
# table keeps the source font's dates).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
out="$here/art/fonts"
font_path=/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc
copyright_path=/usr/share/doc/fonts-noto-cjk/copyright
face=2 # the SC face of the collection (JP, KR, SC, TC, HK)
family="TapeCalc Serif"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

# The interpreter that has fontTools (a python3 earlier on PATH may not).
python=""
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import fontTools' 2>/dev/null; then python=$candidate; break; fi
done
root="" # where the packages were unpacked, when they are not installed
if [ ! -f "$font_path" ] || [ -z "$python" ]; then
  command -v apt-get >/dev/null || { echo "install fonttools and fonts-noto-cjk" >&2; exit 1; }
  root="$tmp/root"
  mkdir -p "$tmp/debs" "$root"
  (cd "$tmp/debs" && apt-get -q -o APT::Sandbox::User=root download fonts-noto-cjk python3-fonttools >/dev/null)
  for deb in "$tmp"/debs/*.deb; do dpkg-deb -x "$deb" "$root"; done
  export PYTHONPATH="$root/usr/lib/python3/dist-packages${PYTHONPATH:+:$PYTHONPATH}"
  python=/usr/bin/python3
fi
source_font="$root$font_path"
[ -f "$source_font" ] || { echo "$source_font not found (install fonts-noto-cjk)" >&2; exit 1; }

(cd "$here" && "$python" tools/font_characters.py core/*.cpp core/*.h store/*.cpp store/*.h \
    audio/*.cpp audio/*.h ui/*.cpp ui/*.h) >"$tmp/unicodes.txt"

# Layout features Qt applies by default and the hinting stay; names are rewritten below.
"$python" -m fontTools.subset "$source_font" --font-number="$face" \
    --unicodes-file="$tmp/unicodes.txt" \
    --name-IDs='0,1,2,3,4,5,6,7,8,9,11,12,13,14' --name-languages=0x0409 \
    --output-file="$tmp/subset.otf"

"$python" - "$tmp/subset.otf" "$out/TapeCalcSerif-subset.otf" "$family" <<'EOF'
import sys
from fontTools.ttLib import TTFont
src, dst, family = sys.argv[1:]
font = TTFont(src, recalcTimestamp=False)
ps = family.replace(" ", "") + "-Regular"
name = font["name"]
version = name.getDebugName(5)
for rec in list(name.names):
    if rec.nameID in (1, 4, 16):
        rec.string = family
    elif rec.nameID == 3:
        rec.string = "%s;subset of NotoSerifCJKsc-Regular;%s" % (ps, version)
    elif rec.nameID == 6:
        rec.string = ps
cff = font["CFF "].cff
cff.fontNames = [ps]
top = cff.topDictIndex[0]
top.FamilyName = family
top.FullName = family
font.save(dst)
EOF

# The licence: the font's copyright line and the OFL text Debian ships with the font.
{
  echo "TapeCalcSerif-subset.otf (family \"$family\") is a subset of Noto Serif CJK SC Regular,"
  echo "made by tools/make_font.sh from $font_path (Debian package fonts-noto-cjk)."
  echo "It is a Modified Version of the Font Software under the licence below."
  echo
  "$python" -c 'import sys; from fontTools.ttLib import TTFont; print(TTFont(sys.argv[1])["name"].getDebugName(0))' \
      "$out/TapeCalcSerif-subset.otf"
  echo
  # The licence paragraph of the Debian copyright file, without its indentation.
  awk '/^License: SIL-1.1$/ {on=1; text=""; next} on && /^[^ ]/ {on=0}
       on {text = text $0 "\n"} END {printf "%s", text}' "$root$copyright_path" |
      sed -e 's/^ //' -e 's/^\.$//'
} >"$out/LICENSE-OFL.txt"

echo "$(wc -l <"$tmp/unicodes.txt") characters, $(wc -c <"$out/TapeCalcSerif-subset.otf") bytes"
sha256sum "$out/TapeCalcSerif-subset.otf"
