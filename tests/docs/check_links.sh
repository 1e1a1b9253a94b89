#!/usr/bin/env bash
# Checks that every relative link and image in README.md and docs/*.md
# names a file or folder that exists, so that no document points at nothing
# after a move or a rename. Web addresses and links within a page are left
# alone; text in code is no link.
# usage: check_links.sh [ROOT]   ROOT: the tree to check (this one)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "${1:-$here/../..}" && pwd)
# shellcheck source=tests/lib/checks.sh
source "$here/../lib/checks.sh"
CHECKS_NAME="links"

# The targets of a Markdown file's inline links and images and of its
# reference definitions, one a line, as written.
targets() {
  awk '
    /^[ \t]*(```|~~~)/ { fenced = !fenced; next }
    fenced { next }
    {
      line = $0
      gsub(/`[^`]*`/, "", line)
      if (match(line, /^ ? ? ?\[[^]]+\]:[ \t]+[^ \t]/)) {
        sub(/^ ? ? ?\[[^]]+\]:[ \t]+/, "", line)
        print line
        next
      }
      while (match(line, /\]\([^)]*\)/)) {
        print substr(line, RSTART + 2, RLENGTH - 3)
        line = substr(line, RSTART + RLENGTH)
      }
    }' "$1"
}

# The path a target names: without angle brackets, title, fragment or query.
path_of() {
  local target=$1
  if [[ $target == \<* ]]; then
    target=${target#<}
    target=${target%%>*}
  else
    target=${target%%[[:space:]]*}
  fi
  target=${target%%#*}
  printf '%s' "${target%%\?*}"
}

readme_links=0
for doc in "$root/README.md" "$root"/docs/*.md; do
  [ -f "$doc" ] || continue
  name=${doc#"$root"/}
  while IFS= read -r target; do
    path=$(path_of "$target")
    # Web addresses, mail and links within the page.
    [[ -z $path || $path =~ ^[A-Za-z][A-Za-z0-9+.-]*: ]] && continue
    [ "$name" = README.md ] && readme_links=$((readme_links + 1))
    case $path in
      /*) resolved=$root$path ;;
      *) resolved=$(dirname "$doc")/$path ;;
    esac
    check "$name links to $path, which does not exist" test -e "$resolved"
  done < <(targets "$doc")
done
# The README links the screenshot and the documents: finding none means
# this check no longer reads links at all.
check "README.md has relative links to check" test "$readme_links" -gt 0

checks_done
