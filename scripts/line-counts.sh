#!/usr/bin/env bash
# Lines of the product and of its tests, for keeping the two in proportion:
#   scripts/line-counts.sh [REVISION]    the tree as committed at REVISION (default HEAD)
# Counted by folder: the product is the code the game, the board and their tools are built
# from, the scripts players, packagers and operators run and what deploy/ installs; the
# tests are tests/ (with the scripts that serve only tests) and the fuzzers; bench/'s
# figures are neither. Blank lines count as lines.
set -euo pipefail
cd "$(dirname "$0")/.."
revision="${1:-HEAD}"

product='^(app|audio|board|control|game|io|link|math|vocab|render|sim|tools|deploy|scripts|cmake|packaging)/|^(CMakeLists\.txt|run\.sh|test\.sh)$'
tests='^(tests|fuzz)/'
figures='^bench/'
source_files='\.(cpp|h|sh|py|js|html|css|cmake|conf|service|sql)$|CMakeLists\.txt$'

# count INCLUDED EXCLUDED [KINDS]: lines of the files whose paths match INCLUDED and not EXCLUDED.
count() {
  local files
  files="$(git ls-tree -r --name-only "$revision" | grep -E "${3:-$source_files}" | grep -E "$1" | grep -Ev "$2" || true)"
  [ -n "$files" ] || { echo 0; return; }
  while read -r file; do git show "$revision:$file"; done <<<"$files" | wc -l
}

code="$(count "$product" '^$')"
tested="$(count "$tests" '^$')"
cpp='\.(cpp|h)$'
code_cpp="$(count "$product" '^$' "$cpp")"
tested_cpp="$(count "$tests" '^$' "$cpp")"
echo "product code: $code lines ($code_cpp of C++)"
echo "tests:        $tested lines ($tested_cpp of C++): $(( tested * 100 / code )) % of the product ($(( tested_cpp * 100 / code_cpp )) % in C++), $(( tested * 100 / (code + tested) )) % of the whole"
echo "figures:      $(count "$figures" '^$') lines (bench/, in neither)"
