// TREE: binary tree of user data pointers (the data is never owned).
#pragma once

struct TREE_NODE {
    TREE_NODE* left;   // left child, or nullptr
    TREE_NODE* right;  // right child, or nullptr
    void* userData;    // the data (not owned)
};

struct TREE {
    TREE_NODE* root;  // the root node, or nullptr for an empty tree
};

// Where TREE_AddNode puts the new node.
enum {
    TREE_ROOT = 1,   // as the root (only when the tree has none)
    TREE_LEFT = 2,   // as the left child of the parent
    TREE_RIGHT = 3,  // as the right child of the parent
};

// A new empty tree; nullptr when out of memory.
TREE* TREE_New();
// Releases every node, children before parents, then the tree; user data is not released.
// 0, or 1 for a missing tree.
int TREE_Destroy(TREE* tree);
// The root node, nullptr for an empty or missing tree.
TREE_NODE* TREE_RootNode(TREE* tree);
// Adds a node holding data at `where` (TREE_ROOT, TREE_LEFT or TREE_RIGHT of parent) and
// returns it. Adds nothing (nullptr) for another `where`, a missing parent, or a place that is
// already taken.
TREE_NODE* TREE_AddNode(TREE* tree, TREE_NODE* parent, int where, void* data);
// Children and data of a node; nullptr for a missing node.
TREE_NODE* TREE_NodeLeft(TREE_NODE* node);
TREE_NODE* TREE_NodeRight(TREE_NODE* node);
void* TREE_GetUserData(TREE_NODE* node);
