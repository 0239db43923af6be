#!/usr/bin/env bash
# Reads help.chm back with chmlib's extract_chmLib (a second CHM reader):
# every page of help/ must be in it, in GB2312 with that charset declared,
# with the text of its source, and every link and contents entry must name a
# page that is there.
#   help_check.sh HELP_CHM SOURCE_HELP_DIR WORK_DIR
set -uo pipefail
chm=$1 src=$2 work=$3
command -v extract_chmLib >/dev/null || { echo "extract_chmLib missing (libchm-bin): skipped"; exit 77; }
rm -rf "$work"
mkdir -p "$work"
extract_chmLib "$chm" "$work" >/dev/null || { echo "FAIL: extract_chmLib cannot read $chm" >&2; exit 1; }
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pages=0
for page in "$src"/*.html "$src"/*.hhc; do
  name=$(basename "$page")
  pages=$((pages + 1))
  [ -f "$work/$name" ] || { fail "$name is not in help.chm"; continue; }
  decoded=$(iconv -f GB2312 -t UTF-8 "$work/$name") || { fail "$name is not GB2312"; continue; }
  grep -q 'charset=gb2312' <<<"$decoded" || fail "$name does not declare charset=gb2312"
  [ "$decoded" = "$(sed 's/charset=utf-8/charset=gb2312/' "$page")" ] || fail "$name differs from its source"
  for target in $(grep -o -e 'href="[^"#]*' -e 'name="Local" value="[^"]*' <<<"$decoded" | sed 's/.*"//'); do
    [ -f "$work/$target" ] || fail "$name links to $target, which is not in help.chm"
  done
done
[ "$pages" -ge 5 ] || fail "only $pages pages in $src"
# The program opens help.chm beside itself with no topic named: the default
# topic must be a page of the file.
grep -aq "index.html" "$work/#SYSTEM" || fail "help.chm names no default topic index.html"
if [ "$failures" -gt 0 ]; then exit 1; fi
echo "help_check: $pages pages read back"
