// controls/core/control_node.h - intrusive tree links shared by controls and the window list.
#pragma once

// Five links to other nodes. A control's children are in creation order; the window
// manager reuses the same links as the head and members of its window list.
struct ControlNode {
    ControlNode* parent = nullptr;
    ControlNode* firstChild = nullptr;
    ControlNode* lastChild = nullptr;
    ControlNode* nextSibling = nullptr;
    ControlNode* previousSibling = nullptr;
};

// Appends node at the end of parent's child list. The node's own nextSibling is not touched.
void linkAsLastChild(ControlNode* node, ControlNode* parent);

// Takes node (which must have a parent) out of its parent's child list and clears all five
// of its links, so it also forgets its own children without destroying them.
void unlink(ControlNode* node);
