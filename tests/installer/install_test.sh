#!/usr/bin/env bash
# Silent installs and uninstalls of the Tervano installer in a fresh Wine prefix.
#   install_test.sh WINE_RUN SETUP ARCH PREFIX BUILT_EXE BUILT_DLL HELP_CHM
#                   MENU_INVOKE GIF_DIR
# First, folders outside Program Files are refused: exit code non-zero,
# nothing written to disk or registry.
# Round 1: default folder (a path with a space), .gif without a file type.
# Round 2: an upgrade over the registration an older setup left (.gif given
# the file type giffile, the handler key under it, ContextMenuString naming
# it, the CLSID keys), into a folder under Program Files named with ".." and
# another case, with the DLL held loaded (as Explorer holds it) through a
# second install and the uninstall: it is replaced, and removed at the next
# restart.
# Each install registers the handler under SystemFileAssociations\.gif, in
# the installer's registry view only (the x64 setup installs no 32-bit DLL),
# and leaves .gif's file type alone. After each round's uninstall the
# exported registry (HKLM\Software with both views, and HKCR) equals the one
# before the round, so nothing of Tervano is left but the user's options.
set -uo pipefail
wine_run=$1 setup=$2 arch=$3 prefix=$4 built_exe=$5 built_dll=$6 help_chm=$7
menu_invoke=$8 gif_dir=$9
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
run() { bash "$wine_run" --arch "$arch" --prefix "$prefix" "$@"; }
# value KEY NAME [VIEW]: reg query VALUE of KEY, as UTF-8 text ("" when
# missing); VIEW /reg:32 or /reg:64.
value() {
  run reg query "$1" /v "$2" ${3:-} 2>/dev/null | iconv -f GBK -t UTF-8 |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | tr -d '\r'
}
default_value() {  # default_value KEY [VIEW]
  run reg query "$1" /ve ${2:-} 2>/dev/null | iconv -f GBK -t UTF-8 |
    sed -n 's/^ *([^)]*) *REG_SZ *//p' | tr -d '\r'
}
has_key() { run reg query "$1" ${2:-} >/dev/null 2>&1; }  # has_key KEY [VIEW]
snapshot() {  # snapshot FILE: HKLM\Software and HKCR as UTF-8 text
  run reg export 'HKLM\Software' "$prefix/s.reg" /y >/dev/null &&
    run reg export 'HKCR' "$prefix/c.reg" /y >/dev/null &&
    cat "$prefix/s.reg" "$prefix/c.reg" | iconv -f UTF-16 -t UTF-8 >"$1"
}
# A folder as the installer names it (any case) to its place in the prefix.
unix_path() { run winepath -u "$1" 2>/dev/null | tr -d '\r'; }
dll_name=$(basename "$built_dll")
clsid='{3EEBE959-786D-4C99-A43D-E5FAF0591BA8}'
classes='HKLM\Software\Classes'
tail='shellex\ContextMenuHandlers\Tervano ContextMenu'
shared_handler="SystemFileAssociations\\.gif\\$tail"
menus="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tervano"
# The registry view of the installer and its DLL, and the other one.
own_view=/reg:32 other_view=""
if [ "$arch" = win64 ]; then own_view=/reg:64 other_view=/reg:32; fi

rm -rf "$prefix" "$prefix.lock"
mkdir -p "$(dirname "$prefix")"
run reg add 'HKLM\Software\Tervano' /v OptionBackGround /t REG_DWORD /d 1 /f >/dev/null ||
  { echo "FAIL: no Wine prefix at $prefix" >&2; exit 1; }
# Windows has this key from the start; Wine makes it only for the first
# handler, and the uninstaller never deletes it.
run reg add "$classes\SystemFileAssociations" /f >/dev/null
# NSIS reads /D= only unquoted, and Wine quotes an argument with a space;
# cmd.exe passes its command line on as it is (and waits, exit code and all).
cp "$setup" "$prefix/drive_c/tervano-setup.exe"
setup_run() { run cmd /c "C:\\tervano-setup.exe $*"; }

# Folders outside the installer's Program Files: C:\Tervano, one reached
# with "..", one whose name only begins like it, and Program Files itself.
files_now() { find "$prefix/drive_c" -path '*/Temp' -prune -o -print | sort; }
snapshot "$prefix/refused-before.txt" && files_now >"$prefix/refused-files-before.txt"
for dir in 'C:\Tervano' 'C:\Program Files\..\Tervano' 'C:\Program Files (x86)\Tervano' 'C:\Program Files'; do
  setup_run /S "/D=$dir" && fail "refused folder $dir: the installer exited with 0"
done
snapshot "$prefix/refused-after.txt"
cmp -s "$prefix/refused-before.txt" "$prefix/refused-after.txt" ||
  fail "a refused install changed the registry: $(diff "$prefix/refused-before.txt" "$prefix/refused-after.txt" | head -20)"
files_now | diff "$prefix/refused-files-before.txt" - >&2 || fail "a refused install wrote files"

# What an older setup left on a machine whose .gif had no file type.
older_registration() {
  local old_handler="giffile\\$tail"
  run reg add "$classes\\.gif" /ve /d giffile /f &&
    run reg add "$classes\\$old_handler" /ve /d "$clsid" /f &&
    run reg add 'HKLM\Software\Tervano' /v ContextMenuString /d "$old_handler" /f &&
    run reg add "$classes\\CLSID\\$clsid" /ve /d 'Tervano ContextMenu' /f &&
    run reg add "$classes\\CLSID\\$clsid\\InProcServer32" /ve /d "C:\\Tervano\\$dll_name" /f &&
    run reg add "$classes\\CLSID\\Tervano ContextMenu" /ve /d "$clsid" /f &&
    run reg add 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tervano' /v GifFileType /d giffile /f
}

round() {  # round NAME DIR EXPECTED_EXECSTRING GIF_TYPE upgrade|fresh [SETUP_ARGS...]
  local name=$1 dir=$2 exec=$3 type=$4 kind=$5; shift 5
  local before="$prefix/$name-before.txt" after="$prefix/$name-after.txt" rc=0
  snapshot "$before" || { fail "$name: registry export"; return; }
  if [ "$kind" = upgrade ]; then
    older_registration >/dev/null || fail "$name: could not lay out the older registration"
  fi
  setup_run /S "$@" || rc=$?
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
    got=$(value 'HKLM\Software\Tervano' ExecString /reg:32)
    [ "$got" = "$exec" ] || fail "$name: 32-bit view ExecString is [$got], expected [$exec]"
  fi
  got=$(value 'HKLM\Software\Tervano' OptionBackGround)
  [ "$got" = 0x1 ] || fail "$name: option changed by the install: [$got]"
  got=$(default_value "$classes\\.gif")
  [ "$got" = "$type" ] || fail "$name: .gif file type [$got], expected [$type]"
  # The installed DLL's class in its own view, and the handler key that
  # Explorer reads for .gif whatever its file type.
  got=$(default_value "$classes\\CLSID\\$clsid\\InProcServer32" $own_view)
  [ "${got,,}" = "${dir,,}\\${dll_name,,}" ] || fail "$name: InProcServer32 is [$got]"
  got=$(default_value "$classes\\$shared_handler" $own_view)
  [ "$got" = "$clsid" ] || fail "$name: handler key holds [$got]"
  if [ -n "$type" ]; then
    ! has_key "$classes\\$type\\$tail" $own_view || fail "$name: a handler key under the file type $type is left"
  fi
  if [ -n "$other_view" ]; then  # the x64 setup has no DLL for the other view
    ! has_key "$classes\\CLSID\\$clsid" $other_view || fail "$name: a class in the 32-bit view"
    got=$(value 'HKLM\Software\Tervano' ContextMenuString $other_view)
    [ -z "$got" ] || fail "$name: ContextMenuString [$got] in the 32-bit view"
  fi
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
  if [ "$kind" = upgrade ]; then
    run "$menu_invoke" hold 300 "C:\\$name-held" &
    holder=$!
    for i in $(seq 600); do
      [ -e "$held" ] && break
      sleep 0.2
    done
    [ -e "$held" ] || fail "$name: the handler could not be held loaded"
    rc=0
    setup_run /S "$@" || rc=$?
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
  got=$(value 'HKLM\Software\Tervano' OptionBackGround)
  [ "$got" = 0x1 ] || fail "$name: the stored option is gone after the uninstall: [$got]"
  snapshot "$after" || { fail "$name: registry export"; return; }
  if ! diff <(grep -v '^"Option' "$before") <(grep -v '^"Option' "$after") >"$prefix/$name.diff"; then
    fail "$name: registry after uninstall differs from before install:"
    head -40 "$prefix/$name.diff" >&2
  fi
}

round default 'C:\Program Files\Tervano' '"C:\Program Files\Tervano\tervano.exe"' "" fresh
round upgrade 'C:\PROGRAM FILES\Tervano Tools' '"C:\PROGRAM FILES\Tervano Tools\tervano.exe"' giffile upgrade \
  '/D=C:\PROGRAM FILES\Tervano\..\Tervano Tools'

if [ "$failures" -gt 0 ]; then
  echo "install_test: $failures failure(s)" >&2
  exit 1
fi
echo "install_test: refusals and both rounds passed"
