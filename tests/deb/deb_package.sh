#!/usr/bin/env bash
# The Debian package, built by scripts/make-deb.sh, checked as a user gets it:
# lintian, its control fields and contents, unpacked into a scratch root,
# and the program unpacked there converting the samples and fixtures into
# the same movies and pages as the program of this build.
#   deb_package.sh MAKE_DEB TERVANO WORK_DIR SOURCE_DIR SAMPLES_DIR FIXTURE_GIF_DIR
# Writes only under WORK_DIR. Exits 77 when the packaging tools are missing.
set -uo pipefail

make_deb=$1
tervano=$(realpath "$2")
work=$3
source_dir=$(realpath "$4")
samples=$(realpath "$5")
fixtures=$(realpath "$6")

for tool in dpkg-buildpackage dh lintian; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "deb package: $tool is missing (scripts/install-deps.sh --all installs it); skipped"
    exit 77
  fi
done

rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

t0=$(date +%s)
# --strict: lintian's warnings fail too; the package is clean today and
# should stay so.
if ! bash "$make_deb" --out "$work/out" --strict </dev/null; then
  echo "FAIL: scripts/make-deb.sh failed"
  exit 1
fi
echo "package built in $(( $(date +%s) - t0 )) s"
shopt -s nullglob
debs=("$work"/out/tervano_*.deb)
if [ "${#debs[@]}" -ne 1 ]; then
  echo "FAIL: expected one package in $work/out, found ${#debs[@]}"
  exit 1
fi
deb=${debs[0]}
version=$(sed -nE 's/^project\(tervano VERSION ([0-9.]+).*/\1/p' "$source_dir/CMakeLists.txt")
[ "$(basename "$deb")" = "tervano_${version}-1_$(dpkg --print-architecture).deb" ] \
  || fail "package named $(basename "$deb")"

# --- Contents ---
dpkg-deb -c "$deb" | awk '{print $1, $NF}' >"$work/contents.txt"
for f in usr/bin/tervano usr/share/man/man1/tervano.1.gz \
         usr/share/bash-completion/completions/tervano \
         usr/share/doc/tervano/copyright usr/share/doc/tervano/changelog.Debian.gz; do
  grep -q " \./$f\$" "$work/contents.txt" || fail "the package has no /$f"
done

root="$work/root"
dpkg-deb -x "$deb" "$root" || { echo "FAIL: dpkg-deb -x"; exit 1; }
installed="$root/usr/bin/tervano"
[ -x "$installed" ] || { echo "FAIL: no program in the unpacked package"; exit 1; }
zcat "$root/usr/share/man/man1/tervano.1.gz" | cmp -s - "$source_dir/docs/tervano.1" \
  || fail "the packaged manual page is not docs/tervano.1"
cmp -s "$root/usr/share/bash-completion/completions/tervano" "$source_dir/docs/tervano.bash-completion" \
  || fail "the packaged completion is not docs/tervano.bash-completion"

# --- Depends: the package of every library the program loads, nothing else ---
# Found through the dynamic loader and the dpkg database, not the shlibs
# files dpkg-shlibdeps reads.
owner() {  # the package that installed library path $1 (usr-merged or not)
  local p=$1 real q pkg
  real=$(realpath "$p")
  for q in "$p" "$real" "${p#/usr}" "/usr$p" "${real#/usr}"; do
    pkg=$(dpkg-query -S "$q" 2>/dev/null | head -n1 | cut -d: -f1)
    if [ -n "$pkg" ]; then echo "$pkg"; return 0; fi
  done
  return 1
}
needed=$(ldd "$installed" | awk '$2 == "=>" { print $3 } $1 ~ /^\// { print $1 }' | sort -u)
[ -n "$needed" ] || fail "ldd lists no library of the program"
expected=""
for lib in $needed; do
  pkg=$(owner "$lib") || { fail "no package owns $lib"; continue; }
  expected+="$pkg"$'\n'
done
expected=$(sort -u <<<"$expected" | sed '/^$/d')
depends=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed -E 's/^ *//; s/ .*//' | sed '/^$/d' | sort -u)
[ "$depends" = "$expected" ] \
  || fail "Depends lists [$(echo $depends)], the program loads libraries of [$(echo $expected)]"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

# --- The unpacked program converts as this build's program does ---
gifs=("$samples"/*.gif "$fixtures"/*.gif)
[ "${#gifs[@]}" -gt 0 ] || fail "no GIFs to convert"
convert() {  # convert NAME PROGRAM FLAGS...: movies into $work/NAME
  local name=$1 program=$2
  shift 2
  TERVANO_CONFIG_DIR="$work/config-$name" HOME="$work/home" \
    "$program" -q -o "$work/$name" "$@" "${gifs[@]}" </dev/null >"$work/$name.log" 2>&1 \
    || fail "$program $* exited non-zero: $(cat "$work/$name.log")"
}
same_tree() {
  local a=$1 b=$2 n
  n=$(find "$work/$a" -type f | wc -l)
  [ "$n" -ge "${#gifs[@]}" ] || fail "$a: $n files for ${#gifs[@]} GIFs"
  diff -r "$work/$a" "$work/$b" >/dev/null || fail "$a and $b differ: $(diff -rq "$work/$a" "$work/$b" | head -n3)"
}
convert installed-plain "$installed"
convert build-plain "$tervano"
same_tree installed-plain build-plain
flags=(--html --loop 3 --url 'https://example.org/?a=1&b=2' --border --gif-background --protect)
convert installed-flags "$installed" "${flags[@]}"
convert build-flags "$tervano" "${flags[@]}"
same_tree installed-flags build-flags
[ "$(find "$work/installed-flags" -name '*.htm' | wc -l)" -eq "${#gifs[@]}" ] \
  || fail "installed program: not one page per GIF"

echo "deb package: $(basename "$deb"), ${#gifs[@]} GIFs converted twice, $failures failure(s), $(( $(date +%s) - t0 )) s"
[ "$failures" -eq 0 ]
