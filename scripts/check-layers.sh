#!/bin/sh
# The layers of src/ and the one rule between them: a folder includes only
# folders on a line below its own. Folders on one line do not include each
# other, so no program includes another program. A folder under src/ that is
# on no line fails the check until it is given its place here (and in the
# "Layers and imports" section of docs/architecture.md).
# Prints every offending line; exit status 1 then.
set -eu
root=${1:-$(dirname "$0")/..}

# Top to bottom.
layers='
app/qt app/win32 app/console sim/uhid explore
app
services
sim record history
mixer/alsa mixer/winmm mixer/sim
hid/hidraw hid/win32
adapter
hid mixer
protocol
firmware
win32
'

cd "$root/src"
find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort |
  xargs grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' /dev/null |
  awk -v layers="$layers" '
    BEGIN {
      n = split(layers, line, "\n"); level = 0
      for (i = n; i >= 1; i--) {
        if (line[i] == "") continue
        level++
        m = split(line[i], folder, " ")
        for (j = 1; j <= m; j++) rank[folder[j]] = level
      }
      status = 0
    }
    function dir(path) { return sub(/\/[^\/]*$/, "", path) ? path : "." }
    {
      split($0, part, ":"); file = part[1]
      from = dir(file)
      if (!(from in rank)) {
        if (!(from in unplaced)) print "src/" from ": a folder on no layer line of scripts/check-layers.sh"
        unplaced[from] = 1; status = 1; next
      }
      target = $0; sub(/^[^"]*"/, "", target); sub(/".*$/, "", target)
      to = dir(target)
      if (to == "." || to == from) next
      if (!(to in rank)) {
        print "src/" $0 "  (includes a folder on no layer line)"; status = 1
      } else if (rank[to] >= rank[from]) {
        print "src/" $0 "  (" from " includes " to ", which is not below it)"; status = 1
      }
    }
    END {
      if (status) print "a folder includes one that is not below it (lines above; scripts/check-layers.sh)" > "/dev/stderr"
      exit status
    }'
