#!/usr/bin/env bash
# The Linux command line, run as a user would: flags against the stored
# options, many files at once, exit statuses with the other files still
# written, and --help against the parser, the manual page and the completion.
#   command_line.sh TERVANO WORK_DIR SAMPLES_DIR FIXTURE_GIF_DIR MAN_PAGE COMPLETION
# The stored options live in folders under WORK_DIR only.
set -uo pipefail
# Sorted lists are compared with files sorted byte by byte, and the
# system's messages are read in English: the caller's locale must not count.
export LC_ALL=C

tervano=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$2
samples=$(realpath "$3") fixtures=$(realpath "$4") manpage=$(realpath "$5") completion=$(realpath "$6")
if [ ! -x "$tervano" ] || [ ! -f "$manpage" ] || [ ! -f "$completion" ]; then
  echo "command line: missing program, manual page or completion"
  exit 1
fi
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
export HOME="$work/home"
unset XDG_CONFIG_HOME
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# tervano with the store in folder $1: sets rc, out and err.
run() {
  local store=$1
  shift
  TERVANO_CONFIG_DIR="$work/$store" "$tervano" "$@" </dev/null >"$work/out.txt" 2>"$work/err.txt"
  rc=$?
  out=$(cat "$work/out.txt")
  err=$(cat "$work/err.txt")
}
store_file() { echo "$work/$1/hkey_local_machine+software+tervano.reg"; }
# The stored values of store $1, sorted, one per line.
values() { grep '^"' "$(store_file "$1")" 2>/dev/null | tr -d '\r' | sort; }
same_bytes() { cmp -s "$1" "$2" || fail "$3: $1 and $2 differ"; }

gif="$work/g.gif"
cp "$fixtures/yahoo_moneyeyes.gif" "$gif"  # transparent frames, so the border and crop show

# --- Each flag: exactly its stored values, the same movie as when stored ---
# flags|expected stored values (";"-separated)
rows=(
  '--border|"OptionTransparent"=dword:00000001'
  '--no-border|"OptionTransparent"=dword:00000000'
  '--gif-background|"OptionBackGround"=dword:00000001'
  '--white-background|"OptionBackGround"=dword:00000000'
  '--crop|"OptionCanvasSize"=dword:00000001'
  '--no-crop|"OptionCanvasSize"=dword:00000000'
  '--protect|"OptionProtect"=dword:00000001'
  '--no-protect|"OptionProtect"=dword:00000000'
  '--html|"OptionHTML"=dword:00000001'
  '--no-html|"OptionHTML"=dword:00000000'
  '--html --full-menu|"OptionHTML"=dword:00000001;"OptionHideMenu"=dword:00000001'
  '--html --no-full-menu|"OptionHTML"=dword:00000001;"OptionHideMenu"=dword:00000000'
  '--loop 3|"OptionChangeLoop"=dword:00000001;"OptionLoopForever"=dword:00000000;"OptionLoopValue"=dword:00000003'
  '--loop-forever|"OptionChangeLoop"=dword:00000001;"OptionLoopForever"=dword:00000001'
  '--keep-loop|"OptionChangeLoop"=dword:00000000'
  '--url "http://a.example/x?y=1&z"|"OptionURL"=dword:00000001;"OptionURLName"="http://a.example/x?y=1&z"'
  '--url ""|"OptionURL"=dword:00000001;"OptionURLName"=""'
  '--no-url|"OptionURL"=dword:00000000'
  '--html --ruffle "ruffle/ruffle.js?v=1&x"|"OptionHTML"=dword:00000001;"OptionRuffleURL"="ruffle/ruffle.js?v=1&x"'
)
mkdir -p plain
cp "$gif" plain/g.gif
TERVANO_CONFIG_DIR="$work/empty" "$tervano" -quite plain/g.gif
n=0
for row in "${rows[@]}"; do
  n=$((n + 1))
  eval "flags=(${row%%|*})"
  want=$(tr ';' '\n' <<<"${row#*|}" | sort)
  run "saved$n" "${flags[@]}" --save-options
  [ "$rc" = 0 ] || fail "${flags[*]} --save-options: exit $rc ($err)"
  [ "$(values "saved$n")" = "$want" ] || fail "${flags[*]} --save-options stored: $(values "saved$n" | tr '\n' ' ')"
  run "unsaved$n" "${flags[@]}" -o "flag$n" "$gif"
  [ "$rc" = 0 ] || fail "${flags[*]}: exit $rc ($err)"
  [ -e "$work/unsaved$n" ] && fail "${flags[*]} without --save-options wrote the store"
  mkdir -p "stored$n"
  cp "$gif" "stored$n/g.gif"
  TERVANO_CONFIG_DIR="$work/saved$n" "$tervano" -quite "stored$n/g.gif"
  for f in g.swf g.htm; do
    if [ -e "stored$n/$f" ] || [ -e "flag$n/$f" ]; then same_bytes "stored$n/$f" "flag$n/$f" "${flags[*]}"; fi
  done
  # A value that differs from "all off" must change the output.
  if grep -q '00000001\|00000003' <<<"$want" && cmp -s "stored$n/g.swf" plain/g.swf && [ ! -e "stored$n/g.htm" ]; then
    fail "${flags[*]}: the movie is the one with every option off"
  fi
done

# Off flags over a store with everything on give the all-off movie, and the
# store stays as it was.
mkdir -p allon
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' '[HKEY_LOCAL_MACHINE\Software\Tervano]' \
  '"OptionTransparent"=dword:00000001' '"OptionHTML"=dword:00000001' '"OptionHideMenu"=dword:00000001' \
  '"OptionBackGround"=dword:00000001' '"OptionCanvasSize"=dword:00000001' '"OptionProtect"=dword:00000001' \
  '"OptionURL"=dword:00000001' '"OptionURLName"="http://b.example/"' '"OptionChangeLoop"=dword:00000001' \
  '"OptionLoopForever"=dword:00000001' '"OptionLoopValue"=dword:00000002' >"$(store_file allon)"
cp "$(store_file allon)" allon.before
run allon --keep-loop --no-url --no-border --white-background --no-crop --no-protect --no-html -o off "$gif"
[ "$rc" = 0 ] || fail "off flags: exit $rc ($err)"
same_bytes plain/g.swf off/g.swf "off flags over stored options"
[ -e off/g.htm ] && fail "--no-html still wrote a page"
same_bytes allon.before "$(store_file allon)" "store after a run without --save-options"

# A store that cannot be written names the value and the system's reason.
touch notafolder
run notafolder --no-crop --html --save-options
[ "$rc" = 1 ] && [ "$err" = "tervano: cannot save the options in $work/notafolder: OptionCanvasSize: Not a directory" ] ||
  fail "--save-options into a file: exit $rc ($err)"

# --show-options prints flags that give the stored options back.
run combo --loop 3 --url "http://c.example/it's" --border --gif-background --save-options
run combo --show-options
shown=$(grep -oE -- "--[a-z-]+( [0-9]+| '.*')?$" <<<"$out")
[ "$(wc -l <<<"$shown")" = 9 ] || fail "--show-options: $out"
eval "shown=($shown)"
run empty "${shown[@]}" -o shown "$gif"
mkdir -p combo-quite && cp "$gif" combo-quite/g.gif
TERVANO_CONFIG_DIR="$work/combo" "$tervano" -quite combo-quite/g.gif
same_bytes combo-quite/g.swf shown/g.swf "flags from --show-options"

# --- Many files: -j 1 and -j 4 give the movies of one file at a time ---
mkdir -p many
cp "$samples"/*.gif "$fixtures"/*.gif many/
count=$(ls many/*.gif | wc -l)
run empty --html --loop 3 --border --crop -j 1 -o j1 many/*.gif
[ "$rc" = 0 ] && [ -z "$err" ] || fail "-j 1: exit $rc ($err)"
run empty --html --loop 3 --border --crop -j 4 -o out/j4 many/*.gif
[ "$rc" = 0 ] && [ -z "$err" ] || fail "-j 4: exit $rc ($err)"
[ "$(ls out/j4/*.swf | wc -l)" = "$count" ] && [ "$(ls out/j4/*.htm | wc -l)" = "$count" ] \
  || fail "-j 4 wrote $(ls out/j4 | wc -l) files for $count GIFs"
for g in many/*.gif; do
  b=$(basename "$g" .gif)
  same_bytes "j1/$b.swf" "out/j4/$b.swf" "-j 1 and -j 4"
  same_bytes "j1/$b.htm" "out/j4/$b.htm" "-j 1 and -j 4"
done

# --- Exit statuses: each failure is one line; the other files are written ---
mkdir -p bad/dir.gif bad/taken.swf bad/l
printf 'not a picture\n' >bad/text.gif
: >bad/empty.gif
cp "$gif" bad/taken.gif
long=bad/l/$(printf 'x%.0s' $(seq 120))
mkdir -p "$long"
long=$long/$(printf 'y%.0s' $(seq 140)).gif
cp "$gif" "$long"
cp "$gif" bad/one.gif
cp "$gif" bad/two.gif
# what|file|stderr must contain
cases=(
  "missing|bad/none.gif|bad/none.gif: No such file or directory"
  "folder|bad/dir.gif|bad/dir.gif: is a folder"
  "not a GIF|bad/text.gif|bad/text.gif: not a GIF file"
  "empty|bad/empty.gif|bad/empty.gif: not a GIF file"
  "destination is a folder|bad/taken.gif|cannot write bad/taken.swf: is a folder"
  "path too long|$long|path too long (${#long} bytes, at most 259)"
)
for c in "${cases[@]}"; do
  IFS='|' read -r what file message <<<"$c"
  rm -f bad/one.swf bad/two.swf
  run empty -j 2 bad/one.gif "$file" bad/two.gif
  [ "$rc" = 1 ] || fail "$what: exit $rc, not 1"
  [ "$(wc -l <"$work/err.txt")" = 1 ] && [[ $err == "tervano: "*"$message"* ]] || fail "$what: stderr '$err'"
  same_bytes plain/g.swf bad/one.swf "$what: the file before it"
  same_bytes plain/g.swf bad/two.swf "$what: the file after it"
done
# A screen too large to hold converts to the empty stage, and says so.
printf 'GIF89a\377\377\377\377\200\0\0\0\0\0\377\377\377,\0\0\0\0\1\0\1\0\0\2\2L\1\0;' >bad/huge.gif
run empty bad/huge.gif
[ "$rc" = 0 ] && [ -s bad/huge.swf ] || fail "huge screen: exit $rc"
[ "$err" = "tervano: bad/huge.gif: the screen is too large to convert; the movie is empty" ] || fail "huge screen: stderr '$err'"
# Unreadable: root reads every file, so that case runs as nobody.
as_user=()
if [ "$(id -u)" = 0 ]; then
  if command -v setpriv >/dev/null; then as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups); fi
fi
if [ "$(id -u)" != 0 ] || [ "${#as_user[@]}" -gt 0 ]; then
  mkdir -p locked && cp "$gif" locked/a.gif && cp "$gif" locked/b.gif && cp "$gif" locked/c.gif
  chmod 000 locked/b.gif
  chmod 777 locked
  TERVANO_CONFIG_DIR="$work/empty" "${as_user[@]}" "$tervano" locked/a.gif locked/b.gif locked/c.gif \
    </dev/null >/dev/null 2>"$work/err.txt"
  rc=$?
  err=$(cat "$work/err.txt")
  [ "$rc" = 1 ] && [ "$err" = "tervano: locked/b.gif: Permission denied" ] || fail "unreadable: exit $rc, '$err'"
  same_bytes plain/g.swf locked/a.swf "unreadable: the file before it"
  same_bytes plain/g.swf locked/c.swf "unreadable: the file after it"
else
  echo "note: unreadable file not checked (root without setpriv)"
fi
# The same movie named twice would be written by two jobs at once.
run empty -j 4 bad/one.gif bad/l/../one.gif
[ "$rc" = 1 ] && [ "$err" = "tervano: bad/l/../one.gif: its movie bad/l/../one.swf is already the movie of bad/one.gif" ] \
  || fail "same movie twice: exit $rc, '$err'"
# An output folder that cannot be made.
run empty -o bad/text.gif/sub bad/one.gif
[ "$rc" = 1 ] && [[ $err == *"cannot make the output folder bad/text.gif/sub: Not a directory" ]] \
  || fail "output folder under a file: exit $rc, '$err'"
# Usage errors: status 2, one message, nothing converted.
for args in "--bogus bad/one.gif" "bad/one.gif --loop" "-j 0 bad/one.gif" "--html" ""; do
  rm -f bad/one.swf
  run empty $args
  [ "$rc" = 2 ] && [[ $err == "tervano: "* ]] || fail "usage error '$args': exit $rc, '$err'"
  [ -e bad/one.swf ] && fail "usage error '$args' converted"
done
# -quite keeps its own rules: last three characters replaced, status 0.
rm -f bad/one.swf
run empty -quite bad/one.gif
[ "$rc" = 0 ] || fail "-quite: exit $rc"
same_bytes plain/g.swf bad/one.swf "-quite"

# --- A list of files: read as it goes, each file checked as on the command line ---
# Three hundred names with a missing file, a folder, an empty line and the
# same movie twice among them: one line for each of those, every other movie
# the one the file gives on the command line.
mkdir -p list
for i in $(seq 1 300); do cp "$gif" "list/m$i.gif"; done
{
  for i in $(seq 1 300); do
    echo "list/m$i.gif"
    case $i in
      100) echo "list/none.gif" ;;
      150) echo "" ; echo "list" ;;
      200) echo "list/../list/m7.gif" ;;
    esac
  done
} | TERVANO_CONFIG_DIR="$work/empty" "$tervano" --files-from - -j 3 -o fromlist >out.txt 2>err.txt
rc=$?
sort err.txt >err.sorted
printf '%s\n' "tervano: list/../list/m7.gif: its movie fromlist/m7.swf is already the movie of list/m7.gif" \
  "tervano: list/none.gif: No such file or directory" "tervano: list: is a folder, not a GIF file" >err.want
[ "$rc" = 1 ] && cmp -s err.sorted err.want || fail "list: exit $rc, stderr $(cat err.txt)"
[ "$(ls fromlist | wc -l)" = 300 ] || fail "list: $(ls fromlist | wc -l) movies for 300 files"
for i in 1 100 151 300; do same_bytes plain/g.swf "fromlist/m$i.swf" "list: file $i"; done
# NUL-separated names may hold a newline; an empty one is a file that cannot be read.
cp "$gif" $'list/new\nline.gif'
printf 'list/m1.gif\0list/new\nline.gif\0\0list/m2.gif' >list.nul
run empty --files-from list.nul -0 -o nul
[ "$rc" = 1 ] && [ "$err" = "tervano: : No such file or directory" ] || fail "-0 list: exit $rc, '$err'"
same_bytes plain/g.swf $'nul/new\nline.swf' "-0 list: a name with a newline"
[ "$(find nul -type f -printf . | wc -c)" = 3 ] || fail "-0 list: $(find nul -type f -printf . | wc -c) movies"
# A list that cannot be read: one line, status 1, no crash.
run empty --files-from list -o nolist
[ "$rc" = 1 ] && [ "$err" = "tervano: cannot read the file list list: Is a directory" ] || fail "list is a folder: $rc '$err'"
# (Standard input on a folder, not closed: a sanitizer runtime may reuse fd 0.)
TERVANO_CONFIG_DIR="$work/empty" "$tervano" --files-from - -o closed bad/one.gif <list >/dev/null 2>err.txt
rc=$?
[ "$rc" = 1 ] && grep -q "cannot read the file list (standard input)" err.txt && [ -e closed/one.swf ] \
  || fail "unreadable stdin: exit $rc, $(cat err.txt)"
# A producer that dies halfway leaves the names it wrote.
(printf 'list/m1.gif\nlist/m2.gif\n'; kill -9 $BASHPID) | TERVANO_CONFIG_DIR="$work/empty" "$tervano" --files-from - -o cut 2>err.txt
rc=${PIPESTATUS[1]}
[ "$rc" = 0 ] && [ "$(ls cut | wc -l)" = 2 ] || fail "list cut short: exit $rc, $(ls cut | wc -l) movies, $(cat err.txt)"

# --- Threads: files and compression share the cores, cores + 2 at most ---
cores=$(nproc)
peak=0
TERVANO_CONFIG_DIR="$work/empty" "$tervano" -j 4 -o threads list/m*.gif many/*.gif </dev/null >/dev/null 2>&1 &
pid=$!
while [ -e "/proc/$pid/status" ]; do
  n=$(awk '/^Threads:/ {print $2}' "/proc/$pid/status" 2>/dev/null)
  [ -n "$n" ] && [ "$n" -gt "$peak" ] && peak=$n
done
wait "$pid" || fail "threads: exit $?"
[ "$peak" -ge 1 ] && [ "$peak" -le $((cores + 2)) ] || fail "-j 4 on $cores cores ran $peak threads at once"

# --- The Ruffle address is escaped in the page, which is otherwise the same ---
if command -v python3 >/dev/null; then
  address='r u/ruffle.js?a="1"&b=<2>'"'"
  run empty --html --ruffle "$address" -o ruffle "$gif"
  run empty --html -o noruffle "$gif"
  python3 - ruffle/g.htm noruffle/g.htm "$address" <<'PY' || fail "page with a Ruffle address: see above"
import sys
from html.parser import HTMLParser
class Scripts(HTMLParser):
    def __init__(self):
        super().__init__()
        self.found = []
    def handle_starttag(self, tag, attrs):
        if tag == "script": self.found.append(dict(attrs).get("src"))
page = open(sys.argv[1], encoding="latin-1", newline="").read()
plain = open(sys.argv[2], encoding="latin-1", newline="").read()
p = Scripts()
p.feed(page)
if p.found != [sys.argv[3]]:
    sys.exit(f"scripts {p.found}, wanted [{sys.argv[3]!r}]")
rest = [l for l in page.split("\r\n") if "<SCRIPT" not in l]
if "\r\n".join(rest) != plain:
    sys.exit("the page differs from the page without Ruffle in more than its script line")
PY
fi

# --- The progress line: on a terminal only, for several files, not with -q ---
if command -v script >/dev/null; then
  TERVANO_CONFIG_DIR="$work/empty" script -qec "'$tervano' -o tty bad/one.gif bad/two.gif" /dev/null >tty.txt </dev/null
  grep -q '\[2/2\] bad/two.gif\|\[2/2\] bad/one.gif' tty.txt || fail "no progress line on a terminal"
  TERVANO_CONFIG_DIR="$work/empty" script -qec "'$tervano' -q -o tty bad/one.gif bad/two.gif" /dev/null >tty.txt </dev/null
  [ -s tty.txt ] && fail "-q still printed: $(cat -v tty.txt)"
  [ -n "$(ls tty)" ] || fail "no movies written on a terminal"
fi

# --- --help lists every flag the parser takes, and so do the man page and completion ---
run empty --help
[ "$rc" = 0 ] || fail "--help: exit $rc"
# the flag column of the option lines
columns=$(grep -E '^ +(-[a-z0-9], )?--' <<<"$out" | sed -E 's/^ +((-[a-z0-9], )?--[a-z-]+( [A-Z]+)?) .*/\1/')
help_flags=$(grep -oE -- '--?[a-z0-9][a-z-]*' <<<"$columns" | sort -u)
[ "$(wc -l <<<"$help_flags")" -ge 20 ] || fail "--help lists only: $help_flags"
grep -q "here: $work/empty" <<<"$out" || fail "--help does not say where the options are"
grep -q "Exit status" <<<"$out" || fail "--help gives no exit status"
while read -r flag value; do
  short=""
  if [[ $flag == -?, ]]; then
    short=${flag%,}
    read -r flag value <<<"$value"
  fi
  for f in $flag $short; do
    args=("$f")
    [ -n "$value" ] && args+=("2")
    run empty "${args[@]}" --help
    [ "$rc" = 0 ] || fail "--help lists $f $value, which the parser refuses: $err"
  done
done <<<"$columns"
run empty --no-such-flag --help
[ "$rc" = 2 ] || fail "an unknown flag is taken"
man_flags=$(grep -oE -- '(^|[ "(])\\-(\\-)?[a-z0-9][a-z\\-]*' "$manpage" | sed 's/[\\ "(]//g' | grep -vx -- '-quite' | sort -u)
[ "$man_flags" = "$help_flags" ] || fail "man page and --help differ: $(diff <(echo "$man_flags") <(echo "$help_flags") | tr '\n' ' ')"
completion_flags=$(sed -n "/compgen -W '/,/'/p" "$completion" | grep -oE -- "(^| |')--?[a-z0-9][a-z-]*" | tr -d " '" | sort -u)
[ "$completion_flags" = "$help_flags" ] || fail "completion and --help differ: $(diff <(echo "$completion_flags") <(echo "$help_flags") | tr '\n' ' ')"
if command -v groff >/dev/null; then
  warnings=$(groff -man -Tutf8 -ww -z "$manpage" 2>&1)
  [ -z "$warnings" ] || fail "groff warns: $warnings"
fi

run empty --version
[ "$rc" = 0 ] && [ "$out" = "tervano 2.5" ] || fail "--version: '$out'"

if [ "$failures" -gt 0 ]; then
  echo "command line: $failures failures"
  exit 1
fi
echo "command line: ${#rows[@]} flags against the store, $count files at -j 1 and -j 4, ${#cases[@]} failure kinds; all passed"
