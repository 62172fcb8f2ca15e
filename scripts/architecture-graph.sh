#!/bin/sh
# Draws docs/architecture.svg from the build's own description: the program's libraries and
# programs, and which links which. Needs graphviz (dot).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat >"$work/CMakeGraphVizOptions.cmake" <<'OPTIONS'
set(GRAPHVIZ_GRAPH_NAME "zorvast")
set(GRAPHVIZ_EXTERNAL_LIBS FALSE)
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS "^(unit_|gui_|cli_|e2e_|data_|bench|fuzz|gtest|gmock|zorvast_test|jetwriter|jet-write|zorvast-pack|zorvast_city_archive|zorvast-next|zorvast-render-icon).*")
OPTIONS
cmake -S "$root" -B "$work" -G Ninja --graphviz="$work/deps.dot" >/dev/null
# The legend explains CMake's shapes; the picture needs none of it.
sed '/subgraph clusterLegend/,/^}/d' "$work/deps.dot" >"$work/plain.dot"
dot -Grankdir=BT -Tsvg "$work/plain.dot" -o "$root/docs/architecture.svg"
