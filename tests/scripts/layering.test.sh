#!/usr/bin/env bash
# Nothing points backwards: each layer of src/ includes only itself and the layers below it.
#   core ← platform ← protocol ← household ← health ← ui/panel, ui/rooms, ui/health, onboarding
#   ← app, render; ui/kit builds on core and platform only: it knows no household.
# The panel's root view places the room list, footer and banners of ui/rooms; other view layers
# beside each other do not include one another.
# A folder without a rule here fails, so a new layer states its place.
set -euo pipefail
src="$(cd "$(dirname "$0")/../../src" && pwd)"

declare -A allowed=(
  [core]="core"
  [platform]="core platform"
  [protocol]="core platform protocol"
  [household]="core platform protocol household"
  [health]="core platform protocol household health"
  [ui/kit]="core platform ui/kit"
  [ui/panel]="core platform protocol household health ui/kit ui/rooms ui/panel"
  [ui/rooms]="core platform protocol household health ui/kit ui/rooms"
  [ui/health]="core platform protocol household health ui/kit ui/health"
  [onboarding]="core platform protocol household health ui/kit onboarding"
  [app]="core platform protocol household health ui/kit ui/panel ui/rooms ui/health onboarding render app"
  [render]="core platform protocol household health ui/kit ui/panel ui/rooms ui/health onboarding app render"
)

# The layer of a path below src/: "ui/<name>" for the view layers, else the first folder.
layer_of() {
  case $1 in
    ui/*/*) local rest=${1#ui/}; echo "ui/${rest%%/*}" ;;
    */*) echo "${1%%/*}" ;;
    *) echo "" ;;
  esac
}

failures=0
while IFS= read -r -d '' file; do
  rel=${file#"$src"/}
  layer=$(layer_of "$rel")
  if [[ -z $layer ]]; then
    echo "$rel: a source directly in src/ belongs to no layer"
    failures=$((failures + 1))
    continue
  fi
  if [[ -z ${allowed[$layer]+set} ]]; then
    echo "$rel: layer '$layer' has no rule in tests/scripts/layering.test.sh"
    failures=$((failures + 1))
    continue
  fi
  while IFS= read -r line; do
    number=${line%%:*}
    target=$(sed -E 's/^[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/' <<<"$line")
    target_layer=$(layer_of "$target")
    [[ -z $target_layer ]] && continue # a header beside the source, or a system header
    if [[ " ${allowed[$layer]} " != *" $target_layer "* ]]; then
      echo "$rel:$number: $layer includes \"$target\" of $target_layer"
      failures=$((failures + 1))
    fi
  done < <(grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" || true)
done < <(find "$src" -type f \( -name '*.cpp' -o -name '*.h' \) -print0)

if ((failures > 0)); then
  echo "$failures include(s) point against the layering"
  exit 1
fi
echo "layering holds"
