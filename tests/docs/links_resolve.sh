#!/bin/sh
# Every relative link of the README and the docs pages names a file that is there, and an
# anchor a heading of it: the README's reference parts live in docs/ and move about.
# Usage: links_resolve.sh SOURCE_DIR
cd "$1" || exit 2
fail=0
for page in README.md docs/*.md; do
  dir=$(dirname "$page")
  for link in $(grep -o '](\([^) ]*\))' "$page" | sed 's/^](//; s/)$//'); do
    case "$link" in *://*|mailto:*) continue ;; esac
    path=${link%%#*}
    anchor=${link#"$path"}; anchor=${anchor#\#}
    if [ -z "$path" ]; then target=$page; else target=$dir/$path; fi
    if [ ! -e "$target" ]; then
      echo "$page: $link: $target is not there"; fail=1; continue
    fi
    [ -z "$anchor" ] && continue
    # A heading's anchor as GitHub makes it: lower case, punctuation dropped, spaces to "-".
    grep '^#' "$target" | sed 's/^#* //' | tr 'A-Z' 'a-z' | sed 's/[^a-z0-9 _-]//g; s/ /-/g' |
      grep -qx -- "$anchor" || { echo "$page: $link: no heading for #$anchor"; fail=1; }
  done
done
exit $fail
