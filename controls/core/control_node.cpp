// controls/core/control_node.cpp - intrusive child lists of controls and of the window list.
#include "controls/core/control_node.h"

void linkAsLastChild(ControlNode* node, ControlNode* parent) {
    if (parent->lastChild == nullptr) {
        parent->firstChild = node;
        parent->lastChild = node;
    } else {
        parent->lastChild->nextSibling = node;
        node->previousSibling = parent->lastChild;
        parent->lastChild = node;
    }
    node->parent = parent;
}

void unlink(ControlNode* node) {
    ControlNode* parent = node->parent;
    if (node->previousSibling != nullptr)
        node->previousSibling->nextSibling = node->nextSibling;
    else
        parent->firstChild = node->nextSibling;
    if (node->nextSibling != nullptr)
        node->nextSibling->previousSibling = node->previousSibling;
    else
        parent->lastChild = node->previousSibling;
    *node = ControlNode{};
}
