#!/usr/bin/env bash
# The texts that cannot take the version from the build (the logo picture,
# help pages, Debian changelog, manual page, README, program manifest) must
# carry the version of CMakeLists.txt. Usage: agreement.sh SOURCE_ROOT
set -uo pipefail
root=${1:?source root}
version=$(sed -n 's/^project(tervano VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "no version in CMakeLists.txt" >&2; exit 1; }
bad=0

# The number that ends every match of the pattern in the files must be want;
# there must be at least one match.
agree() {
  local want=$1 pattern=$2; shift 2
  local found
  found=$(cd "$root" && grep -HoE "$pattern" "$@" | sed -E 's/:.*[^0-9.]([0-9][0-9.]*)$/ \1/')
  if [ -z "$found" ]; then
    echo "no version found by '$pattern' in $*" >&2; bad=1; return
  fi
  while read -r file got; do
    got=${got%.}
    if [ "$got" != "$want" ]; then echo "$file: version $got, CMakeLists.txt says $want" >&2; bad=1; fi
  done <<< "$found"
}

agree "$version" "SWF +v[0-9.]+" converter/ui/art/logo.mvg
agree "$version" "Tervano v[0-9.]+" help/windows.html help/commandline.html
agree "$version" "^tervano \\([0-9.]+" debian/changelog
agree "$version" "\"tervano [0-9.]+" docs/tervano.1
agree "$version" "Tervano v[0-9.]+|tervano[_-][0-9.]+[0-9]" README.md
agree "$version.0.0" "Converter\" version=\"[0-9.]+" converter/ui/tervano.manifest
exit $bad
