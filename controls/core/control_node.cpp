// controls/core/control_node.cpp - not written yet.
