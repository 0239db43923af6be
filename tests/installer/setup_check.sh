#!/usr/bin/env bash
# Unpacks a Tervano setup with 7-Zip and checks what it carries: exactly the
# build's program, help file and extension DLLs, byte for byte, each of the
# machine type its name stands for (read from its PE header). 64-bit
# Explorer loads only a 64-bit extension, so every setup carries
# tervano_ctx64.dll.
#   setup_check.sh SETUP EXE HELP_CHM CTX64_DLL [CTX32_DLL]
# With CTX32_DLL (the 32-bit setup) the program and tervano_ctx.dll are
# i386; without it (the x64 setup) the program is AMD64 and there is no
# tervano_ctx.dll.
set -uo pipefail
setup=$1 exe=$2 help=$3 ctx64=$4 ctx32=${5:-}
command -v 7z >/dev/null || { echo "7z missing (p7zip-full): skipped"; exit 77; }
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# IMAGE_FILE_HEADER.Machine as 4 hex digits: 014c i386, 8664 AMD64.
pe_machine() {
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  [ -n "$offset" ] && [ "$(od -An -c -j"$offset" -N2 "$1" | tr -d ' ')" = PE ] || { echo none; return; }
  od -An -tx1 -j$((offset + 4)) -N2 "$1" | awk '{print $2 $1}'
}

declare -A built machine
built[tervano.exe]=$exe
built[help.chm]=$help
built[tervano_ctx64.dll]=$ctx64
machine[tervano_ctx64.dll]=8664
if [ -n "$ctx32" ]; then
  built[tervano_ctx.dll]=$ctx32
  machine[tervano_ctx.dll]=014c
  machine[tervano.exe]=014c
else
  machine[tervano.exe]=8664
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
7z x -y -o"$work" "$setup" >"$work.log" 2>&1 || { fail "7z cannot unpack $setup: $(tail -3 "$work.log")"; }
rm -f "$work.log"

# The installer's own plug-ins and uninstaller aside; "X.new" is the copy of
# X that an upgrade puts beside a DLL that Explorer holds loaded.
names=$(cd "$work" && find . -type f ! -path './$PLUGINSDIR/*' ! -name uninstall.exe | sed 's|^\./||' | sort)
expected=$(printf '%s\n' "${!built[@]}" | sort)
[ "$(grep -v '\.new$' <<<"$names")" = "$expected" ] ||
  fail "the setup carries [$(tr '\n' ' ' <<<"$names")], expected [$(tr '\n' ' ' <<<"$expected")]"
for name in $names; do
  base=${name%.new}
  [ -n "${built[$base]:-}" ] || continue
  cmp -s "${built[$base]}" "$work/$name" || fail "$name in the setup is not the build's ${built[$base]}"
done
for name in "${!machine[@]}"; do
  got=$(pe_machine "$work/$name" 2>/dev/null)
  [ "$got" = "${machine[$name]}" ] || fail "$name is for machine $got, expected ${machine[$name]}"
done

if [ "$failures" -gt 0 ]; then exit 1; fi
echo "setup_check: $(basename "$setup") carries $(tr '\n' ' ' <<<"$expected")"
