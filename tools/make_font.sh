#!/bin/bash
# Makes the program's own typeface, two faces of Noto Serif CJK SC Regular renamed so they
# never mix with an installed Noto: art/fonts/TapeCalcSerif-subset.otf ("TapeCalc Serif"),
# printable ASCII and the characters of the string literals in the program's sources
# (captions, messages, notices, questions, Qt's words, the printed report:
# tools/font_characters.py), drawn from the first frame; and
# art/fonts/TapeCalcSerifGB-subset.otf ("TapeCalc Serif GB"), GB2312 and a U+FFFD of its
# own (Noto has none: its black diamond with Noto Serif CJK SC Bold's question mark cut
# out), for the Chinese of tapes and file names where the system has no Chinese font. Both
# keep Noto's box for a character they lack. And art/fonts/LICENSE-OFL.txt beside them.
# Uses fonttools and fonts-noto-cjk (Debian 12) where they are installed; where not, it
# fetches the two packages with `apt-get download` and unpacks them into its temporary
# folder, so the machine keeps its fonts (a system without a Chinese font stays one).
# Deterministic: the same sources and package versions give the same bytes (the head
# table keeps the source font's dates).
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
out="$here/art/fonts"
font_path=/usr/share/fonts/opentype/noto/NotoSerifCJK-Regular.ttc
bold_path=/usr/share/fonts/opentype/noto/NotoSerifCJK-Bold.ttc
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

# The face of the window's own words, and the face of GB2312 beside it.
(cd "$here" && "$python" tools/font_characters.py core/*.cpp core/*.h store/*.cpp store/*.h \
    audio/*.cpp audio/*.h ui/*.cpp ui/*.h app/*.cpp app/*.h) >"$tmp/TapeCalcSerif-subset.txt"
"$python" "$here/tools/font_characters.py" --gb2312 >"$tmp/TapeCalcSerifGB-subset.txt"

# make_face NAME FAMILY: art/fonts/NAME.otf of the characters in $tmp/NAME.txt.
make_face() {
  # Layout features Qt applies by default and the hinting stay, but for the other
  # languages' forms (locl: the Japanese, Korean and Traditional shapes, as many again)
  # and the vertical ones; names are rewritten below.
  "$python" -m fontTools.subset "$source_font" --font-number="$face" \
      --unicodes-file="$tmp/$1.txt" --notdef-outline --layout-features-=locl,vert,vrt2 \
      --name-IDs='0,1,2,3,4,5,6,7,8,9,11,12,13,14' --name-languages=0x0409 \
      --output-file="$tmp/$1.otf"
  "$python" - "$tmp/$1.txt" "$tmp/$1.otf" "$out/$1.otf" "$2" "$root$bold_path" "$face" <<'EOF'
import sys
from fontTools.pens.boundsPen import BoundsPen
from fontTools.pens.reverseContourPen import ReverseContourPen
from fontTools.pens.t2CharStringPen import T2CharStringPen
from fontTools.pens.transformPen import TransformPen
from fontTools.ttLib import TTFont
wanted, src, dst, family, bold_path, face = sys.argv[1:]
font = TTFont(src, recalcTimestamp=False)

# U+FFFD, where it was asked for: the black diamond (U+25C6) with a question mark cut out
# of it (its contours reversed, so the fill leaves them white), the mark at 55 % of the
# diamond's height.
def bounds(glyphs, name):
    pen = BoundsPen(glyphs)
    glyphs[name].draw(pen)
    return pen.bounds
cmap = font.getBestCmap()
if "U+FFFD" in open(wanted).read().split():
    glyphs = font.getGlyphSet()
    bold = TTFont(bold_path, fontNumber=int(face), lazy=True)
    bold_glyphs = bold.getGlyphSet()
    diamond = cmap[0x25C6]
    question = bold.getBestCmap()[0x3F]
    dx0, dy0, dx1, dy1 = bounds(glyphs, diamond)
    qx0, qy0, qx1, qy1 = bounds(bold_glyphs, question)
    scale = 0.55 * (dy1 - dy0) / (qy1 - qy0)
    move = ((dx0 + dx1) - scale * (qx0 + qx1)) / 2, ((dy0 + dy1) - scale * (qy0 + qy1)) / 2
    advance, side = font["hmtx"][diamond]
    pen = T2CharStringPen(advance, glyphs)
    glyphs[diamond].draw(pen)
    bold_glyphs[question].draw(ReverseContourPen(TransformPen(pen, (scale, 0, 0, scale) + move)))
    cff_table = font["CFF "].cff
    top = cff_table.topDictIndex[0]
    fd = top.FDSelect[font.getGlyphID(diamond)]
    order = font.getGlyphOrder()
    replacement = next(n for n in ("cid%05d" % c for c in range(top.CIDCount - 1, 0, -1))
                       if n not in order)
    order = order + [replacement] # the CFF's charset is the same list as the font's order
    strings = top.CharStrings
    strings.charStringsIndex.append(
        pen.getCharString(private=top.FDArray[fd].Private, globalSubrs=cff_table.GlobalSubrs))
    strings.charStrings[replacement] = len(strings.charStringsIndex) - 1
    top.charset = order
    top.FDSelect.append(fd)
    font["hmtx"][replacement] = (advance, side)
    font["vmtx"][replacement] = font["vmtx"][diamond]
    font.setGlyphOrder(order)
    for table in font["cmap"].tables:
        if table.isUnicode():
            table.cmap[0xFFFD] = replacement

# Every character asked for is there (tst_font checks the window's face against the
# sources of the day; GB2312 is checked here, once).
missing = [u for u in open(wanted).read().split() if int(u[2:], 16) not in font.getBestCmap()]
if missing:
    sys.exit("not in Noto Serif CJK SC: " + " ".join(missing))

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
  echo "$1.otf: $(wc -l <"$tmp/$1.txt") characters, $(wc -c <"$out/$1.otf") bytes"
  sha256sum "$out/$1.otf"
}
make_face TapeCalcSerif-subset "$family"
make_face TapeCalcSerifGB-subset "$family GB"

# The licence: the font's copyright line and the OFL text Debian ships with the font.
{
  echo "TapeCalcSerif-subset.otf (family \"$family\") and TapeCalcSerifGB-subset.otf (family"
  echo "\"$family GB\") are subsets of Noto Serif CJK SC Regular, made by tools/make_font.sh"
  echo "from $font_path (Debian package fonts-noto-cjk)."
  echo "The U+FFFD of the second is its U+25C6 with the question mark of Noto Serif CJK SC"
  echo "Bold cut out. They are Modified Versions of the Font Software under the licence below."
  echo
  "$python" -c 'import sys; from fontTools.ttLib import TTFont; print(TTFont(sys.argv[1])["name"].getDebugName(0))' \
      "$out/TapeCalcSerif-subset.otf"
  echo
  # The licence paragraph of the Debian copyright file, without its indentation.
  awk '/^License: SIL-1.1$/ {on=1; text=""; next} on && /^[^ ]/ {on=0}
       on {text = text $0 "\n"} END {printf "%s", text}' "$root$copyright_path" |
      sed -e 's/^ //' -e 's/^\.$//'
} >"$out/LICENSE-OFL.txt"

