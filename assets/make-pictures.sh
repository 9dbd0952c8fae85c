#!/usr/bin/env bash
# Renders the two donation pictures of the settings dialog and the 48x48
# application icon. The outputs are checked in; run this by hand after
# changing the texts or the layout, from any directory:
#
#   assets/make-pictures.sh
#
# Needs bash, ImageMagick 6 (convert) and the DejaVu fonts (fonts-dejavu-core).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
fonts=/usr/share/fonts/truetype/dejavu
regular="$fonts/DejaVuSans.ttf"
bold="$fonts/DejaVuSans-Bold.ttf"

for tool in convert identify awk; do
    command -v "$tool" >/dev/null || { echo "make-pictures: '$tool' not found" >&2; exit 1; }
done
for font in "$regular" "$bold"; do
    [[ -f "$font" ]] || { echo "make-pictures: font $font not found (install fonts-dejavu-core)" >&2; exit 1; }
done

readonly width=400 height=350

# Outline of a five-pointed star as a "x,y x,y ..." point list.
star_points() {  # cx cy outer-radius rotation-degrees
    awk -v cx="$1" -v cy="$2" -v r="$3" -v rot="$4" 'BEGIN {
        pi = atan2(0, -1)
        for (i = 0; i < 10; i++) {
            rad = (i % 2 == 0) ? r : r * 0.42
            a = (rot - 90 + i * 36) * pi / 180
            printf "%.1f,%.1f ", cx + rad * cos(a), cy + rad * sin(a)
        }
    }'
}

# Draw commands for the sky shared by both pages. The seed keeps the star
# field identical from run to run, so regenerating changes only what was edited.
sky_args=()
build_sky() {
    RANDOM=20240
    local i x y level
    for ((i = 0; i < 110; i++)); do
        x=$((RANDOM % width)); y=$((RANDOM % height)); level=$((90 + RANDOM % 166))
        sky_args+=(-fill "rgb($level,$level,$((level < 200 ? level + 40 : 255)))")
        if ((i % 9 == 0)); then
            sky_args+=(-draw "circle $x,$y $((x + 1)),$y")
        else
            sky_args+=(-draw "point $x,$y")
        fi
    done
    # Coloured outlines in the saver's own style, kept to the margins.
    local item cx cy r rot colour
    for item in "28 26 8 8 #9d7bff" "372 26 9 -12 #5ee0ff" "30 118 12 12 #ff6b8b" \
                "370 110 13 -8 #ffd25e" "24 172 7 20 #5ee0ff" "378 170 8 -5 #9d7bff" \
                "36 296 14 15 #7dff9a" "362 292 19 -20 #ffd25e" "72 254 6 0 #5ee0ff" \
                "330 248 7 30 #ff6b8b"; do
        read -r cx cy r rot colour <<<"$item"
        sky_args+=(-fill none -stroke "$colour" -strokewidth 1.6
                   -draw "polygon $(star_points "$cx" "$cy" "$r" "$rot")" -stroke none)
    done
}

# One payment-service badge as an image operator sequence.
badge_args() {  # label background foreground width
    printf '%s\0' "(" -size "${4}x28" xc:none -fill "$2" -draw "roundrectangle 0,0 $(($4 - 1)),27 7,7" \
        -font "$bold" -pointsize 12 -fill "$3" -gravity center -annotate +0+0 "$1" ")"
}

# render_page OUTPUT TITLE LINE1 LINE2 AMOUNT-LABEL AMOUNT ACCEPT-LABEL BUTTON HINT BADGE...
# where each BADGE is "label|background|foreground|width".
render_page() {
    local out="$1" title="$2" line1="$3" line2="$4" amount_label="$5" amount="$6"
    local accept_label="$7" button="$8" hint="$9"
    shift 9
    local badges=("$@") item label bg fg w total=0 gap=10 x args=()
    for item in "${badges[@]}"; do
        IFS='|' read -r label bg fg w <<<"$item"
        total=$((total + w))
    done
    total=$((total + gap * (${#badges[@]} - 1)))

    args=(-size "${width}x${height}" radial-gradient:'#1d2658'-'#03040b' "${sky_args[@]}"
          -fill 'rgba(255,255,255,0.06)' -stroke 'rgba(180,200,255,0.28)' -strokewidth 1
          -draw "roundrectangle 10,8 389,341 18,18" -stroke none
          -gravity north
          -font "$bold" -pointsize 20 -fill white -annotate +0+24 "$title"
          -font "$regular" -pointsize 13 -fill '#c2ccff' -annotate +0+62 "$line1" -annotate +0+80 "$line2"
          -pointsize 12 -fill '#8f9bd0' -annotate +0+108 "$amount_label"
          -font "$bold" -pointsize 38 -fill '#ffd25e' -annotate +0+122 "$amount"
          -font "$regular" -pointsize 12 -fill '#8f9bd0' -annotate +0+180 "$accept_label")

    x=$(((width - total) / 2))
    for item in "${badges[@]}"; do
        IFS='|' read -r label bg fg w <<<"$item"
        local badge=()
        mapfile -d '' badge < <(badge_args "$label" "$bg" "$fg" "$w")
        args+=("${badge[@]}" -gravity northwest -geometry "+$x+200" -composite)
        x=$((x + w + gap))
    done

    # The button: a soft shadow, then a gold gradient clipped to a pill.
    args+=(-fill 'rgba(0,0,0,0.45)' -draw "roundrectangle 103,257 303,303 23,23"
           "(" -size 200x46 gradient:'#ffd86a'-'#ef8a1f'
               "(" -size 200x46 xc:black -fill white -draw "roundrectangle 0,0 199,45 22,22" ")"
               -alpha off -compose CopyOpacity -composite -compose over
               -font "$bold" -pointsize 19 -fill '#3a1d00' -gravity center -annotate +0+0 "$button" ")"
           -gravity northwest -geometry +100+254 -composite
           -gravity north -font "$regular" -pointsize 10 -fill '#7d88bb' -annotate +0+314 "$hint")

    # Baseline, no metadata: the dialog's decoder and older viewers both take it.
    convert "${args[@]}" -strip -interlace none -sampling-factor 4:2:0 -quality 90 "jpeg:$out"
}

check_picture() {
    local out="$1" info
    info="$(identify -format '%w %h %[interlace] %m' "$out")"
    [[ "$info" == "$width $height None JPEG" ]] || { echo "make-pictures: $out is '$info'" >&2; exit 1; }
}

build_sky

render_page "$here/donate-en.jpg" \
    "Support Velora Skyshow" \
    "Velora Skyshow is free and has no ads." \
    "If the stars brighten your screen, chip in!" \
    "Suggested gift" '$5' "We accept" "Donate" \
    "Click anywhere to open the donation page" \
    "PayPal|#0a6fc2|white|86" "Visa|#1a1f71|#f7b600|70" "Mastercard|#2b2b2b|#ff9f1a|104"
check_picture "$here/donate-en.jpg"

render_page "$here/donate-ru.jpg" \
    "Поддержите Velora Skyshow" \
    "Заставка Velora Skyshow бесплатна." \
    "Нравятся звёзды? Помогите проекту!" \
    "Рекомендуемая сумма" "300 ₽" "Принимаем" "Пожертвовать" \
    "Нажмите в любом месте, чтобы открыть страницу" \
    "ЮMoney|#7b3ff2|white|80" "Visa|#1a1f71|#f7b600|56" "Mastercard|#2b2b2b|#ff9f1a|96" \
    "МИР|#0f754e|white|56"
check_picture "$here/donate-ru.jpg"

# The 48x48 icon for desktops without SVG support; no timestamps, so an
# unchanged icon renders to identical bytes.
convert -background none -density 96 "$here/velora-skyshow.svg" -resize 48x48 -strip \
    -define png:exclude-chunks=date,time "png32:$here/velora-skyshow.png"
[[ "$(identify -format '%w %h' "$here/velora-skyshow.png")" == "48 48" ]] ||
    { echo "make-pictures: icon is not 48x48" >&2; exit 1; }

echo "make-pictures: wrote donate-en.jpg, donate-ru.jpg and velora-skyshow.png in $here"
