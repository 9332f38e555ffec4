# `cmake --preset default --graphviz=build/graph/kvartix.dot`: one graph of the targets, not
# one more per target; the layer link checks (src/CMakeLists.txt) left out, as their
# whole-archive link would show as nodes of its own.
set(GRAPHVIZ_GRAPH_NAME "kvartix")
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS "_link_check$" "LINK_LIBRARY:")
