#!/usr/bin/env bash
# Unpacks a Tervano setup with 7-Zip: it must carry exactly the build's
# program, help file and extension DLLs, byte for byte, each for the machine
# (PE header) its name stands for. 64-bit Explorer loads only
# tervano_ctx64.dll, so every setup carries it.
#   setup_check.sh SETUP EXE HELP_CHM CTX64_DLL [CTX32_DLL]
# With CTX32_DLL (the 32-bit setup) the program is i386, else AMD64.
set -uo pipefail
setup=$1
command -v 7z >/dev/null || { echo "7z missing (p7zip-full): skipped"; exit 77; }
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
# IMAGE_FILE_HEADER.Machine: 014c i386, 8664 AMD64.
machine() {
  local at; at=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
  od -An -tx1 -j$((at + 4)) -N2 "$1" | awk '{print $2 $1}'
}
declare -A built=([tervano.exe]=$2 [help.chm]=$3 [tervano_ctx64.dll]=$4)
declare -A arch=([tervano.exe]=8664 [tervano_ctx64.dll]=8664)
if [ -n "${5:-}" ]; then
  built[tervano_ctx.dll]=$5
  arch[tervano_ctx.dll]=014c arch[tervano.exe]=014c
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
7z x -y -o"$work" "$setup" >/dev/null || fail "7z cannot unpack $setup"
# Besides: NSIS's plug-ins, the uninstaller, and "X.new", the copy of X
# that an upgrade puts beside a DLL Explorer holds loaded.
names=$(cd "$work" && find . -type f ! -path './$PLUGINSDIR/*' ! -name uninstall.exe ! -name '*.new' | cut -c3- | sort)
[ "$names" = "$(printf '%s\n' "${!built[@]}" | sort)" ] || fail "the setup carries [$(echo $names)]"
for name in "${!built[@]}"; do
  cmp -s "${built[$name]}" "$work/$name" || fail "$name in the setup is not the build's ${built[$name]}"
  [ -z "${arch[$name]:-}" ] || [ "$(machine "$work/$name" 2>/dev/null)" = "${arch[$name]}" ] ||
    fail "$name is not for machine ${arch[$name]}"
done
[ "$failures" = 0 ] && echo "setup_check: $(basename "$setup") carries $(echo $names)"
