#!/usr/bin/env bash
# Gives the Wine prefix in $WINEPREFIX Korean fonts as a Korean workstation has them: the
# update window's font "굴림" becomes NanumGothic (fonts-nanum), and the fonts Wine draws
# captions and dialogs with fall back to it for Hangul, whatever the prefix's code page.
set -euo pipefail
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
# regedit reads UTF-16 with a byte-order mark; the Korean names survive that way.
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
  printf '"굴림"="NanumGothic"\r\n"Gulim"="NanumGothic"\r\n\r\n'
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\r\n'
  for face in Tahoma "Microsoft Sans Serif" "MS Shell Dlg" "MS Shell Dlg 2"; do
    # A REG_MULTI_SZ of one entry "file,face", written as its UTF-16 bytes.
    hex=$(printf 'NanumGothic.ttf,NanumGothic' | iconv -t UTF-16LE | od -An -tx1 | tr -s ' \n' ',' |
          sed 's/^,//; s/,$//')
    printf '"%s"=hex(7):%s,00,00,00,00\r\n' "$face" "$hex"
  done
} | iconv -f UTF-8 -t UTF-16 >"$reg"
WINEDEBUG=-all wine regedit /S "$reg"
wineserver -w
