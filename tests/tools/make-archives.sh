#!/usr/bin/env bash
# Writes the 7z archives the extraction tests open, with p7zip's 7z.
# usage: make-archives.sh OUT_DIR
set -euo pipefail
OUT=$1
rm -rf "$OUT" && mkdir -p "$OUT"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

tree="$work/tree"
mkdir -p "$tree/docs/深层 目录/three" "$tree/empty folder"
printf 'top level\r\n' >"$tree/readme.txt"
printf '中文内容\r\n' >"$tree/docs/说明 文件.txt"
head -c 300000 /dev/zero | tr '\0' 'k' >"$tree/docs/深层 目录/three/long.log"
(cd "$tree" && 7z a -t7z -mx=5 "$OUT/tree.7z" . >/dev/null)

printf 'nameless content\n' | 7z a -t7z -si "$OUT/nameless.7z" >/dev/null
(cd "$tree" && 7z a -t7z -pSecret "$OUT/password.7z" readme.txt >/dev/null)
(cd "$tree" && 7z a -t7z -pSecret -mhe=on "$OUT/password-header.7z" readme.txt >/dev/null)
size=$(stat -c %s "$OUT/tree.7z")
head -c $((size / 2)) "$OUT/tree.7z" >"$OUT/truncated.7z"

# Stored, not compressed, so one flipped byte spoils the checksum of the
# middle item only and the archive itself still opens.
crc="$work/crc"
mkdir -p "$crc"
printf 'first payload\r\n' >"$crc/a.txt"
printf 'second payload, the damaged one\r\n' >"$crc/b.txt"
printf 'third payload\r\n' >"$crc/c.txt"
(cd "$crc" && 7z a -t7z -mx=0 "$OUT/crc.7z" a.txt b.txt c.txt >/dev/null)
at=$(grep -obUa 'second payload' "$OUT/crc.7z" | cut -d: -f1)
printf 'S' | dd of="$OUT/crc.7z" bs=1 seek="$at" conv=notrunc status=none
