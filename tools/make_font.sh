#!/bin/bash
# Makes the program's own typeface, art/fonts/TapeCalcSerif-subset.otf: Noto Serif CJK SC
# Regular cut down to printable ASCII and the characters of the string literals in the
# program's sources (captions, messages, the printed report), renamed "TapeCalc Serif"
# so it never mixes with an installed Noto; and art/fonts/LICENSE-OFL.txt beside it.
# Needs (Debian 12): fonttools fonts-noto-cjk.
# Deterministic: the same sources and fontTools version give the same bytes (the head
# table keeps the source font's dates).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
out="$here/art/fonts"
source_font=/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc
face=2 # the SC face of the collection (JP, KR, SC, TC, HK)
family="TapeCalc Serif"

[ -f "$source_font" ] || { echo "$source_font not found (install fonts-noto-cjk)" >&2; exit 1; }
command -v pyftsubset >/dev/null || { echo "pyftsubset not found (install fonttools)" >&2; exit 1; }
# The interpreter that has fontTools (a python3 earlier on PATH may not).
python=""
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import fontTools' 2>/dev/null; then python=$candidate; break; fi
done
[ -n "$python" ] || { echo "no python3 with fontTools (install fonttools)" >&2; exit 1; }

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

# Every character of a string or character literal, comments skipped, plus U+0020-U+007E
# (numbers, file names and anything typed), one code point a line, sorted.
(cd "$here" && "$python" - core/*.cpp core/*.h store/*.cpp store/*.h audio/*.cpp audio/*.h \
    ui/*.cpp ui/*.h) >"$tmp/unicodes.txt" <<'EOF'
import re, sys
chars = {chr(c) for c in range(0x20, 0x7F)}
for name in sorted(sys.argv[1:]):
    src = open(name, encoding="utf-8").read()
    i, n = 0, len(src)
    while i < n:
        c = src[i]
        if src.startswith("//", i):
            i = src.find("\n", i)
            i = n if i < 0 else i
        elif src.startswith("/*", i):
            i = src.index("*/", i + 2) + 2
        elif c == 'R' and src.startswith('R"', i) and (i == 0 or not (src[i-1].isalnum() or src[i-1] == '_')):
            delim = src[i + 2:src.index("(", i)]
            end = src.index(")" + delim + '"', i)
            chars.update(ch for ch in src[src.index("(", i) + 1:end] if ord(ch) > 0x7E)
            i = end + len(delim) + 2
        elif c in "\"'" and not (c == "'" and re.search(r"\b[0-9][0-9A-Za-z_']*$", src[:i])):
            j = i + 1
            while src[j] != c:
                j += 2 if src[j] == "\\" else 1
            chars.update(ch for ch in src[i + 1:j] if ord(ch) > 0x7E)
            i = j + 1
        else:
            i += 1
for ch in sorted(chars):
    print("U+%04X" % ord(ch))
EOF

# Layout features Qt applies by default and the hinting stay; names are rewritten below.
pyftsubset "$source_font" --font-number="$face" \
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
  echo "made by tools/make_font.sh from $source_font (Debian package fonts-noto-cjk)."
  echo "It is a Modified Version of the Font Software under the licence below."
  echo
  "$python" -c 'import sys; from fontTools.ttLib import TTFont; print(TTFont(sys.argv[1])["name"].getDebugName(0))' \
      "$out/TapeCalcSerif-subset.otf"
  echo
  # The licence paragraph of the Debian copyright file, without its indentation.
  awk '/^License: SIL-1.1$/ {on=1; text=""; next} on && /^[^ ]/ {on=0}
       on {text = text $0 "\n"} END {printf "%s", text}' /usr/share/doc/fonts-noto-cjk/copyright |
      sed -e 's/^ //' -e 's/^\.$//'
} >"$out/LICENSE-OFL.txt"

echo "$(wc -l <"$tmp/unicodes.txt") characters, $(wc -c <"$out/TapeCalcSerif-subset.otf") bytes"
sha256sum "$out/TapeCalcSerif-subset.otf"
