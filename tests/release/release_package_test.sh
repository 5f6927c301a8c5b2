#!/usr/bin/env bash
# The release a PC-9821 user carries to the machine: tools/package packs the shipped 32-bit
# programs into a temporary folder; the floppy image is read back with mtools and the ZIP
# with unzip, and every file must come back byte for byte. The image's size and boot
# sector are checked against the PC-98 1.25 MB 2HD format.
# Arguments: the source tree and the folder of the shipped programs.
set -uo pipefail
src=$1 dist=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export MTOOLS_SKIP_CHECK=1
failures=0
check() {  # check WHAT COMMAND...: one verdict per line, the run fails at the end
  local what=$1; shift
  if "$@"; then echo "ok - $what"; else echo "FAILED - $what"; failures=$((failures + 1)); fi
}
same() { [ "$1" = "$2" ] || { echo "    got: $1"; echo "    expected: $2"; false; }; }

rel=$work/release
"$src/tools/package" "$dist" "$rel" || { echo "FAILED - tools/package"; exit 1; }
readme=$rel/README.TXT zip=$rel/ZANRO100.ZIP img=$rel/ZANRO100.HDM
check "the release holds README.TXT, the ZIP and the image, nothing else" \
  same "$(cd "$rel" && ls | tr '\n' ' ')" "README.TXT ZANRO100.HDM ZANRO100.ZIP "

# README.TXT: Shift-JIS with CR LF, and nothing but the text of its source.
check "README.TXT: every line ends in CR LF" \
  same "$(tr -cd '\n' <"$readme" | wc -c)" "$(grep -c $'\r$' "$readme")"
check "README.TXT: CP932 text of the source" \
  cmp -s <(iconv -f CP932 -t UTF-8 "$readme" | tr -d '\r') "$src/tools/release/README.TXT.utf8"
# 画面のプロパティ as CP932 bytes: the text really is Shift-JIS, not UTF-8 that happens to
# decode.
check "README.TXT: 画面のプロパティ in Shift-JIS" \
  grep -q $'\x89\xe6\x96\xca\x82\xcc\x83\x76\x83\x8d\x83\x70\x83\x65\x83\x42' "$readme"
# The version the README gives is the one ZANDEL.EXE carries: the value after "FileVersion"
# in its version resource (UTF-16; the value is ASCII, so its zero bytes can go).
key=$(LC_ALL=C grep -obUaP 'F\x00i\x00l\x00e\x00V\x00e\x00r\x00s\x00i\x00o\x00n\x00\x00\x00' \
      "$dist/ZANDEL.EXE" | head -1 | cut -d: -f1)
version=$(dd if="$dist/ZANDEL.EXE" bs=1 skip=$((${key:-0} + 24)) count=40 status=none |
          tr -d '\0' | grep -aoE '^[0-9][0-9, ]*[0-9]' || true)
check "README.TXT names ZANDEL.EXE's version ($version)" \
  grep -qF "バージョン ${version:-none}" <(iconv -f CP932 -t UTF-8 "$readme")

# The image: size and boot sector fields at their offsets, little-endian.
field() {  # field OFFSET LENGTH: the unsigned value stored there
  od -An -tu1 -j "$1" -N "$2" "$img" | awk '{ for (i = NF; i >= 1; i--) v = v * 256 + $i; print v }'
}
check "image size 77 x 2 x 8 x 1024" same "$(stat -c %s "$img")" 1261568
bpb=(
  # offset length expected  what
  "0   1 235  jump instruction (EB)"
  "11  2 1024 bytes per sector"
  "13  1 1    sectors per cluster"
  "14  2 1    reserved sectors"
  "16  1 2    FATs"
  "17  2 192  root directory entries"
  "19  2 1232 sectors"
  "21  1 254  media byte (FE)"
  "22  2 2    sectors per FAT"
  "24  2 8    sectors per track"
  "26  2 2    heads"
  "28  4 0    hidden sectors"
  "510 2 43605 boot signature (55 AA)"
  "1024 3 16777214 first FAT begins FE FF FF"
  "3072 3 16777214 second FAT begins FE FF FF"
)
for row in "${bpb[@]}"; do
  read -r offset length expected what <<<"$row"
  check "image: $what" same "$(field "$offset" "$length")" "$expected"
done
# The root directory follows the boot sector and the two FATs. Only 8.3 entries: a long
# name entry (attribute 0F) would show as a mangled name under PC-98 MS-DOS.
root=$(( (1 + 2 * 2) * 1024 ))
entries=$(for i in $(seq 0 191); do
  at=$((root + i * 32))
  first=$(field "$at" 1)
  [ "$first" = 0 ] && break
  [ "$first" = 229 ] && continue
  printf '%s/%02X ' "$(dd if="$img" bs=1 skip="$at" count=11 status=none | tr -c ' -~' '?')" "$(field $((at + 11)) 1)"
done)
check "image: root directory entries (name/attribute)" \
  same "$entries" "ZANRO      /08 ZANDEL  EXE/20 ZANUTL  DLL/20 README  TXT/20 "

# Both containers give back the very files.
mkdir -p "$work/hdm" "$work/zip"
check "image read back by mtools" mcopy -n -i "$img" ::/ZANDEL.EXE ::/ZANUTL.DLL ::/README.TXT "$work/hdm/"
check "ZIP entries" same "$(unzip -Z1 "$zip" | tr '\n' ' ')" "ZANDEL.EXE ZANUTL.DLL README.TXT "
check "ZIP read back by unzip" unzip -q "$zip" -d "$work/zip"
for from in hdm zip; do
  for file in ZANDEL.EXE ZANUTL.DLL README.TXT; do
    expected=$dist/$file
    [ "$file" = README.TXT ] && expected=$readme
    check "$from: $file byte for byte" cmp "$work/$from/$file" "$expected"
  done
done

echo "$failures failed"
[ "$failures" -eq 0 ]
