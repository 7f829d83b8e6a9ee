#!/usr/bin/env bash
# Every include in src/ and tools/ points down: a file may use its own layer and the layers
# listed for it here, nothing above. Prints each include that does not, and fails.
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A below=(
  [core]=""
  [ports]="core"
  [config]="core ports"
  [printing]="core ports config"
  [documents]="core ports config printing"
  [intake]="core ports config printing documents"
  [platform]="core ports"
  [app]="core ports config printing documents intake platform"
  [tools]="core"
)
layers=" ${!below[*]} "

wrong=0
while IFS= read -r file; do
  case "$file" in
    src/*) layer=${file#src/}; layer=${layer%%/*} ;;
    tools/*) layer=tools ;;
  esac
  allowed=" $layer ${below[$layer]} "
  while IFS= read -r used; do
    [[ "$layers" == *" $used "* ]] || continue
    if [[ "$allowed" != *" $used "* ]]; then
      echo "$file includes a header of $used, a layer above $layer" >&2
      wrong=1
    fi
  done < <(sed -n 's/^#include "\([a-z]*\)\/.*/\1/p' "$file")
done < <(find src tools -name '*.h' -o -name '*.cpp' | sort)

if [[ $wrong -ne 0 ]]; then exit 1; fi
echo "every include points down"
