// The operation table's look-ups and the node tree operations every compiler stage relies on.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "KRX/runtime/Operations.h"
#include "KRX/compiler/SyntaxNode.h"
#include "KRX/runtime/Types.h"

using KRX::FindOperation;
using KRX::g_Operations;
using KRX::SyntaxNode;
using KRX::SyntaxNodePtr;

namespace {

TEST(OperationTable, SearchesReturnTheFirstRowThatFits) {
  EXPECT_EQ(nullptr, g_Operations[KRX::kOperationRows].text);
  for (int i = 0; i < KRX::kOperationRows; ++i) EXPECT_NE(nullptr, g_Operations[i].text) << i;
  // Same text in several rows: the first wins unless the kind narrows it.
  EXPECT_EQ(51, KRX::OperationRowIndex(FindOperation(0, 0, "++")));
  EXPECT_EQ(52, KRX::OperationRowIndex(FindOperation(KRX::OT_POSTFIX, 0, "++")));
  EXPECT_EQ(2, KRX::OperationRowIndex(FindOperation(0, 0, "func")));
  EXPECT_EQ(46, KRX::OperationRowIndex(FindOperation(KRX::OT_SYS, 0, "func")));
  EXPECT_EQ(32, KRX::OperationRowIndex(FindOperation(0, KRX::OS_KEYWORD, nullptr)));
  EXPECT_EQ(79, KRX::OperationRowIndex(FindOperation(0, KRX::OS_ASSIGN, nullptr)));
  EXPECT_EQ(nullptr, FindOperation(7, 0, nullptr));
  EXPECT_EQ(nullptr, FindOperation(0, 0, "repeat"));
}

TEST(OperationTable, TypeNameRowsCarryTheirTypeCode) {
  // The type keyword table writes "bind" where the operation table writes "bound".
  for (const KRX::t_Operation* row = g_Operations; row->text; ++row) {
    if (row->subType != KRX::OS_TYPENAME) continue;
    const char* keyword = std::strcmp(row->text, "bound") == 0 ? "bind" : row->text;
    EXPECT_EQ(KRX::TypeCodeFromName(keyword), row->priority) << row->text;
  }
  // Only the assignments group right to left; ".." adds and "~=" compares like "!=".
  for (const KRX::t_Operation* row = g_Operations; row->text; ++row)
    EXPECT_EQ(row->subType == KRX::OS_ASSIGN ? 0 : 1, row->leftToRight) << row->text;
  EXPECT_EQ(163, FindOperation(0, 0, "..")->command);
  EXPECT_EQ(FindOperation(0, 0, "!=")->subType, FindOperation(0, 0, "~=")->subType);
}

std::string Names(const SyntaxNode* parent) {
  std::string out;
  for (const SyntaxNode* c = parent->GetFirstChild(); c; c = c->GetNext()) {
    out += c->GetText();
    // Walk backwards too: the two directions must agree.
    EXPECT_EQ(parent, c->GetParent());
    if (c->GetNext()) {
      EXPECT_EQ(c, c->GetNext()->GetPrev());
    }
  }
  std::string back;
  for (const SyntaxNode* c = parent->GetLastChild(); c; c = c->GetPrev()) back.insert(0, c->GetText());
  EXPECT_EQ(out, back);
  return out;
}

TEST(SyntaxNodeTree, LinksStayConsistentThroughMovesAndDetaches) {
  SyntaxNodePtr a = SyntaxNode::Make(KRX::OT_CHUNK, 0, "A", 1);
  SyntaxNodePtr b = SyntaxNode::Make(KRX::OT_CHUNK, 0, "B", 1);
  SyntaxNodePtr x = SyntaxNode::MakeNamed("if", 3);
  ASSERT_TRUE(a && b && x);
  EXPECT_EQ(KRX::OS_KEYWORD, x->GetSubType());
  EXPECT_STREQ("if", x->GetRowText());
  EXPECT_EQ(3, x->GetLine());
  for (const char* name : {"1", "2", "3"}) SyntaxNode::AppendChild(a.get(), SyntaxNode::Make(KRX::OT_VAL, 0, name, 1).get());
  EXPECT_EQ("123", Names(a.get()));

  SyntaxNode* two = a->GetFirstChild()->GetNext();
  SyntaxNode::AppendChild(b.get(), two);  // moves: detached from a first
  EXPECT_EQ("13", Names(a.get()));
  EXPECT_EQ("2", Names(b.get()));

  SyntaxNode::InsertAfter(a.get(), a->GetLastChild(), x.get());
  EXPECT_EQ("13if", Names(a.get()));
  SyntaxNode::InsertBefore(a.get(), a->GetFirstChild(), two);
  EXPECT_EQ("213if", Names(a.get()));
  EXPECT_EQ(0, b->GetChildCount());
  // A sibling of another parent: nothing happens.
  SyntaxNodePtr stray = SyntaxNode::Make(KRX::OT_VAL, 0, "s", 1);
  SyntaxNode::InsertAfter(b.get(), a->GetFirstChild(), stray.get());
  EXPECT_EQ(nullptr, stray->GetParent());

  SyntaxNode::Detach(a->GetFirstChild());
  SyntaxNode::Detach(a->GetLastChild());
  EXPECT_EQ("13", Names(a.get()));
  SyntaxNode::Detach(stray.get());  // no parent: unchanged
  EXPECT_EQ(nullptr, stray->GetPrev());
}

TEST(SyntaxNodeTree, CloneCopiesRowValueLineAndOptionallyChildren) {
  SyntaxNodePtr root = SyntaxNode::Make(KRX::OT_EXP, 0, "(...)", 4);
  SyntaxNodePtr child = SyntaxNode::Make(KRX::OT_ID, KRX::OS_MODULE, "Mod", 4);
  SyntaxNode::AppendChild(root.get(), child.get());
  SyntaxNode::AppendChild(child.get(), SyntaxNode::Make(KRX::OT_VAL, 0, "deep", 5).get());

  SyntaxNodePtr flat = root->Clone(false);
  EXPECT_EQ(0, flat->GetChildCount());
  EXPECT_TRUE(SyntaxNode::HasText(flat.get(), "(...)"));
  EXPECT_EQ(4, flat->GetLine());

  SyntaxNodePtr deep = root->Clone(true);
  std::string original, copy;
  SyntaxNode::Dump(root.get(), original, 0);
  SyntaxNode::Dump(deep.get(), copy, 0);
  EXPECT_EQ(original, copy);
  EXPECT_NE(root->GetFirstChild(), deep->GetFirstChild());
  EXPECT_EQ(deep->GetFirstChild(), SyntaxNode::FindModuleChild(deep.get()));
  EXPECT_EQ(nullptr, SyntaxNode::FindModuleChild(child.get()));
}

TEST(SyntaxNodeTree, HasTextMatchesTextsAndNonTextsOnlyNoText) {
  SyntaxNodePtr named = SyntaxNode::Make(KRX::OT_VAL, 0, "x", 1);
  EXPECT_TRUE(SyntaxNode::HasText(named.get(), "x"));
  EXPECT_FALSE(SyntaxNode::HasText(named.get(), "y"));
  EXPECT_FALSE(SyntaxNode::HasText(named.get(), nullptr));
  named->SetValue(KRX::Var(3));
  EXPECT_FALSE(SyntaxNode::HasText(named.get(), "3"));
  EXPECT_TRUE(SyntaxNode::HasText(named.get(), nullptr));
  KRX::Var target("x");
  KRX::Var reference;
  reference.SetReference(&target);
  named->SetValue(reference);
  EXPECT_TRUE(SyntaxNode::HasText(named.get(), "x"));
}

TEST(SyntaxNodeTree, DumpFormatAndLongChainsFreeWithoutRecursion) {
  SyntaxNodePtr root = SyntaxNode::Make(KRX::OT_REM, 0, nullptr, -1);
  SyntaxNodePtr plus = SyntaxNode::MakeNamed("..", 2);
  plus->SetValue(KRX::Var());
  SyntaxNode::AppendChild(root.get(), plus.get());
  std::string text;
  SyntaxNode::Dump(root.get(), text, 0);
  EXPECT_EQ("rem  () rem\n  binary (unknown en_OpSubType) (+) .. (NULL)\n", text);

  // A token list of a large source: freeing it must not unwind a million links recursively.
  for (int i = 0; i < 1000000; ++i)
    SyntaxNode::AppendChild(root.get(), SyntaxNodePtr(new SyntaxNode(g_Operations[1], KRX::Var(i))).get());
  EXPECT_EQ(1000001, root->GetChildCount());
  root = nullptr;
}

}  // namespace
