// The tree walker's traversal: depth first over an explicit stack of frames.
#include "shadertool/TreeWalker.h"

#include "foundation/Array.h"

namespace ShaderTool {

namespace {

struct WalkFrame {
    Node* node;
    int32_t nextChild;
    int32_t depth;
};

}  // namespace

int32_t TreeWalker::ChildCount(const Node* node) {
    if (node == nullptr) {
        return 0;
    }
    switch (node->kind) {
        case NODE_DECLARATION:
            return static_cast<const DeclarationNode*>(node)->children.count;
        case NODE_FUNCTION:
        case NODE_CALL:
            return static_cast<const Symbol*>(node)->children.count;
        case NODE_LOOP:
            return 4;
        case NODE_JUMP:
            return 1;
        case NODE_OPERATION:
            return 2;
        case NODE_IF:
            return 3;
        default:
            return 0;  // literals and variables are leaves
    }
}

Node* TreeWalker::ChildAt(Node* node, int32_t index) {
    if (index < 0 || index >= ChildCount(node)) {
        return nullptr;
    }
    switch (node->kind) {
        case NODE_DECLARATION:
            return static_cast<DeclarationNode*>(node)->children[index];
        case NODE_FUNCTION:
        case NODE_CALL:
            return static_cast<Symbol*>(node)->children[index];
        case NODE_LOOP: {
            LoopNode* loop = static_cast<LoopNode*>(node);
            Node* const slots[4] = {loop->init, loop->condition, loop->step, loop->body};
            return slots[index];
        }
        case NODE_JUMP:
            return static_cast<JumpNode*>(node)->operand;
        case NODE_OPERATION: {
            OperationNode* operation = static_cast<OperationNode*>(node);
            return index == 0 ? operation->left : operation->right;
        }
        case NODE_IF: {
            IfNode* branch = static_cast<IfNode*>(node);
            Node* const slots[3] = {branch->condition, branch->thenBranch, branch->elseBranch};
            return slots[index];
        }
        default:
            return nullptr;
    }
}

void TreeWalker::Walk(Node* node) {
    if (node == nullptr || !Enter(node, 0)) {
        return;
    }
    Array<WalkFrame> stack;
    WalkFrame first = {node, 0, 0};
    stack.Push(first);
    while (stack.count > 0) {
        WalkFrame& top = stack[stack.count - 1];
        if (top.nextChild >= ChildCount(top.node)) {
            Node* finished = top.node;
            const int32_t depth = top.depth;
            stack.count -= 1;
            Leave(finished, depth);
            continue;
        }
        Node* child = ChildAt(top.node, top.nextChild);
        top.nextChild += 1;
        const int32_t depth = top.depth + 1;
        if (child != nullptr && Enter(child, depth)) {
            WalkFrame frame = {child, 0, depth};
            stack.Push(frame);  // may move the stack: `top` is not used after this
        }
    }
}

}  // namespace ShaderTool
