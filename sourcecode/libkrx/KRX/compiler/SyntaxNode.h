// KRX::SyntaxNode: the one node class of the script compiler. Tokens, syntax-tree nodes and
// assembly instructions are all SyntaxNodes: a copy of one operation-table row (what the node
// is), a value (the token's literal or name, the node's text, an instruction's operand), a
// source line and the tree links. Nodes are reference counted; a parent owns its first child
// and every node owns its next sibling, the other links are plain pointers.
#pragma once

#include <cstddef>

#include <string>
#include <utility>

#include "KRX/runtime/Operations.h"
#include "KRX/runtime/RefObj.h"
#include "KRX/runtime/Var.h"

namespace KRX {

class SyntaxNode : public RefObj {
 public:
  // A reset node: no links, type 0, subtype 0, command 228, priority -1, no text, line -1.
  SyntaxNode();
  // A node with a copy of row and of value.
  SyntaxNode(const t_Operation& row, const Var& value);
  // The same taking over a value made for it.
  SyntaxNode(const t_Operation& row, Var&& value) : m_op(row), m_value(std::move(value)) {}
  // Detaches every child (each keeps its subtree), clears the value, drops the links.
  ~SyntaxNode() override;
  // Nodes come from a pool of node-sized blocks that is given back whole once no node is left.
  static void* operator new(size_t size);
  static void operator delete(void* p, size_t size);

  // ---- making nodes
  // The first row with this type and subtype (0 matches any); the value is a string copy of
  // text ("" for null). Null when no row fits.
  static tRefPtr<SyntaxNode> Make(int type, int subType, const char* text, int line);
  // Make without the copy: the value points at text, which must outlive the node (a literal,
  // the operation table, the unit's text pool). The parser makes a few such nodes per token.
  static tRefPtr<SyntaxNode> MakeLasting(int type, int subType, const char* text, int line);
  // The first row whose text equals text; the value is a string copy of text. Null when none.
  static tRefPtr<SyntaxNode> MakeNamed(const char* text, int line);
  // Same row, value and line, no links; with deep, clones of every child appended in order.
  tRefPtr<SyntaxNode> Clone(bool deep) const;

  // ---- tree operations
  // Detaches node first when it has a parent; node becomes parent's last child.
  static void AppendChild(SyntaxNode* parent, SyntaxNode* node);
  // Links node right after sibling when sibling is a child of parent; otherwise nothing.
  static void InsertAfter(SyntaxNode* parent, SyntaxNode* sibling, SyntaxNode* node);
  // Links node right before sibling when sibling is a child of parent; otherwise nothing.
  static void InsertBefore(SyntaxNode* parent, SyntaxNode* sibling, SyntaxNode* node);
  // Unlinks node from its parent's chain (its own children stay); no parent: nothing.
  static void Detach(SyntaxNode* node);

  // ---- queries
  // True when the value is a text (through references) equal to text; a value that is no text
  // matches only a null text.
  static bool HasText(const SyntaxNode* node, const char* text);
  // The first child whose subtype is 4 (a module qualifier), or null.
  static SyntaxNode* FindModuleChild(const SyntaxNode* node);

  // ---- dump
  // Appends one line per node of the chain starting at node, each followed by its children
  // indented two more: "%*s%s %s (%s) %s" (indent, "", type, subtype and command names, row
  // text), then " (%s)" with the value's text when that is not empty, then "\n".
  static void Dump(const SyntaxNode* node, std::string& out, int indent);
  // Writes Dump(node, 0) to path (through a temporary file); false when it cannot be written.
  static bool DumpToFile(const SyntaxNode* node, const char* path);

  // ---- fields
  SyntaxNode* GetParent() const { return m_parent; }
  SyntaxNode* GetPrev() const { return m_prev; }
  SyntaxNode* GetNext() const { return m_next.get(); }
  SyntaxNode* GetFirstChild() const { return m_firstChild.get(); }
  SyntaxNode* GetLastChild() const { return m_lastChild; }
  int GetChildCount() const;

  int GetLine() const { return m_line; }
  void SetLine(int line) { m_line = line; }
  const t_Operation& GetOperation() const { return m_op; }
  void SetOperation(const t_Operation& row) { m_op = row; }
  int GetType() const { return m_op.type; }
  int GetSubType() const { return m_op.subType; }
  int GetCommand() const { return m_op.command; }
  int GetPriority() const { return m_op.priority; }
  bool IsLeftToRight() const { return m_op.leftToRight != 0; }
  const char* GetRowText() const { return m_op.text; }
  Var& GetValue() { return m_value; }
  const Var& GetValue() const { return m_value; }
  void SetValue(const Var& value) { m_value = value; }
  // The value's text (string(const), string or label, through references), else null.
  const char* GetText() const { return m_value.GetString(); }

 private:
  SyntaxNode* m_parent = nullptr;
  SyntaxNode* m_prev = nullptr;
  SyntaxNode* m_lastChild = nullptr;
  tRefPtr<SyntaxNode> m_firstChild;
  tRefPtr<SyntaxNode> m_next;
  int m_line = -1;
  t_Operation m_op;
  Var m_value;
};

using SyntaxNodePtr = tRefPtr<SyntaxNode>;

}  // namespace KRX
