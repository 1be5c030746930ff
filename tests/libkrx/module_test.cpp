// String pools, variable tables, symbol tables and the module tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "KRX/BinCode.h"
#include "KRX/ByteCode.h"
#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/VarTable.h"
#include "krx_test_util.h"

using krxtest::Describe;
using krxtest::MakeVar;
using KRX::BinCode;
using KRX::StringPool;
using KRX::Var;

namespace {

TEST(StringPool, InternFindsAndOrders) {
  StringPool pool;
  EXPECT_EQ(pool.FindOffset("a"), -1);
  EXPECT_EQ(pool.Intern(nullptr), -1);
  EXPECT_EQ(pool.Intern("beta"), 1);  // offset 0 holds the empty text
  int used = pool.GetBlobSize();
  EXPECT_EQ(pool.Intern("beta"), 1);
  EXPECT_EQ(pool.GetBlobSize(), used);
  EXPECT_EQ(pool.Intern("alpha"), 6);
  EXPECT_EQ(pool.Intern(""), 0);
  EXPECT_EQ(pool.FindOffset("alpha"), 6);
  EXPECT_STREQ(pool.TextAt(6), "alpha");
  EXPECT_EQ(pool.TextAt(used + 100), nullptr);
  EXPECT_EQ(pool.TextAt(-1), nullptr);
  // Blob order, counted from offset 1, numbers the names.
  EXPECT_EQ(pool.IndexOf("beta"), 0);
  EXPECT_EQ(pool.IndexOf("alpha"), 1);
  EXPECT_EQ(pool.IndexOf("gamma"), -1);
  EXPECT_STREQ(pool.StringAt(1), "alpha");
  EXPECT_EQ(pool.StringAt(2), nullptr);
  EXPECT_EQ(pool.GetBlobCapacity() % 8, 0);
}

TEST(StringPool, ManyTextsSurviveGrowthAndCopies) {
  StringPool pool;
  std::vector<std::string> texts;
  std::vector<int32_t> offsets;
  for (int i = 0; i < 2000; ++i) {
    texts.push_back("name_" + std::to_string((i * 7919) % 2000) + (i % 3 ? "\xc3\xa9" : ""));
    offsets.push_back(pool.Intern(texts.back().c_str()));
  }
  StringPool copy(pool);
  for (size_t i = 0; i < texts.size(); ++i) {
    ASSERT_EQ(pool.FindOffset(texts[i].c_str()), offsets[i]) << texts[i];
    ASSERT_STREQ(copy.TextAt(offsets[i]), texts[i].c_str());
  }
  copy.Intern("only in the copy");
  EXPECT_EQ(pool.FindOffset("only in the copy"), -1);
}

TEST(StringPool, LoadedBlobIsIndexedAndMalformedBlobsAreRefused) {
  StringPool original;
  original.Intern("x");
  original.Intern("yy");
  StringPool loaded;
  ASSERT_TRUE(loaded.SetBlob(original.GetBlob(), original.GetBlobSize()));
  EXPECT_EQ(loaded.FindOffset("yy"), original.FindOffset("yy"));
  int size = loaded.GetBlobSize();
  EXPECT_EQ(loaded.Intern("x"), 1);  // found, not appended again
  EXPECT_EQ(loaded.GetBlobSize(), size);
  EXPECT_FALSE(loaded.SetBlob("\0abc", 4));  // last text unterminated
  EXPECT_EQ(loaded.GetBlobSize(), 0);
  EXPECT_FALSE(loaded.SetBlob("a\0", 2));  // offset 0 is not the empty text
  EXPECT_TRUE(loaded.SetBlob(nullptr, 0));
}

TEST(VarTable, SlotsGrowKeepValuesAndNames) {
  KRX::VarTable table;
  std::vector<Var*> unused;
  for (int i = 0; i < 30; ++i) {
    int index = -1;
    std::string name = "v" + std::to_string(i);
    Var* slot = table.AddVariable(name.c_str(), i % 2 ? KRX::VT_STRING : KRX::TYPE_AUTO, index);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(index, i);
    if (i % 2) slot->SetString(name.c_str());
    if (i == 0) {
      EXPECT_EQ(table.GetCapacity(), 2);
    }
    if (i == 5) {
      EXPECT_EQ(table.GetCapacity(), 9);
    }
  }
  EXPECT_EQ(table.GetCount(), 30);
  EXPECT_STREQ(table.GetVariable(29)->GetString(), "v29");
  EXPECT_TRUE(table.GetVariable(28)->IsAuto());
  EXPECT_STREQ(table.GetName(17), "v17");
  EXPECT_EQ(table.GetVariable(30), nullptr);
  EXPECT_EQ(table.GetVariable(-1), nullptr);

  KRX::VarTable copy(table);
  EXPECT_EQ(copy.GetCapacity(), table.GetCapacity());
  EXPECT_NE(copy.GetVariable(1)->GetString(), table.GetVariable(1)->GetString());
  EXPECT_STREQ(copy.GetName(1), "v1");
  copy.GetVariable(1)->SetInt(5);
  copy.CopyValues(table);
  EXPECT_STREQ(copy.GetVariable(1)->GetString(), "v1");
}

TEST(VarTable, LoadLayoutNamesSlotsInBlobOrder) {
  KRX::VarTable written;
  int index;
  written.AddVariable("count", KRX::VT_INT, index);
  written.AddVariable("name", KRX::VT_STRING, index);
  const StringPool& names = written.GetNames();
  KRX::VarTable loaded;
  ASSERT_TRUE(loaded.LoadLayout(2, names.GetBlob(), names.GetBlobSize()));
  EXPECT_EQ(loaded.GetCount(), 2);
  EXPECT_GE(loaded.GetCapacity(), 4);
  EXPECT_STREQ(loaded.GetName(0), "count");
  EXPECT_STREQ(loaded.GetName(1), "name");
  EXPECT_FALSE(loaded.LoadLayout(-1, nullptr, 0));
  EXPECT_FALSE(loaded.LoadLayout(2, "\0x", 2));
  EXPECT_EQ(loaded.GetCount(), 0);
}

TEST(BinCodeSymbols, FindOrCreateAndErase) {
  BinCode m;
  EXPECT_EQ(m.Find(static_cast<const char*>(nullptr)), nullptr);
  Var* x = m.FindOrCreate("x", KRX::VT_INT);
  x->SetInt(7);
  EXPECT_EQ(m.FindOrCreate("x", 0), x);
  EXPECT_EQ(x->ToInt(), 7);  // type 0 returns the entry unchanged
  EXPECT_EQ(m.FindOrCreate("x", KRX::VT_INT)->ToInt(), 7);
  Var* s = m.FindOrCreate("x", KRX::VT_STRING);
  EXPECT_EQ(s, x);
  EXPECT_EQ(s->GetType(), KRX::VT_STRING);
  EXPECT_EQ(s->GetString(), nullptr);
  Var* autoEntry = m.FindOrCreate(nullptr, KRX::TYPE_AUTO);
  EXPECT_EQ(m.Find(""), autoEntry);
  EXPECT_TRUE(autoEntry->IsAuto());
  EXPECT_TRUE(m.Erase("x"));
  EXPECT_FALSE(m.Erase("x"));
  EXPECT_EQ(m.Find("x"), nullptr);
}

TEST(BinCodeSymbols, OrderIsByUnsignedBytesAndCopiesAreDeep) {
  BinCode m;
  for (const char* name : {"b", "\xc3\xa4", "A", "a", "~p2"}) m.FindOrCreate(name, KRX::VT_STRING)->SetString(name);
  std::vector<std::string> order;
  for (const auto& [name, value] : m.GetSymbols()) order.push_back(name);
  EXPECT_EQ(order, (std::vector<std::string>{"A", "a", "b", "~p2", "\xc3\xa4"}));
  BinCode copy;
  copy.FindOrCreate("gone", KRX::VT_INT);
  copy.CopySymbols(m);
  EXPECT_EQ(copy.Find("gone"), nullptr);
  EXPECT_NE(copy.Find("a")->GetString(), m.Find("a")->GetString());
  EXPECT_STREQ(copy.Find("a")->GetString(), "a");
}

// A file module with one function module, built the way the compiler does.
struct st_Tree {
  BinCode* root = new BinCode();
  BinCode* file = new BinCode();
  BinCode* func = new BinCode();
  st_Tree() {
    root->AddRef();
    root->FindOrCreate("castle", KRX::VT_MODULE)->SetModule(file);
    file->SetParent(root);
    file->FindOrCreate("~m", 0)->SetString("castle");
    file->FindOrCreate("~file", 0)->SetString("Scripts/Castle.lua");
    KRX::CreateVocabulary(file)->Intern("hello");
    file->FindOrCreate("Open", KRX::VT_MODULE)->SetModule(func);
    func->SetParent(file);
    func->FindOrCreate("~f", 0)->SetString("Open");
  }
  ~st_Tree() { root->Release(); }
};

TEST(ModuleTree, AccessorsWalkTheParents) {
  st_Tree t;
  EXPECT_EQ(KRX::GetParent(t.func), t.file);
  EXPECT_EQ(KRX::GetParent(t.file), t.root);
  EXPECT_EQ(KRX::GetParent(t.root), nullptr);
  EXPECT_EQ(KRX::GetNamedModule(t.func), t.file);
  EXPECT_STREQ(KRX::GetModuleName(t.func), "castle");
  EXPECT_STREQ(KRX::GetFileName(t.func), "Scripts/Castle.lua");
  EXPECT_STREQ(KRX::GetFunctionName(t.func), "Open");
  EXPECT_EQ(KRX::GetFunctionName(t.file), nullptr);
  EXPECT_EQ(KRX::GetModuleName(t.root), nullptr);
  EXPECT_EQ(KRX::GetVocabulary(t.func), KRX::GetVocabulary(t.file));
  ASSERT_NE(KRX::GetVocabulary(t.func), nullptr);
  EXPECT_EQ(KRX::GetVocabulary(t.func)->FindOffset("hello"), 1);

  Var fileValue;
  fileValue.SetModule(t.file);
  EXPECT_EQ(Describe(fileValue), "krx-code:script castle");
  Var funcValue;
  funcValue.SetModule(t.func);
  EXPECT_EQ(Describe(funcValue), "krx-code:func Open");
  Var nullModule;
  nullModule.SetModule(nullptr);
  EXPECT_EQ(Describe(nullModule), "krx-code:func (null)");
}

TEST(ModuleTree, CodeAccess) {
  BinCode m;
  int size = 99;
  EXPECT_EQ(KRX::GetCode(&m, size), nullptr);
  EXPECT_EQ(size, 0);
  m.FindOrCreate("~b", KRX::VT_INT);
  EXPECT_EQ(KRX::GetCode(&m, size), nullptr);
  EXPECT_EQ(size, -1);
  m.FindOrCreate("~b", KRX::VT_BINARY)->SetBinary("\xe5", 1);
  ASSERT_NE(KRX::GetCode(&m, size), nullptr);
  EXPECT_EQ(size, 1);
  m.Erase("~b");  // top-level code is erased after its one run
  EXPECT_EQ(KRX::GetCode(&m, size), nullptr);
}

TEST(ModuleTree, FunctionValueOutlivesItsFileModule) {
  Var kept;
  {
    st_Tree t;
    kept.SetModule(t.func);
    t.root->Erase("castle");  // unloading: the file module dies, the function lives on
  }
  BinCode* func = kept.GetModule();
  ASSERT_NE(func, nullptr);
  EXPECT_EQ(KRX::GetParent(func), nullptr);  // the link was cleared, not left dangling
  EXPECT_EQ(KRX::GetFileName(func), nullptr);
  EXPECT_EQ(KRX::GetVocabulary(func), nullptr);
  EXPECT_EQ(Describe(kept), "krx-code:func Open");
}

TEST(ModuleTree, ReparentingMovesTheLink) {
  auto* a = new BinCode();
  auto* b = new BinCode();
  Var child;
  child.SetModule(new BinCode());
  BinCode* c = child.GetModule();
  c->SetParent(a);
  c->SetParent(b);
  a->AddRef();
  a->Release();  // a dies; c is no longer registered with it
  EXPECT_EQ(KRX::GetParent(c), b);
  c->SetParent(nullptr);
  EXPECT_EQ(c->Find("~p"), nullptr);
  b->AddRef();
  b->Release();
}

void EmitLine(std::vector<uint8_t>& code, int line) {
  code.push_back(KRX::OP_LINE);
  KRX::EncodeOperand(MakeVar(("i:" + std::to_string(line)).c_str()), nullptr, code);
}

TEST(ModuleTree, HasLineWalksTheByteCode) {
  std::vector<uint8_t> code;
  EmitLine(code, 10);
  code.push_back(KRX::OP_PUSH_VALUE);
  KRX::EncodeOperand(MakeVar("f:1.5"), nullptr, code);
  code.push_back(KRX::OP_SWITCH);
  KRX::EncodeOperand(MakeVar("i:2"), nullptr, code);
  for (int i = 0; i < 2; ++i) {  // a case table: bare position operands
    Var pos;
    pos.SetPosition(0x00000A00);  // would read as "line 10" if walked as instructions
    KRX::EncodeOperand(pos, nullptr, code);
  }
  code.push_back(KRX::OP_EOC);
  EmitLine(code, 300);
  code.push_back(KRX::OP_STOP);
  EmitLine(code, 500);  // behind "stop": not reached
  BinCode m;
  m.FindOrCreate("~b", KRX::VT_BINARY)->SetBinary(code.data(), int(code.size()));
  struct {
    int line;
    bool has;
  } cases[] = {{10, true}, {300, true}, {150, true}, {9, false}, {500, false}, {301, false}};
  for (const auto& c : cases) EXPECT_EQ(KRX::HasLine(&m, c.line), c.has) << c.line;

  code.resize(code.size() - 12);  // cut inside the case table
  m.FindOrCreate("~b", KRX::VT_BINARY)->SetBinary(code.data(), int(code.size()));
  EXPECT_TRUE(KRX::HasLine(&m, 10));
  EXPECT_FALSE(KRX::HasLine(&m, 400));
}

}  // namespace
