#!/usr/bin/env bash
# Puts the faults of scripts/mutations.txt into a scratch copy of the tree one at a time and
# says which of them the tests let through. Not a CI step: run it before a stop that touches
# serial/, engine/ or cli/, and after adding a row for a fault found by hand.
#
#   scripts/mutate.sh [ID...]     every row, or only the rows named
#
# The copy (build/mutate/src) is refreshed from the working tree, tracked and new files alike,
# and keeps its build between runs, so each fault costs an incremental build. A row's own
# test target is built and its expected cases run first; a fault they catch needs no more.
# One they miss is judged by the whole default suite, as scripts/test.sh runs it.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
table=$root/scripts/mutations.txt
copy=$root/build/mutate/src
bin=$copy/build/default
jobs=$(nproc)
log=$root/build/mutate/log
mkdir -p "$copy" "$log"

# Only files whose bytes differ are copied, so the copy's build stays incremental; a copied
# file gets a new time, so what was built from a fault's text is built again.
refresh_copy() {
  git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' f; do
    [ -f "$f" ] || continue
    if ! cmp -s "$f" "$copy/$f"; then
      mkdir -p "$copy/$(dirname "$f")"
      cp "$f" "$copy/$f"
    fi
  done
}

# mutate FILE FIND REPLACE: the fixed string must be there exactly once.
mutate() {
  python3 - "$@" <<'EOF'
import re, sys
def unescape(s):
    return re.sub(r"\\(.)", lambda m: {"n": "\n", "t": "\t", "\\": "\\"}.get(m.group(1), m.group(0)), s)
path, find, replace = sys.argv[1], unescape(sys.argv[2]), unescape(sys.argv[3])
text = open(path, encoding="utf-8").read()
count = text.count(find)
if count != 1:
    sys.exit(f"{path}: the pattern is there {count} times, not once: {sys.argv[2]}")
open(path, "w", encoding="utf-8").write(text.replace(find, replace))
EOF
}

# split_row LINE: the row's columns into id, tags, file, find, replace and expected (a read
# with IFS set to a tab would take two tabs around an empty column as one).
split_row() {
  local rest=$1
  id=${rest%%$'\t'*}; rest=${rest#*$'\t'}
  tags=${rest%%$'\t'*}; rest=${rest#*$'\t'}
  file=${rest%%$'\t'*}; rest=${rest#*$'\t'}
  find=${rest%%$'\t'*}; rest=${rest#*$'\t'}
  replace=${rest%%$'\t'*}; rest=${rest#*$'\t'}
  expected=$rest
}

# The rows asked for, as tab-separated lines; comments and blank lines left out.
rows=()
while IFS= read -r line; do
  [[ -z "$line" || "$line" == \#* ]] && continue
  id=${line%%$'\t'*}
  if [ $# -gt 0 ]; then
    wanted=0
    for a in "$@"; do [ "$a" = "$id" ] && wanted=1; done
    [ $wanted = 1 ] || continue
  fi
  rows+=("$line")
done <"$table"
if [ $# -gt 0 ] && [ ${#rows[@]} -ne $# ]; then
  echo "mutate: some of the rows asked for ($*) are not in $table" >&2
  exit 2
fi

echo "== copy and configure in $copy"
refresh_copy
(cd "$copy" && cmake --preset default >/dev/null)

# Every row's pattern must match the source as it is before anything is built.
for line in "${rows[@]}"; do
  split_row "$line"
  tmp=$(mktemp)
  cp "$copy/$file" "$tmp"
  mutate "$tmp" "$find" "$replace" || { rm -f "$tmp"; echo "mutate: row $id does not apply" >&2; exit 2; }
  rm -f "$tmp"
done

suite_passed_clean=0
# The whole default suite, the labels left out as scripts/test.sh leaves them out.
full_suite() {
  cmake --build "$bin" -j "$jobs" >"$log/build-all.txt" 2>&1 || return 2
  ctest --test-dir "$bin" -j "$jobs" -LE rig >"$log/suite.txt" 2>&1
}

declare -A clean  # expected columns already seen passing on the clean source
killed=0
total=0
survivors=()
skipped=()
for line in "${rows[@]}"; do
  split_row "$line"
  target=${expected%%:*}
  regex=${expected#*:}
  if [[ ",$tags," == *,windows,* ]]; then
    echo "-- $id $file: skipped, its test runs only in the Windows build"
    skipped+=("$id")
    continue
  fi
  total=$((total + 1))
  original=$(mktemp)
  cp "$copy/$file" "$original"
  # The expected cases must exist and pass on the clean source, or their failure below proves
  # nothing.
  if [ -z "${clean[$expected]:-}" ]; then
    cmake --build "$bin" -j "$jobs" --target "$target" >"$log/$id-clean.txt" 2>&1 ||
      { echo "mutate: $target does not build on the clean source (see $log/$id-clean.txt)" >&2; exit 1; }
    ctest --test-dir "$bin" --no-tests=error -R "$regex" >>"$log/$id-clean.txt" 2>&1 ||
      { echo "mutate: '$regex' fails on the clean source (see $log/$id-clean.txt)" >&2; exit 1; }
    clean[$expected]=1
  fi
  mutate "$copy/$file" "$find" "$replace"
  verdict=""
  if ! cmake --build "$bin" -j "$jobs" --target "$target" >"$log/$id.txt" 2>&1; then
    verdict="caught by the compiler (the row should be an edit that compiles)"
  elif ! ctest --test-dir "$bin" --no-tests=error -R "$regex" >>"$log/$id.txt" 2>&1; then
    verdict="killed by $regex"
  else
    if [ $suite_passed_clean = 0 ]; then
      cp "$original" "$copy/$file"
      full_suite || { echo "mutate: the default suite fails on the clean source (see $log)" >&2; exit 1; }
      suite_passed_clean=1
      mutate "$copy/$file" "$find" "$replace"
    fi
    full_suite && status=0 || status=$?
    case $status in
      0) verdict="SURVIVED"; survivors+=("$id $file") ;;
      2) verdict="caught by the compiler (the row should be an edit that compiles)" ;;
      *) verdict="killed by the suite:$(sed -n '/tests FAILED/,$p' "$log/suite.txt" | sed -n '2,4p' | tr -s ' \n' ' ')" ;;
    esac
  fi
  [ "$verdict" = SURVIVED ] || killed=$((killed + 1))
  echo "-- $id $file: $verdict"
  # A fresh time on the restored file: the next build recompiles it.
  cp "$original" "$copy/$file"
  rm -f "$original"
done

echo "score $killed of $total"
[ ${#skipped[@]} -eq 0 ] || echo "skipped (Windows build only): ${skipped[*]}"
if [ ${#survivors[@]} -gt 0 ]; then
  echo "survivors:"
  printf '  %s\n' "${survivors[@]}"
  exit 1
fi
