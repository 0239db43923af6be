#!/usr/bin/env bash
# No file is lost and no failure passes for success: a source that is
# missing or no GIF, a page that would be its own source, a link at the
# movie's path, a file-size limit and a full disk, each next to a good movie
# that must stay exactly as it was, with the exit status and message.
#   keep_files.sh TERVANO WORK_DIR FIXTURE_GIF_DIR
# A small tmpfs is mounted for the full disk when run as root (skipped
# otherwise); it is unmounted again whatever happens.
set -uo pipefail

tervano=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$2
fixtures=$(realpath "$3")
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
export TERVANO_CONFIG_DIR="$work/store"  # nothing stored: every option off
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
run() {
  "$tervano" "$@" </dev/null >out.txt 2>err.txt
  rc=$?
  err=$(cat err.txt)
}
# Only the named files are in folder $1.
only() {
  local folder=$1
  shift
  local want got
  want=$(printf '%s\n' "$@" | sort)
  got=$(ls -A "$folder" | sort)
  [ "$got" = "$want" ] || fail "$folder holds: $(echo $got)"
}

"$tervano" -q -o ref "$fixtures/luma_clock.gif" "$fixtures/yahoo_moneyeyes.gif" "$fixtures/qip_af.gif" \
  || { echo "FAIL: reference movies"; exit 1; }
keep=ref/luma_clock.swf  # the good movie that must survive

# --- Missing source, and a text file named .gif: no movie over a good one ---
mkdir bad
printf 'hello\n' >bad/text.gif
for name in missing text; do
  for mode in quiet plain; do
    cp "$keep" "bad/$name.swf"
    if [ $mode = quiet ]; then run -quite "bad/$name.gif"; else run "bad/$name.gif"; fi
    [ "$rc" = 1 ] || fail "$name ($mode): exit $rc, not 1"
    cmp -s "$keep" "bad/$name.swf" || fail "$name ($mode): the good movie was replaced"
    if [ $mode = quiet ]; then
      [ -z "$err" ] || fail "$name (quiet) printed '$err'"
    else
      want="tervano: bad/$name.gif: No such file or directory"
      [ $name = text ] && want="tervano: bad/$name.gif: not a GIF file"
      [ "$err" = "$want" ] || fail "$name: stderr '$err'"
    fi
  done
done
only bad missing.swf text.gif text.swf

# --- A GIF named pic.htm with pages on: its page would be the GIF itself ---
mkdir page
cp "$fixtures/yahoo_moneyeyes.gif" page/pic.htm
run --html page/pic.htm
[ "$rc" = 1 ] && [ "$err" = "tervano: page/pic.htm: the page page/pic.htm would replace the GIF itself" ] \
  || fail "--html pic.htm: exit $rc, '$err'"
run --html --save-options
run -quite page/pic.htm
[ "$rc" = 1 ] && [ -z "$err" ] || fail "-quite pic.htm with pages on: exit $rc, '$err'"
cmp -s "$fixtures/yahoo_moneyeyes.gif" page/pic.htm || fail "pic.htm: the GIF was replaced"
only page pic.htm
rm -rf store

# --- A link at the movie's path is replaced, its target never written ---
mkdir link
cp "$fixtures/yahoo_moneyeyes.gif" link/a.gif
echo mine >link/target.txt
ln -s target.txt link/a.swf
run link/a.gif
[ "$rc" = 0 ] || fail "link: exit $rc ($err)"
[ -L link/a.swf ] && fail "link: still a link"
cmp -s ref/yahoo_moneyeyes.swf link/a.swf || fail "link: not the movie"
[ "$(cat link/target.txt)" = mine ] || fail "link: its target was written"
only link a.gif a.swf target.txt

# --- A file-size limit between body and movie (SIGXFSZ ignored, so the ---
# write fails with EFBIG). The limit counts 1024-byte blocks; the address of
# the link button (one byte of movie per byte of address) pads some fixture's
# movie to 8 bytes past a multiple of them, so that its body (the movie
# without its header of 17 bytes or more) still fits under the limit.
mkdir limit
found=
for gif in "$fixtures"/*.gif; do
  run --url "$(printf 'u%.0s' $(seq 100))" -o probe "$gif"
  base=$(basename "$gif" .gif)
  size=$(stat -c %s "probe/$base.swf" 2>/dev/null) || continue
  length=$(( 100 + (1024 + 8 - size % 1024) % 1024 ))
  [ "$length" -le 259 ] || continue
  url=$(printf 'v%.0s' $(seq "$length"))
  run --url "$url" -o probe "$gif"
  size=$(stat -c %s "probe/$base.swf")
  if [ $((size % 1024)) = 8 ]; then
    found=$gif
    break
  fi
done
if [ -z "$found" ]; then
  fail "limit: no fixture's movie could be sized"
else
  cp "$found" limit/a.gif
  cp "$keep" limit/a.swf
  (trap '' XFSZ; ulimit -f $((size / 1024)); exec "$tervano" --url "$url" limit/a.gif) </dev/null >out.txt 2>err.txt
  rc=$?
  err=$(cat err.txt)
  [ "$rc" = 1 ] && [ "$err" = "tervano: limit/a.gif: cannot write limit/a.swf: File too large" ] \
    || fail "limit: exit $rc, '$err'"
  cmp -s "$keep" limit/a.swf || fail "limit: the good movie was replaced"
  only limit a.gif a.swf
fi

# --- A disk too small for the movie ---
if [ "$(id -u)" = 0 ] && mkdir small && mount -t tmpfs -o size=12k tervano-test "$work/small" 2>/dev/null; then
  trap 'umount "$work/small" 2>/dev/null' EXIT
  cp "$fixtures/qip_af.gif" big.gif
  cp ref/yahoo_moneyeyes.swf small/big.swf
  for mode in plain html; do
    flags=(-o small)
    [ $mode = html ] && flags+=(--html)
    run "${flags[@]}" big.gif
    [ "$rc" = 1 ] && [ "$err" = "tervano: big.gif: cannot write small/big.swf: No space left on device" ] \
      || fail "full disk ($mode): exit $rc, '$err'"
    cmp -s ref/yahoo_moneyeyes.swf small/big.swf || fail "full disk ($mode): the good movie was replaced"
    only small big.swf
  done
  umount "$work/small" || fail "cannot unmount the small disk"
  trap - EXIT
else
  echo "note: full disk not checked (needs root and tmpfs)"
fi

if [ "$failures" -gt 0 ]; then
  echo "keep files: $failures failure(s)"
  exit 1
fi
echo "keep files: all passed"
