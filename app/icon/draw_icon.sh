#!/bin/sh
# Draws Pellwick's application icon with ImageMagick and writes it as a Windows .ico with
# the sizes Explorer, the taskbar and the installer ask for, and, when asked, the picture
# of the installer's welcome and finish pages:
#
#   app/icon/draw_icon.sh <out.ico> [<welcome.bmp>]
#
# A globe (one folder, on the network) with the control window's status lamp in front of
# it: the lamp's green disc of a running server, RGB(0,200,0), in its RGB(60,60,60) ring.
# Drawn once at 256 pixels; the smaller sizes are scaled from it. The build runs this, so
# the icon is never kept as a binary in the repository.
#
# The welcome picture is the installer's left panel, 164x314: the icon on a band of the
# globe's blue, as a 24-bit BMP without alpha, the only kind the installer shows.
set -eu
[ $# -eq 1 ] || [ $# -eq 2 ] || { echo "usage: $0 <out.ico> [<welcome.bmp>]" >&2; exit 2; }
work=$(mktemp -d "${TMPDIR:-/tmp}/pellwick-icon.XXXXXX")
trap 'rm -rf "$work"' EXIT

convert -size 256x256 xc:none \
    -fill '#2f6fb5' -stroke '#173a63' -strokewidth 8 -draw 'circle 112,112 112,14' \
    -fill none -stroke '#cfe3f7' -strokewidth 7 \
    -draw 'ellipse 112,112 40,94 0,360' \
    -draw 'line 20,112 204,112' \
    -draw 'line 112,20 112,204' \
    -draw 'ellipse 112,58 76,1 0,360' \
    -draw 'ellipse 112,166 76,1 0,360' \
    -fill 'rgb(0,200,0)' -stroke 'rgb(60,60,60)' -strokewidth 12 -draw 'circle 190,190 190,134' \
    -fill none -stroke '#8ff08f' -strokewidth 7 -draw 'arc 152,152 212,212 200,260' \
    -depth 8 "$work/icon-256.png"
# No time stamps in the PNG inside the .ico: the same source gives the same bytes.
convert "$work/icon-256.png" -define png:exclude-chunks=date,time \
    -define icon:auto-resize=256,64,48,32,24,16 "$1"

if [ $# -eq 2 ]; then
    convert -size 164x314 gradient:'#dbe9f7-#2f6fb5' \
        \( "$work/icon-256.png" -resize 136x136 \) -geometry +14+40 -composite \
        -fill '#ffffff' -stroke none -draw 'rectangle 14,200 150,203' \
        -fill 'rgb(0,200,0)' -draw 'rectangle 14,208 60,211' \
        -alpha off -type TrueColor "BMP3:$2"
fi
