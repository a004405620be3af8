#!/bin/bash
# The help page tells the user what README tells about the tapes' folders: each per-user
# folder README lists (Linux, Windows, macOS) is named in the help page, and a delete
# where there is no trash asks the same question in both.
#   dist/tests/help_readme.sh README.md help/index.html
set -euo pipefail
export LC_ALL=C.UTF-8
readme=$1
help=$2
status=0
folders=$(sed -n 's/^  - \(Linux\|Windows\|macOS\): `\([^`]*\)`.*/\2/p' "$readme")
if [ "$(grep -c . <<<"$folders")" -ne 3 ]; then
    echo "README does not list three per-user folders: $folders" >&2
    exit 1
fi
while IFS= read -r folder; do
    grep -qF "<code>$folder</code>" "$help" || {
        echo "the help page does not name $folder" >&2
        status=1
    }
done <<<"$folders"
question=$(grep -o '“[^”]*回收站[^”]*”' "$readme" | head -n 1 || true)
[ -n "$question" ] || {
    echo "README asks no question about the trash" >&2
    exit 1
}
grep -qF "$question" "$help" || {
    echo "the help page does not ask $question" >&2
    status=1
}
exit "$status"
