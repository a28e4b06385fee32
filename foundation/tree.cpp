// TREE: binary tree of user data pointers.
#include "foundation/tree.h"

#include <new>
#include <vector>

TREE* TREE_New() {
    return new (std::nothrow) TREE{nullptr};
}

int TREE_Destroy(TREE* tree) {
    if (!tree) return 1;
    // Children before parents, with an explicit stack so that a deep tree cannot overflow the
    // call stack: a node is released once both its subtrees are gone.
    std::vector<TREE_NODE*> pending;
    if (tree->root) pending.push_back(tree->root);
    while (!pending.empty()) {
        TREE_NODE* node = pending.back();
        if (node->left) {
            pending.push_back(node->left);
            node->left = nullptr;
        } else if (node->right) {
            pending.push_back(node->right);
            node->right = nullptr;
        } else {
            pending.pop_back();
            delete node;
        }
    }
    delete tree;
    return 0;
}

TREE_NODE* TREE_RootNode(TREE* tree) {
    return tree ? tree->root : nullptr;
}

TREE_NODE* TREE_AddNode(TREE* tree, TREE_NODE* parent, int where, void* data) {
    if (!tree) return nullptr;
    TREE_NODE** place = nullptr;
    switch (where) {
        case TREE_ROOT:
            place = &tree->root;
            break;
        case TREE_LEFT:
            if (parent) place = &parent->left;
            break;
        case TREE_RIGHT:
            if (parent) place = &parent->right;
            break;
        default:
            break;
    }
    // An occupied place is refused rather than losing the subtree that holds it.
    if (!place || *place) return nullptr;
    TREE_NODE* node = new (std::nothrow) TREE_NODE{nullptr, nullptr, data};
    if (node) *place = node;
    return node;
}

TREE_NODE* TREE_NodeLeft(TREE_NODE* node) {
    return node ? node->left : nullptr;
}

TREE_NODE* TREE_NodeRight(TREE_NODE* node) {
    return node ? node->right : nullptr;
}

void* TREE_GetUserData(TREE_NODE* node) {
    return node ? node->userData : nullptr;
}
