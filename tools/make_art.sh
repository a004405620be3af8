#!/bin/bash
# Makes the window's pictures: the built-in art (art/*.png, listed in ui/CMakeLists.txt),
# the key pictures loaded at run time (anniu/*.jpg) and the program's icon (art/icons/).
# `make_art.sh icons` makes only the icon; `make_art.sh 1x` only the built-in art's
# pictures for usual screens (art/1x/), from art/*.png.
# Needs (Debian 12): imagemagick fonts-noto-cjk (font "Noto Serif CJK SC"); for the icon
# librsvg2-bin and icoutils.
# Everything is drawn at twice the 96-dpi pixel size (1 px = 15 twips at 1x)
# so it stays crisp on high-DPI screens. Fixed noise seed and stripped
# metadata: running it again gives the same bytes.
set -euo pipefail

here="$(cd "$(dirname "$0")/.." && pwd)"
art="$here/art"
keys="$here/anniu"
icons="$art/icons"
mkdir -p "$art" "$keys" "$icons"

# --- The built-in art at the pixel size a usual (96 dpi) screen shows: half of each side,
# every pixel the mean of four. The window draws one of these as it is where its box has
# that size, instead of decoding four times the pixels and scaling them down.
make_1x() {
  mkdir -p "$art/1x"
  local f
  for f in "$art"/*.png; do
    convert "$f" -filter Box -resize 50% -strip -define png:exclude-chunks=date,time \
        "$art/1x/$(basename "$f")"
  done
}
if [ "${1:-}" = 1x ]; then
  make_1x
  exit 0
fi

# --- Icon: the gold calculator with its paper roll, in the colours of the keys and the
# strip, drawn as SVG (installed as the scalable icon) and rendered at the sizes the icon
# theme asks for.
make_icon() {
  cat >"$icons/tapecalc.svg" <<'SVG'
<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <defs>
    <linearGradient id="gold" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#fbe49a"/>
      <stop offset="1" stop-color="#c39432"/>
    </linearGradient>
    <linearGradient id="key" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="#f7dc8c"/>
      <stop offset="1" stop-color="#b98a2e"/>
    </linearGradient>
    <linearGradient id="paper" x1="0" y1="0" x2="1" y2="0">
      <stop offset="0" stop-color="#dcdcdc"/>
      <stop offset="0.3" stop-color="#ffffff"/>
      <stop offset="1" stop-color="#e6e6e6"/>
    </linearGradient>
  </defs>
  <!-- the paper roll leaving the machine, torn off at the top -->
  <path d="M76 112 V20 l12 -10 l12 10 l12 -10 l12 10 l12 -10 l12 10 l12 -10 l12 10 l12 -10 l4 4 V112 Z"
        fill="url(#paper)" stroke="#9a9a9a" stroke-width="3" stroke-linejoin="round"/>
  <g stroke="#7a7a7a" stroke-width="6" stroke-linecap="round">
    <path d="M96 40 H156 M96 60 H140 M96 80 H160"/>
  </g>
  <!-- the body -->
  <rect x="20" y="92" width="216" height="152" rx="22" fill="url(#gold)"
        stroke="#6e4f12" stroke-width="6"/>
  <rect x="30" y="100" width="196" height="10" rx="5" fill="#fff3c4" opacity="0.7"/>
  <!-- the result display -->
  <rect x="40" y="116" width="176" height="34" rx="5" fill="#ffffff" stroke="#6e4f12"
        stroke-width="4"/>
  <rect x="150" y="124" width="52" height="18" rx="3" fill="#ff0000"/>
  <!-- keys -->
  <g fill="url(#key)" stroke="#6e4f12" stroke-width="4">
    <rect x="40" y="164" width="48" height="28" rx="6"/>
    <rect x="104" y="164" width="48" height="28" rx="6"/>
    <rect x="168" y="164" width="48" height="28" rx="6"/>
    <rect x="40" y="204" width="48" height="28" rx="6"/>
    <rect x="104" y="204" width="48" height="28" rx="6"/>
    <rect x="168" y="204" width="48" height="28" rx="6"/>
  </g>
</svg>
SVG
  local size
  for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" "$icons/tapecalc.svg" -o "$icons/tapecalc-$size.png"
  done
  # Windows' icon (the executable, the installer, the Start menu): the same pictures in
  # one .ico, the 256 px one kept as PNG as Windows Vista and later read it.
  icotool -c -o "$icons/tapecalc.ico" "$icons"/tapecalc-{16,24,32,48,64,128}.png \
      -r "$icons/tapecalc-256.png"
}
make_icon
[ "${1:-}" = icons ] && exit 0


font_title="Noto-Serif-CJK-SC-Bold"
font_text="Noto-Serif-CJK-SC-Bold"
for f in "$font_title" "$font_text"; do
  convert -list font | grep "Font: $f\$" >/dev/null \
    || { echo "font $f not found (install fonts-noto-cjk)" >&2; exit 1; }
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# 2x pixels from twips: 1 px at 1x = 15 twips.
px() { echo $(( $1 * 2 / 15 )); }

PNG_OPTS=(-strip -depth 8 -define png:exclude-chunks=date,time)
JPG_OPTS=(-strip -quality 90 -sampling-factor 1x1)

# brushed W H TOP BOTTOM STREAK SEED OUT
# Vertical gradient from TOP to BOTTOM with horizontal brushed streaks of
# strength STREAK (percent contrast of the streak layer).
brushed() {
  local w=$1 h=$2 top=$3 bottom=$4 streak=$5 seed=$6 out=$7
  # streaks: random noise smeared sideways, kept near mid-grey
  convert -size "$((w + 80))x${h}" xc:gray50 -seed "$seed" \
      -attenuate 1.0 +noise Random -colorspace Gray \
      -motion-blur 0x40+0 -motion-blur 0x40+180 \
      -crop "${w}x${h}+40+0" +repage \
      -auto-level +level "$((50 - streak))%,$((50 + streak))%" \
      "$tmp/streak.png"
  convert -size "${w}x${h}" gradient:"$top"-"$bottom" \
      "$tmp/streak.png" -compose SoftLight -composite \
      "$out"
}

# Gold of the window and of the keys.
GOLD_HI='#f7dc8c'
GOLD_LO='#b98a2e'

# --- Backdrop: brushed gold, 5295 x 6375 twips (also stretched for Image7).
brushed "$(px 5295)" "$(px 6375)" "$GOLD_HI" "$GOLD_LO" 18 42 "$tmp/backdrop.png"
convert "$tmp/backdrop.png" "${PNG_OPTS[@]}" "$art/backdrop.png"

# --- Strip: white brushed metal, 4815 x 615 twips (also behind the line number).
brushed "$(px 4815)" "$(px 615)" '#ffffff' '#dcdcdc' 14 43 "$tmp/strip.png"
convert "$tmp/strip.png" -bordercolor '#b8b8b8' -border 1 -shave 1x1 \
    "$tmp/strip.png"
convert "$tmp/strip.png" -fill '#9a9a9a' -draw "line 0,0 $(( $(px 4815) - 1 )),0" \
    "${PNG_OPTS[@]}" "$art/strip.png"

# key_tile W H SEED OUT_RELEASED OUT_PRESSED
# A gold key with a raised bevel, and its pressed look: the face a quarter
# darker, shifted 2 px down-right, with a sunken bevel and an inner shadow
# along the top and left edges.
key_tile() {
  local w=$1 h=$2 seed=$3 rel=$4 prs=$5
  local b=$(( h / 11 ))        # bevel width
  brushed "$w" "$h" '#fbe49a' '#c39432' 16 "$seed" "$tmp/face.png"
  convert "$tmp/face.png" -raise "${b}x${b}" \
      -bordercolor '#6e4f12' -border 1 -shave 1x1 \
      -fill none -stroke '#6e4f12' -strokewidth 1 \
      -draw "rectangle 0,0 $((w - 1)),$((h - 1))" \
      "$tmp/rel.png"
  # pressed: shifted, darkened face; sunken bevel; soft inner shadow
  convert "$tmp/face.png" -page +2+2 -background '#9c7426' -flatten \
      -modulate 75,100 \
      +raise "${b}x${b}" \
      "$tmp/prs0.png"
  convert -size "${w}x${h}" xc:none -fill 'rgba(0,0,0,0.45)' \
      -draw "rectangle 0,0 $((w - 1)),$((b + 1))" \
      -draw "rectangle 0,0 $((b + 1)),$((h - 1))" \
      -blur 0x3 "$tmp/shadow.png"
  convert "$tmp/prs0.png" "$tmp/shadow.png" -compose Over -composite \
      -fill none -stroke '#4a340a' -strokewidth 1 \
      -draw "rectangle 0,0 $((w - 1)),$((h - 1))" \
      "$tmp/prs.png"
  cp "$tmp/rel.png" "$rel"
  cp "$tmp/prs.png" "$prs"
}

# --- Key tiles: square 495 x 495 twips, wide 1095 x 495 twips.
key_tile "$(px 495)"  "$(px 495)" 44 "$tmp/sq_rel.png" "$tmp/sq_prs.png"
key_tile "$(px 1095)" "$(px 495)" 45 "$tmp/wd_rel.png" "$tmp/wd_prs.png"
convert "$tmp/sq_rel.png" "${PNG_OPTS[@]}" "$art/key_square.png"
convert "$tmp/wd_rel.png" "${PNG_OPTS[@]}" "$art/key_wide.png"

# Key pictures read from anniu/ at every press and release.
convert "$tmp/sq_rel.png" "${JPG_OPTS[@]}" "$keys/1.jpg"
convert "$tmp/sq_prs.png" "${JPG_OPTS[@]}" "$keys/0x.jpg"
convert "$tmp/wd_rel.png" "${JPG_OPTS[@]}" "$keys/beijingz.jpg"
convert "$tmp/wd_prs.png" "${JPG_OPTS[@]}" "$keys/beijingq.jpg"

# --- Banner: title and version on brushed gold, 2325 x 615 twips.
bw=$(px 2325); bh=$(px 615)
brushed "$bw" "$bh" '#fbe39a' '#c08f30' 16 46 "$tmp/banner.png"
convert "$tmp/banner.png" -raise 3x3 \
    -font "$font_title" -pointsize 42 -gravity West \
    -fill '#fff3c4' -annotate +17+1 '纸带计算器' \
    -fill '#5a3a08' -annotate +16+0 '纸带计算器' \
    -font "$font_text" -pointsize 18 -gravity SouthEast \
    -fill '#fff3c4' -annotate +13+11 'V1.0' \
    -fill '#5a3a08' -annotate +12+12 'V1.0' \
    "${PNG_OPTS[@]}" "$art/banner.png"

# --- Help panel: six keyboard tips on gold, 4815 x 2895 twips.
hw=$(px 4815); hh=$(px 2895)
brushed "$hw" "$hh" '#f9df92' '#c99a3a' 12 47 "$tmp/help.png"
tips=(
  '1. 请先打开数字小键盘 (NumLock)'
  '2. 回车键 = 等于'
  '3. PageDown 键 = 读出总数'
  '4. End 键 = 清除输入'
  '5. Delete 键 = 归零'
  '6. Backspace 键 = 删除一个字符'
)
draw=()
line_h=$(( (hh - 24) / ${#tips[@]} ))
for i in "${!tips[@]}"; do
  y=$(( 12 + i * line_h + line_h / 2 - 17 ))
  draw+=(-annotate "+28+$y" "${tips[$i]}")
done
convert "$tmp/help.png" -raise 4x4 \
    -font "$font_text" -pointsize 30 -gravity NorthWest -fill '#3c2605' \
    "${draw[@]}" \
    "${PNG_OPTS[@]}" "$art/helppanel.png"
make_1x

for f in "$art"/*.png "$keys"/*.jpg "$icons"/*.png; do
  identify -format '%f %wx%h %b\n' "$f"
done
