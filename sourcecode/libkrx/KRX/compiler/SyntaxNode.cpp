#include "KRX/compiler/SyntaxNode.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "KRX/ByteCode.h"
#include "base/File.h"
#include "base/String.h"

namespace KRX {

// ---- node pool
// A compile makes and drops hundreds of thousands of nodes; a free list of node-sized blocks
// carved from large chunks spares the general allocator. Once the last node is gone (a compile
// has ended) the chunks are returned. Sanitizer builds take every node from the heap, so that a
// use after free is still seen.
#if defined(__SANITIZE_ADDRESS__)
#define KRX_NODE_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KRX_NODE_POOL 0
#endif
#endif
#ifndef KRX_NODE_POOL
#define KRX_NODE_POOL 1
#endif

namespace {
// Trivially destructible and constant-initialised: a node held by a static object may be
// dropped at exit, and the hot path pays for no guard.
struct st_NodePool {
  struct st_Free {
    st_Free* next;
  };
  struct st_Chunk {
    st_Chunk* next;  // kPerChunk node blocks follow the header
  };
  static constexpr size_t kPerChunk = 512;
  static constexpr size_t kHeader =
      (sizeof(st_Chunk) + alignof(SyntaxNode) - 1) / alignof(SyntaxNode) * alignof(SyntaxNode);
  st_Free* free = nullptr;
  st_Chunk* chunks = nullptr;
  size_t live = 0;

  void* Take() {
    if (!free) {
      char* memory = static_cast<char*>(::operator new(kHeader + kPerChunk * sizeof(SyntaxNode)));
      auto* chunk = reinterpret_cast<st_Chunk*>(memory);
      chunk->next = chunks;
      chunks = chunk;
      for (size_t i = kPerChunk; i-- > 0;) Give(memory + kHeader + i * sizeof(SyntaxNode));
    }
    st_Free* block = free;
    free = block->next;
    ++live;
    return block;
  }
  void Give(void* p) {
    auto* block = static_cast<st_Free*>(p);
    block->next = free;
    free = block;
  }
  void Release() {
    while (st_Chunk* chunk = chunks) {
      chunks = chunk->next;
      ::operator delete(chunk);
    }
    free = nullptr;
  }
};

constinit st_NodePool g_nodePool;

// The row FindOperation gives for a kind and sub-kind without a text, remembered: it scans the
// table, and nodes of a few kinds are made for every few tokens.
const t_Operation* RowOf(int type, int subType) {
  constexpr int kTypes = 32, kSubTypes = 256;
  if (type < 0 || type >= kTypes || subType < 0 || subType >= kSubTypes) return FindOperation(type, subType, nullptr);
  static const t_Operation* s_rows[kTypes][kSubTypes];
  static bool s_known[kTypes][kSubTypes];
  if (!s_known[type][subType]) {
    s_rows[type][subType] = FindOperation(type, subType, nullptr);
    s_known[type][subType] = true;
  }
  return s_rows[type][subType];
}

}  // namespace

void* SyntaxNode::operator new(size_t size) {
  if (!KRX_NODE_POOL || size != sizeof(SyntaxNode)) return ::operator new(size);
  return g_nodePool.Take();
}

void SyntaxNode::operator delete(void* p, size_t size) {
  if (!p) return;
  if (!KRX_NODE_POOL || size != sizeof(SyntaxNode)) {
    ::operator delete(p);
    return;
  }
  st_NodePool& pool = g_nodePool;
  pool.Give(p);
  if (--pool.live == 0) pool.Release();
}

// ---- making nodes

SyntaxNode::SyntaxNode() = default;

SyntaxNode::SyntaxNode(const t_Operation& row, const Var& value) : m_op(row), m_value(value) {}

SyntaxNode::~SyntaxNode() {
  // Children go one by one, so a long chain never unwinds recursively through m_next. A child
  // someone else still holds is left unlinked, as Detach would leave it.
  m_lastChild = nullptr;
  SyntaxNodePtr child = std::move(m_firstChild);
  while (child) {
    SyntaxNodePtr next = std::move(child->m_next);
    child->m_parent = nullptr;
    child->m_prev = nullptr;
    child = std::move(next);
  }
  m_value.Clear();
}

SyntaxNodePtr SyntaxNode::Make(int type, int subType, const char* text, int line) {
  const t_Operation* row = RowOf(type, subType);
  if (!row) return nullptr;
  SyntaxNodePtr node(new SyntaxNode(*row, Var(text ? text : "")));
  node->m_line = line;
  return node;
}

SyntaxNodePtr SyntaxNode::MakeLasting(int type, int subType, const char* text, int line) {
  const t_Operation* row = RowOf(type, subType);
  if (!row) return nullptr;
  SyntaxNodePtr node(new SyntaxNode(*row, Var()));
  node->m_value.SetConstString(text ? text : "");
  node->m_line = line;
  return node;
}

SyntaxNodePtr SyntaxNode::MakeNamed(const char* text, int line) {
  if (!text) return nullptr;
  const t_Operation* row = FindOperation(0, 0, text);
  if (!row) return nullptr;
  SyntaxNodePtr node(new SyntaxNode(*row, Var(text)));
  node->m_line = line;
  return node;
}

SyntaxNodePtr SyntaxNode::Clone(bool deep) const {
  SyntaxNodePtr copy(new SyntaxNode(m_op, m_value));
  copy->m_line = m_line;
  if (deep)
    for (const SyntaxNode* child = GetFirstChild(); child; child = child->GetNext())
      AppendChild(copy.get(), child->Clone(true).get());
  return copy;
}

int SyntaxNode::GetChildCount() const {
  int n = 0;
  for (const SyntaxNode* child = GetFirstChild(); child; child = child->GetNext()) ++n;
  return n;
}

// ---- tree operations

void SyntaxNode::AppendChild(SyntaxNode* parent, SyntaxNode* node) {
  if (!parent || !node || parent == node) return;
  SyntaxNodePtr keep;  // holds node while the link that owned it goes
  if (node->m_parent) {
    keep = node;
    Detach(node);
  }
  node->m_parent = parent;
  node->m_prev = parent->m_lastChild;
  if (parent->m_lastChild)
    parent->m_lastChild->m_next = node;
  else
    parent->m_firstChild = node;
  parent->m_lastChild = node;
}

void SyntaxNode::InsertAfter(SyntaxNode* parent, SyntaxNode* sibling, SyntaxNode* node) {
  if (!parent || !sibling || !node || sibling == node || sibling->m_parent != parent) return;
  SyntaxNodePtr keep(node);
  Detach(node);
  node->m_parent = parent;
  node->m_prev = sibling;
  node->m_next = std::move(sibling->m_next);
  if (node->m_next)
    node->m_next->m_prev = node;
  else
    parent->m_lastChild = node;
  sibling->m_next = node;
}

void SyntaxNode::InsertBefore(SyntaxNode* parent, SyntaxNode* sibling, SyntaxNode* node) {
  if (!parent || !sibling || !node || sibling == node || sibling->m_parent != parent) return;
  if (sibling->m_prev) {
    InsertAfter(parent, sibling->m_prev, node);
    return;
  }
  SyntaxNodePtr keep(node);
  Detach(node);
  node->m_parent = parent;
  node->m_prev = nullptr;
  node->m_next = std::move(parent->m_firstChild);
  node->m_next->m_prev = node;
  parent->m_firstChild = node;
}

void SyntaxNode::Detach(SyntaxNode* node) {
  if (!node || !node->m_parent) return;
  SyntaxNodePtr keep(node);  // the link that owned node goes below
  SyntaxNode* parent = node->m_parent;
  SyntaxNode* prev = node->m_prev;
  SyntaxNodePtr next = std::move(node->m_next);
  if (next) next->m_prev = prev;
  if (!next) parent->m_lastChild = prev;
  if (prev)
    prev->m_next = std::move(next);
  else
    parent->m_firstChild = std::move(next);
  node->m_parent = nullptr;
  node->m_prev = nullptr;
}

// ---- queries

bool SyntaxNode::HasText(const SyntaxNode* node, const char* text) {
  if (!node) return false;
  const char* own = node->m_value.GetString();
  if (!own) return text == nullptr;
  return text && std::strcmp(own, text) == 0;
}

SyntaxNode* SyntaxNode::FindModuleChild(const SyntaxNode* node) {
  if (!node) return nullptr;
  for (SyntaxNode* child = node->GetFirstChild(); child; child = child->GetNext())
    if (child->GetSubType() == OS_MODULE) return child;
  return nullptr;
}

// ---- dump

void SyntaxNode::Dump(const SyntaxNode* node, std::string& out, int indent) {
  for (; node; node = node->GetNext()) {
    // The indent is written by hand: "%*s" with a huge indent would only waste a buffer.
    out.append(size_t(indent > 0 ? indent : 0), ' ');
    out += GetOpTypeName(node->m_op.type);
    out += ' ';
    out += GetOpSubTypeName(node->m_op.subType);
    out += " (";
    out += GetCommandName(node->m_op.command);
    out += ") ";
    if (node->m_op.text) out += node->m_op.text;
    base::String text = node->m_value.ToText();
    if (text.size() > 0) {
      out += " (";
      out.append(text.c_str(), size_t(text.size()));
      out += ')';
    }
    out += '\n';
    if (node->GetFirstChild()) Dump(node->GetFirstChild(), out, indent + 2);
  }
}

bool SyntaxNode::DumpToFile(const SyntaxNode* node, const char* path) {
  std::string text;
  Dump(node, text, 0);
  base::File file;
  if (!path || !file.open(path, base::File::STATUS_WRITE)) return false;
  if (!text.empty() && !file.write(text.data(), int(text.size()))) {
    file.discard();
    return false;
  }
  return file.close();
}

}  // namespace KRX
