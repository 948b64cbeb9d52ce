#!/usr/bin/env bash
# write-program-manifest.sh <folder> <program_id> <name> <user_dir_name> <fps_limit>
# Writes the smallest prog.xml the engine starts with (one application record, a Windows variant
# that takes any resolution) into <folder>, for scripts that run zorqa.exe in a scratch folder.
set -euo pipefail
if [ $# -ne 5 ]; then
    echo "usage: $0 <folder> <program_id> <name> <user_dir_name> <fps_limit>" >&2
    exit 2
fi
cat > "$1/prog.xml" <<XML
<?xml version="1.0" encoding="iso-8859-1"?>
<root>
<array id="PARAMETERS">
<node id="APPLICATION" program_id="$2" name="$3" user_dir_name="$4" developer="Ostrel" version="1.0.0" fps_limit="$5"/>
</array>
<array id="VARIANTS">
<node id="WINDOWS" resolutions="*"/>
</array>
</root>
XML
