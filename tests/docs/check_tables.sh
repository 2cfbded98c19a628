#!/usr/bin/env bash
# Checks that every table in the documentation comments of a header reaches
# the HTML whole: each row of the header sits on one line with as many cells
# as the table's head, and doxygen wrote a table with the same head and the
# same number of rows for each.
#   check_tables.sh [--reflow-one-row] HEADER HTML_DIR
# --reflow-one-row breaks the first table's longest row over two lines first,
# as a comment reflow would, to show that the check catches it.
set -euo pipefail
reflow=no
[ "${1:-}" = --reflow-one-row ] && { reflow=yes; shift; }
header=$1 html=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The comment lines of the header, without their leading " * ".
sed -n 's/^ \* \{0,1\}//p' "$header" >"$work/comments"
if [ $reflow = yes ]; then
  awk '/^\|/ && !done { n++; if (length > length(longest)) { longest = $0; at = NR } }
       !/^\|/ && n { done = 1 }
       { line[NR] = $0 }
       END { for (i = 1; i <= NR; i++) {
               if (i == at) { cut = int(length(line[i]) / 2); while (substr(line[i], cut, 1) != " ") cut--
                             print substr(line[i], 1, cut - 1); print substr(line[i], cut + 1) }
               else print line[i] } }' "$work/comments" >"$work/reflowed"
  mv "$work/reflowed" "$work/comments"
fi

# One line per table of the header: "<rows> <head cells>". A row that does
# not end in "|", has another number of cells than the head, or is followed
# by a line that is neither empty nor a command (the rest of a broken row)
# is an error.
awk -v file="$header" '
  function cells(s) { s = substr(s, 2, length(s) - 2); return split(s, c, "|") }
  function head(s,   n, i, out) { n = cells(s); out = ""; for (i = 1; i <= n; i++) { gsub(/^ +| +$/, "", c[i]); out = out "|" c[i] } return out }
  /^\|/ {
    if (!intable) { intable = 1; rows = 0; key = head($0); width = cells($0); start = $0 }
    else if ($0 !~ /^\|[-| ]+\|$/) rows++
    if ($0 !~ /\|$/ || cells($0) != width) { print file ": table row is broken over lines: " $0 > "/dev/stderr"; bad = 1 }
    next
  }
  intable {
    if ($0 !~ /^ *$/ && $0 !~ /^[@\\]/ && $0 !~ /^\*\//) { print file ": table row is broken over lines: " $0 > "/dev/stderr"; bad = 1 }
    print rows + 1, key; intable = 0
  }
  END { exit bad }' "$work/comments" | sort >"$work/header" ||
  { echo "check_tables: a table of $header is broken over lines (a comment reflow?)" >&2; exit 1; }

# The same for the tables doxygen wrote (head row plus body rows).
cat "$html"/*.html | sed 's/<t[rh]/\n&/g' | awk '
  /<table class="markdownTable">/ { intable = 1; rows = 0; key = ""; next }
  intable && /<tr/ { rows++ }
  intable && /<th/ { t = $0; gsub(/<[^>]*>/, "", t); gsub(/^ +| +$/, "", t); key = key "|" t }
  intable && /<\/table>/ { print rows, key; intable = 0 }' | sort >"$work/html"

if ! diff "$work/header" "$work/html" >"$work/diff"; then
  echo "check_tables: the tables in $html differ from those in $header (< header, > HTML):" >&2
  cat "$work/diff" >&2
  exit 1
fi
echo "check_tables: $(wc -l <"$work/header") tables, all whole"
