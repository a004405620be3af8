#!/usr/bin/env bash
# No built or installed file looks its libraries up in the current folder or beside the
# folder above it: an empty RUNPATH element is the current folder, a relative one is
# relative to it, and $ORIGIN/.. is the folder above a copy of the program folder. Checks
# every ELF file under the folders given, with readelf.
# Usage: runpath.sh FOLDER...
set -euo pipefail
checked=0 bad=()
while IFS= read -r -d '' file; do
    [ "$(head -c 4 "$file" | od -An -c | tr -d ' ')" = '177ELF' ] || continue
    checked=$((checked + 1))
    paths=$(readelf -d "$file" 2>/dev/null | sed -n 's/.*(R\(UN\)\{0,1\}PATH).*\[\(.*\)\]/\2/p')
    [ -n "$paths" ] || continue
    # Each element, the empty ones too.
    while IFS= read -r element; do
        case "$element" in
        '' | [!/\$]* | '$ORIGIN/..'* | */..*) bad+=("$file: RUNPATH [$paths]"); break ;;
        esac
    done < <(tr ':' '\n' <<<"$paths")
done < <(find "$@" -type f -size +63c -print0)
[ "$checked" -gt 0 ] || { echo "FAIL: no ELF file under $*" >&2; exit 1; }
if [ ${#bad[@]} -gt 0 ]; then
    printf 'FAIL: %s\n' "${bad[@]}" >&2
    exit 1
fi
echo "runpath: $checked ELF files, none looks in the current folder or above"
