#!/usr/bin/env bash
# What Windows reads from tervano.exe before any of its code runs, read back
# with tools of their own (binutils' objdump, icoutils' wrestool, libxml2's
# xmllint). The import table names no DLL and no DPI function newer than
# Windows 7, so the program still starts on the Windows 7 and 8.1 its
# manifest names (Wine has them all, so no start under Wine would tell). The
# manifest, resource 1 of type 24, is well-formed XML (else Windows refuses
# to start the program) asking for no elevation, naming Windows 7 to 11,
# Common Controls 6 and per-monitor DPI awareness, each in the namespace
# Windows looks in, and without long path awareness.
#   program_image.sh OBJDUMP PROGRAM.exe
set -euo pipefail

objdump=$1
program=$2
for tool in wrestool xmllint; do
  command -v "$tool" >/dev/null || { echo "program_image: $tool missing (scripts/install-deps.sh --all)"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # WHAT EXPECTED GOT
  if [ "$3" = "$2" ]; then echo "ok: $1"; else echo "FAIL: $1: expected '$2', got '$3'"; failures=$((failures + 1)); fi
}

# "DLL Name: X", then a line per name imported from it.
"$objdump" -p "$program" | awk '
  /^[ \t]*DLL Name:/ { dll = tolower($3); print "dll " dll; next }
  /^[ \t]*$/ { dll = "" }
  dll != "" && /^[ \t]+[0-9a-f]+[ \t]+[0-9]+[ \t]+[A-Za-z_]/ { print "fn " dll " " $3 }
' >"$work/imports"
expect "import table read (the dialog calls are there)" 1 "$(grep -cx 'fn user32.dll CreateDialogParamW' "$work/imports")"
expect "no DLL newer than Windows 7" "" "$(grep -E '^dll (shcore\.dll|api-ms-win-|ext-ms-win-)' "$work/imports" || true)"
# Every DPI function but the two of Windows Vista came after Windows 7.
expect "no DPI function imported" "" \
  "$(grep -i '^fn .*dpi' "$work/imports" | grep -vE ' (SetProcessDPIAware|IsProcessDPIAware)$' || true)"

expect "one manifest" 1 "$(wrestool -l "$program" | grep -c -- '--type=24 ' || true)"
wrestool -x --raw -t 24 -n 1 "$program" >"$work/manifest.xml" || true
if ! xmllint --noout "$work/manifest.xml"; then
  expect "resource 1 of type 24 is well-formed XML" yes no
else
  xpath() { xmllint --xpath "string($1)" "$work/manifest.xml" 2>/dev/null || true; }
  el() { echo "//*[local-name()='$1' and namespace-uri()='$2']"; }  # NAME NAMESPACE
  asm1=urn:schemas-microsoft-com:asm.v1
  asm3=urn:schemas-microsoft-com:asm.v3
  compat=urn:schemas-microsoft-com:compatibility.v1
  expect "an asm.v1 assembly" 1.0 "$(xpath "/*[local-name()='assembly' and namespace-uri()='$asm1']/@manifestVersion")"
  expect "runs as the user who starts it" asInvoker "$(xpath "$(el trustInfo "$asm3")$(el requestedExecutionLevel "$asm3")/@level")"
  expect "without UI access" false "$(xpath "$(el requestedExecutionLevel "$asm3")/@uiAccess")"
  # Windows 7, 8, 8.1 and 10/11, as Microsoft lists them.
  count=$(xpath "count($(el compatibility "$compat")/*[local-name()='application']$(el supportedOS "$compat"))")
  expect "supported systems" \
    "{1f676c76-80e1-4239-95bb-83d0f6d0da78} {35138b9a-5d96-4fbd-8e2d-a2440225f93a} {4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38} {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}" \
    "$(for i in $(seq 1 "${count:-0}"); do echo "$(xpath "($(el supportedOS "$compat"))[$i]/@Id")"; done |
       tr 'A-F' 'a-f' | sort | tr '\n' ' ' | sed 's/ $//')"
  controls="$(el dependentAssembly "$asm1")/*[local-name()='assemblyIdentity' and @name='Microsoft.Windows.Common-Controls']"
  expect "Common Controls 6 for any processor" "6.0.0.0 * 6595b64144ccf1df win32" \
    "$(xpath "$controls/@version") $(xpath "$controls/@processorArchitecture") $(xpath "$controls/@publicKeyToken") $(xpath "$controls/@type")"
  settings="$(el application "$asm3")/*[local-name()='windowsSettings' and namespace-uri()='$asm3']"
  expect "dpiAware: per monitor from Windows 8.1" true/pm \
    "$(xpath "normalize-space($settings/*[local-name()='dpiAware' and namespace-uri()='http://schemas.microsoft.com/SMI/2005/WindowsSettings'])" | tr 'A-Z' 'a-z')"
  expect "dpiAwareness: version 2 first" "PerMonitorV2, PerMonitor" \
    "$(xpath "normalize-space($settings/*[local-name()='dpiAwareness' and namespace-uri()='http://schemas.microsoft.com/SMI/2016/WindowsSettings'])")"
  expect "no long path awareness" 0 "$(xpath "count(//*[local-name()='longPathAware'])")"
fi

echo "$failures failed"
[ "$failures" = 0 ]
