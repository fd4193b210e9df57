#!/usr/bin/env bash
# Every build/<name> that README.md and docs/*.md name must be made by a
# preset (its binaryDir in CMakePresets.json) or by a script under scripts/
# (which names it), so that the documents' commands run from a fresh clone.
# Usage: scripts/check-docs.sh
set -euo pipefail
cd "$(dirname "$0")/.."

presets=$(grep -oE '"binaryDir": *"[^"]*"' CMakePresets.json | sed -E 's|.*/(build/[^"]*)"$|\1|')
# A build/ path is one that does not continue a longer word or path.
pattern='(?<![\w./$-])build/[\w.-]+'
failed=0
while IFS=: read -r file line name; do
    [ -n "$name" ] || continue
    if grep -qxF "$name" <<<"$presets"; then
        continue
    fi
    if grep -qP "(?<![\\w.])${name//./\\.}(?![\\w.-])" $(ls scripts/* | grep -v check-docs.sh); then
        continue
    fi
    echo "$file:$line: $name is made by no preset and no script under scripts/" >&2
    failed=1
done < <(grep -noP "$pattern" README.md docs/*.md || true)
if [ "$failed" = 0 ]; then
    echo "ok"
fi
exit "$failed"
