#!/usr/bin/env bash
# check-includes.sh: fails when a source file under src/ includes a header of a folder listed
# below its own in src/README.md's layout table (the table's order is the layering, lowest
# first). A file or header belongs to the longest listed folder its path starts with; "zorqa.h"
# belongs to include/.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root/src"

# Folders in layer order, one per line, without the trailing slash.
layers=$(sed -n 's/^| `\([a-z0-9_/]*\)\/` |.*/\1/p' README.md)
[ -n "$layers" ] || { echo "check-includes: no layer table in src/README.md" >&2; exit 2; }

grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[^"]+"' \
        --include='*.h' --include='*.hpp' --include='*.c' --include='*.cpp' --include='*.y' . |
    awk -v layers="$layers" '
        BEGIN { n = split(layers, order, "\n"); for (i = 1; i <= n; i++) rank[order[i]] = i }
        # The longest listed folder that path lies in; "" when none does.
        function folder(path,    best, i) {
            best = ""
            for (i = 1; i <= n; i++)
                if (index(path, order[i] "/") == 1 && length(order[i]) > length(best)) best = order[i]
            return best
        }
        {
            split($0, parts, ":"); file = substr(parts[1], 3); line = parts[2]
            match($0, /"[^"]+"/); header = substr($0, RSTART + 1, RLENGTH - 2)
            if (header !~ /\//) header = "include/" header
            from = folder(file); to = folder(header)
            if (from == "") { print "check-includes: " file " lies in no listed folder"; bad = 1; next }
            if (to == "") next  # a header of the folder itself, or a generated one
            if (rank[to] > rank[from]) {
                print "check-includes: " file ":" line " (" from ") includes \"" header "\" (" to ")"
                bad = 1
            }
        }
        END { exit bad }'
echo "check-includes: ok"
