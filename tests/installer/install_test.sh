#!/usr/bin/env bash
# Silent install and uninstall of the Tervano installer in a fresh Wine prefix.
#   install_test.sh WINE_RUN SETUP ARCH PREFIX BUILT_EXE BUILT_DLL HELP_CHM
#                   MENU_INVOKE GIF_DIR
# Round 1: default folder (a path with a space), .gif without a file type.
# Round 2: C:\Tervano, .gif with a file type of another program, and the
# DLL held loaded (as Explorer holds it) through an upgrade and the
# uninstall: it is replaced, and removed at the next restart.
# After each round's uninstall the exported registry (HKLM\Software and
# HKCR) must equal the one before the install, so nothing of Tervano is left
# but the user's options written beforehand.
set -uo pipefail
wine_run=$1 setup=$2 arch=$3 prefix=$4 built_exe=$5 built_dll=$6 help_chm=$7
menu_invoke=$8 gif_dir=$9
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
run() { bash "$wine_run" --arch "$arch" --prefix "$prefix" "$@"; }
# reg query VALUE of KEY, as UTF-8 text ("" when missing).
value() {
  run reg query "$1" /v "$2" 2>/dev/null | iconv -f GBK -t UTF-8 |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | tr -d '\r'
}
default_value() {
  run reg query "$1" /ve 2>/dev/null | iconv -f GBK -t UTF-8 |
    sed -n 's/^ *([^)]*) *REG_SZ *//p' | tr -d '\r'
}
snapshot() {  # snapshot FILE: HKLM\Software and HKCR as UTF-8 text
  run reg export 'HKLM\Software' "$prefix/s.reg" /y >/dev/null &&
    run reg export 'HKCR' "$prefix/c.reg" /y >/dev/null &&
    cat "$prefix/s.reg" "$prefix/c.reg" | iconv -f UTF-16 -t UTF-8 >"$1"
}
unix_path() { echo "$prefix/drive_c/${1#C:\\}" | tr '\\' '/'; }
dll_name=$(basename "$built_dll")
clsid='{3EEBE959-786D-4C99-A43D-E5FAF0591BA8}'
menus="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tervano"

rm -rf "$prefix" "$prefix.lock"
mkdir -p "$(dirname "$prefix")"
run reg add 'HKLM\Software\Tervano' /v OptionBackGround /t REG_DWORD /d 1 /f >/dev/null ||
  { echo "FAIL: no Wine prefix at $prefix" >&2; exit 1; }

round() {  # round NAME DIR EXPECTED_EXECSTRING GIF_TYPE [SETUP_ARGS...]
  local name=$1 dir=$2 exec=$3 type=$4; shift 4
  local before="$prefix/$name-before.txt" after="$prefix/$name-after.txt" rc=0
  snapshot "$before" || { fail "$name: registry export"; return; }
  run "$setup" /S "$@" || rc=$?
  [ "$rc" = 0 ] || fail "$name: installer exit code $rc"
  local udir; udir=$(unix_path "$dir")
  for f in tervano.exe "$dll_name" help.chm uninstall.exe; do
    [ -f "$udir/$f" ] || fail "$name: $dir\\$f not installed"
  done
  cmp -s "$built_exe" "$udir/tervano.exe" || fail "$name: installed tervano.exe differs from the build's"
  cmp -s "$built_dll" "$udir/$dll_name" || fail "$name: installed $dll_name differs from the build's"
  cmp -s "$help_chm" "$udir/help.chm" || fail "$name: installed help.chm differs from the build's"
  for f in Tervano.lnk "Tervano 帮助.lnk" "卸载 Tervano.lnk"; do
    [ -f "$menus/$f" ] || fail "$name: Start-menu entry $f missing"
  done

  local got
  got=$(value 'HKLM\Software\Tervano' ExecString)
  [ "$got" = "$exec" ] || fail "$name: ExecString is [$got], expected [$exec]"
  if [ "$arch" = win64 ]; then  # the 32-bit program's view
    got=$(value 'HKLM\Software\WOW6432Node\Tervano' ExecString)
    [ "$got" = "$exec" ] || fail "$name: 32-bit view ExecString is [$got], expected [$exec]"
  fi
  got=$(value 'HKLM\Software\Tervano' OptionBackGround)
  [ "$got" = 0x1 ] || fail "$name: option changed by the install: [$got]"
  got=$(default_value 'HKCR\.gif')
  [ "$got" = "$type" ] || fail "$name: .gif file type [$got], expected [$type]"
  local handler="$type\\shellex\\ContextMenuHandlers\\Tervano ContextMenu"
  got=$(value 'HKLM\Software\Tervano' ContextMenuString)
  [ "$got" = "$handler" ] || fail "$name: ContextMenuString [$got], expected [$handler]"
  got=$(default_value "HKCR\\$handler")
  [ "$got" = "$clsid" ] || fail "$name: handler key holds [$got]"
  got=$(default_value "HKCR\\CLSID\\$clsid\\InProcServer32")
  [ "$got" = "$dir\\$dll_name" ] || fail "$name: InProcServer32 is [$got]"
  local uninst='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tervano'
  got=$(value "$uninst" UninstallString)
  [ "$got" = "\"$dir\\uninstall.exe\"" ] || fail "$name: UninstallString is [$got]"
  got=$(value "$uninst" DisplayName)
  [ "$got" = "Tervano v2.5" ] || fail "$name: DisplayName is [$got]"

  # "Convert" chosen through the registered handler: the installed program,
  # started from ExecString, writes the movie the build's program writes.
  mkdir -p "$prefix/drive_c/gifs" "$prefix/drive_c/ref"
  cp "$gif_dir/apache_pb.gif" "$prefix/drive_c/gifs/$name.gif"
  cp "$gif_dir/apache_pb.gif" "$prefix/drive_c/ref/$name.gif"
  run "$built_exe" -quite "C:\\ref\\$name.gif" || fail "$name: reference conversion failed"
  run "$menu_invoke" 0 "C:\\gifs\\$name.gif" || fail "$name: convert through the handler failed"
  local movie="$prefix/drive_c/gifs/$name.swf" i
  for i in $(seq 100); do
    cmp -s "$movie" "$prefix/drive_c/ref/$name.swf" && break
    sleep 0.1
  done
  cmp -s "$movie" "$prefix/drive_c/ref/$name.swf" ||
    fail "$name: no movie, or not the expected one, from the context menu's convert"
  [ -s "$prefix/drive_c/ref/$name.swf" ] || fail "$name: the reference conversion wrote no movie"

  # "Add" with three files: one window opens and lists all three. Needs a
  # display; the window stores the options when it closes.
  if [ -n "${DISPLAY:-}" ]; then
    local listed expected=""
    for i in 1 2 3; do
      cp "$gif_dir/apache_pb.gif" "$prefix/drive_c/gifs/$name-add$i.gif"
      expected+="C:\\gifs\\$name-add$i.gif"$'\n'
    done
    run "$menu_invoke" 1 "C:\\gifs\\$name-add1.gif" "C:\\gifs\\$name-add2.gif" "C:\\gifs\\$name-add3.gif" ||
      fail "$name: add through the handler failed"
    listed=$(run "$menu_invoke" list 3 | tr -d '\r' | sort)
    [ "$listed"$'\n' = "$expected" ] || fail "$name: the window lists [$listed] after adding three files"
  else
    echo "install_test: no DISPLAY, the add through the handler is left out"
  fi

  local holder="" held="$prefix/drive_c/$name-held"
  if [ "$name" = own-folder ]; then
    run "$menu_invoke" hold 300 "C:\\$name-held" &
    holder=$!
    for i in $(seq 600); do
      [ -e "$held" ] && break
      sleep 0.2
    done
    [ -e "$held" ] || fail "$name: the handler could not be held loaded"
    rc=0
    run "$setup" /S "$@" || rc=$?
    [ "$rc" = 0 ] || fail "$name: upgrade with the DLL in use: installer exit code $rc"
    cmp -s "$built_dll" "$udir/$dll_name" || [ -f "$udir/$dll_name.new" ] ||
      fail "$name: upgrade with the DLL in use put no new $dll_name in place"
  fi

  # The uninstaller copies itself away and returns at once: wait for it.
  run "$dir\\uninstall.exe" /S || fail "$name: uninstaller exit code $?"
  for i in $(seq 100); do
    [ -e "$udir" ] || break
    sleep 0.1
  done
  if [ -n "$holder" ]; then
    for i in $(seq 300); do
      [ -e "$udir/uninstall.exe" ] || break
      sleep 0.1
    done
    # What is still in use goes at the next restart.
    local pending f
    pending=$(run reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations 2>/dev/null | tr -d '\r')
    for f in $( [ -e "$udir" ] && ls "$udir"); do
      case "$pending" in
        *"$dir\\$f"*) ;;
        *) fail "$name: $dir\\$f left behind, not even at restart" ;;
      esac
    done
    run "$menu_invoke" release || fail "$name: the handler was not held until the end"
    wait "$holder"
  else
    [ -e "$udir" ] && fail "$name: $dir is still there: $(ls "$udir" | tr '\n' ' ')"
  fi
  [ -e "$menus" ] && fail "$name: Start-menu folder is still there"
  snapshot "$after" || { fail "$name: registry export"; return; }
  if ! diff <(grep -v '^"Option' "$before") <(grep -v '^"Option' "$after") >"$prefix/$name.diff"; then
    fail "$name: registry after uninstall differs from before install:"
    head -40 "$prefix/$name.diff" >&2
  fi
}

round default 'C:\Program Files\Tervano' '"C:\Program Files\Tervano\tervano.exe"' giffile
run reg add 'HKCR\.gif' /ve /d OtherViewer.Gif /f >/dev/null
run reg add 'HKCR\.gif' /v 'Content Type' /d image/gif /f >/dev/null
round own-folder 'C:\Tervano' 'C:\Tervano\tervano.exe' OtherViewer.Gif '/D=C:\Tervano'

if [ "$failures" -gt 0 ]; then
  echo "install_test: $failures failure(s)" >&2
  exit 1
fi
echo "install_test: both rounds passed"
