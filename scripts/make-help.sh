#!/usr/bin/env bash
# Compiles the help pages of help/ into help.chm.
#   scripts/make-help.sh OUT_DIR
# The pages are kept in UTF-8; the help viewer reads the contents file in
# the code page of the help's language (936), so everything is converted to
# GB2312 first.
set -euo pipefail
src="$(cd "$(dirname "$0")/.." && pwd)/help"
out="$1"
work="$out/help-src"
rm -rf "$work"
mkdir -p "$work"
for f in "$src"/*; do
  name=$(basename "$f")
  case "$name" in
    *.html|*.hhc|*.hhp)
      sed 's/charset=utf-8/charset=gb2312/' "$f" | iconv -f UTF-8 -t GB2312 >"$work/$name" ;;
    *) cp "$f" "$work/$name" ;;
  esac
done
( cd "$work" && chmcmd tervano.hhp >chmcmd.log 2>&1 ) || { cat "$work/chmcmd.log" >&2; exit 1; }
[ -s "$work/help.chm" ] || { cat "$work/chmcmd.log" >&2; echo "make-help: no help.chm" >&2; exit 1; }
mv "$work/help.chm" "$out/help.chm"
