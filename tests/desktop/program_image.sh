#!/usr/bin/env bash
# What Windows reads from tervano.exe before any of its code runs, read back
# with tools of their own (binutils' objdump, icoutils' wrestool, libxml2's
# xmllint):
# - the import table names no DLL and no DPI function newer than Windows 7,
#   so the program still starts on the Windows 7 and 8.1 its manifest names
#   (Wine has every function, so a start under Wine would not tell);
# - the manifest, resource 1 of type 24, is well-formed XML that asks for no
#   elevation, names Windows 7 to 11, Common Controls 6 and per-monitor DPI
#   awareness (version 2 first), each in the namespace Windows looks in, and
#   leaves long paths off;
# - the program icon carries the small and big sizes of 100 to 200 %.
#   program_image.sh OBJDUMP PROGRAM.exe
set -euo pipefail

objdump=$1
program=$2
for tool in wrestool icotool xmllint; do
  command -v "$tool" >/dev/null || { echo "program_image: $tool missing (scripts/install-deps.sh --all)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
expect() {  # WHAT EXPECTED GOT
  if [ "$3" = "$2" ]; then pass "$1"; else fail "$1: expected '$2', got '$3'"; fi
}
# xpath EXPRESSION: its string value in the manifest.
xpath() { xmllint --xpath "string($1)" "$work/manifest.xml" 2>/dev/null || true; }
# The element named $1 in namespace $2, matched as Windows matches it.
el() { echo "//*[local-name()='$1' and namespace-uri()='$2']"; }

# ---- import table: "DLL Name: X" then one line per imported name
"$objdump" -p "$program" | awk '
  /^[ \t]*DLL Name:/ { dll = $3; print "dll " dll; next }
  /^[ \t]*$/ { dll = "" }
  dll != "" && /^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_]/ { print "fn " dll " " $3 }
' >"$work/imports"
# Guard against reading nothing: the dialog calls must be there.
if grep -qix 'fn user32.dll CreateDialogParamA' "$work/imports"; then
  pass "import table read ($(grep -c '^fn ' "$work/imports") names)"
else
  fail "import table not understood: no CreateDialogParamA from USER32.dll"
fi
newer_dlls=$(grep -iE '^dll (shcore\.dll|api-ms-win-|ext-ms-win-)' "$work/imports" || true)
[ -z "$newer_dlls" ] && pass "no DLL newer than Windows 7" || fail "DLLs newer than Windows 7: $newer_dlls"
# Every DPI function but the two of Windows Vista arrived after Windows 7.
newer_dpi=$(grep -i '^fn .*dpi' "$work/imports" | grep -viE ' (SetProcessDPIAware|IsProcessDPIAware)$' || true)
[ -z "$newer_dpi" ] && pass "no DPI function imported" || fail "DPI functions imported, to be looked up at run time: $newer_dpi"

# ---- manifest
types=$(wrestool -l "$program" | grep -c -- '--type=24 ' || true)
[ "$types" = 1 ] && pass "one manifest resource" || fail "$types manifest resources"
if ! wrestool -x --raw -t 24 -n 1 "$program" >"$work/manifest.xml" || [ ! -s "$work/manifest.xml" ]; then
  fail "no resource 1 of type 24"
elif ! xmllint --noout "$work/manifest.xml" 2>"$work/xml.err"; then
  fail "manifest is not well-formed XML (Windows would refuse to start it): $(cat "$work/xml.err")"
else
  pass "manifest is well-formed"
  asm1=urn:schemas-microsoft-com:asm.v1
  asm3=urn:schemas-microsoft-com:asm.v3
  compat=urn:schemas-microsoft-com:compatibility.v1
  expect "root is an asm.v1 assembly, version 1.0" "1.0" "$(xpath "/*[local-name()='assembly' and namespace-uri()='$asm1']/@manifestVersion")"
  expect "runs as the user who starts it" "asInvoker" \
    "$(xpath "$(el trustInfo "$asm3")//*[local-name()='requestedExecutionLevel' and namespace-uri()='$asm3']/@level")"
  expect "without UI access" "false" "$(xpath "$(el requestedExecutionLevel "$asm3")/@uiAccess")"
  # Windows 10/11, 8.1, 8 and 7, as Microsoft lists their identifiers.
  want=$(printf '%s\n' '{35138b9a-5d96-4fbd-8e2d-a2440225f93a}' '{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}' \
    '{1f676c76-80e1-4239-95bb-83d0f6d0da78}' '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' | sort)
  count=$(xpath "count($(el compatibility "$compat")/*[local-name()='application']/*[local-name()='supportedOS' and namespace-uri()='$compat'])")
  got=$(for i in $(seq 1 "${count:-0}"); do
          echo "$(xpath "($(el compatibility "$compat")//*[local-name()='supportedOS'])[$i]/@Id")"
        done | tr 'A-F' 'a-f' | sort)
  expect "supported systems: Windows 7, 8, 8.1, 10 and 11" "$want" "$got"
  controls="$(el dependentAssembly "$asm1")/*[local-name()='assemblyIdentity' and @name='Microsoft.Windows.Common-Controls']"
  expect "Common Controls version" "6.0.0.0" "$(xpath "$controls/@version")"
  expect "Common Controls for any processor" "*" "$(xpath "$controls/@processorArchitecture")"
  expect "Common Controls key" "6595b64144ccf1df" "$(xpath "$controls/@publicKeyToken")"
  expect "Common Controls type" "win32" "$(xpath "$controls/@type")"
  settings="$(el application "$asm3")/*[local-name()='windowsSettings' and namespace-uri()='$asm3']"
  aware=$(xpath "normalize-space($settings/*[local-name()='dpiAware' and namespace-uri()='http://schemas.microsoft.com/SMI/2005/WindowsSettings'])")
  expect "dpiAware (per monitor from Windows 8.1)" "true/pm" "$(echo "$aware" | tr 'A-Z' 'a-z')"
  expect "dpiAwareness (version 2 first, Windows 10)" "PerMonitorV2, PerMonitor" \
    "$(xpath "normalize-space($settings/*[local-name()='dpiAwareness' and namespace-uri()='http://schemas.microsoft.com/SMI/2016/WindowsSettings'])")"
  expect "no long path awareness" "0" "$(xpath "count(//*[local-name()='longPathAware'])")"
fi

# ---- program icon
if wrestool -x -t 14 "$program" >"$work/icon.ico" 2>/dev/null && [ -s "$work/icon.ico" ]; then
  sizes=$(icotool -l "$work/icon.ico" | sed -n 's/.*--width=\([0-9]*\) --height=\1 .*/\1/p' | sort -n | tr '\n' ' ')
  expect "icon sizes" "16 20 24 32 40 48 64 " "$sizes"
else
  fail "no program icon"
fi

echo "$failures failed"
[ "$failures" = 0 ]
