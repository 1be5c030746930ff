// The operator functions the interpreter's arithmetic and comparison instructions call.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "KRX/BinCode.h"
#include "KRX/runtime/Thread.h"
#include "krx_test_util.h"

using krxtest::Describe;
using krxtest::MakeVar;
using KRX::Var;

namespace {

using BinaryOp = bool (*)(const Var&, Var&);

BinaryOp OpByName(const std::string& name) {
  if (name == "+") return &Var::OpAdd;
  if (name == "-") return &Var::OpSub;
  if (name == "*") return &Var::OpMul;
  if (name == "/") return &Var::OpDiv;
  if (name == "%") return &Var::OpMod;
  if (name == "&") return &Var::OpBitAnd;
  if (name == "|") return &Var::OpBitOr;
  if (name == "^") return &Var::OpBitXor;
  if (name == "<") return &Var::OpLess;
  if (name == "<=") return &Var::OpLessEqual;
  if (name == ">") return &Var::OpGreater;
  if (name == ">=") return &Var::OpGreaterEqual;
  if (name == "==") return &Var::OpEqual;
  if (name == "!=") return &Var::OpNotEqual;
  if (name == "&&") return &Var::OpLogicalAnd;
  if (name == "||") return &Var::OpLogicalOr;
  if (name == "<<") return &Var::OpShiftLeft;
  if (name == ">>") return &Var::OpShiftRight;
  return nullptr;
}

struct st_OpCase {
  const char* dest;
  const char* op;
  const char* src;
  const char* expected;  // Describe() of dest afterwards, or "FAIL" (dest must be unchanged)
};

const st_OpCase kOpCases[] = {
    // type ranks: the larger rank decides
    {"i:2", "+", "f:2.5", "float:4.500000"},
    {"b:1", "+", "i:1", "int:2"},
    {"b:1", "+", "b:0", "bool:true"},
    {"b:0", "+", "b:0", "bool:false"},
    {"b:1", "-", "b:1", "bool:true"},
    {"b:1", "-", "b:0", "bool:false"},
    {"i:5", "-", "f:0.5", "float:4.500000"},
    {"f:1.5", "*", "i:2", "float:3.000000"},
    {"i:6", "*", "i:7", "int:42"},
    {"b:1", "*", "b:1", "FAIL"},
    {"i:2147483647", "+", "i:1", "int:-2147483648"},
    {"i:-2147483648", "-", "i:1", "int:2147483647"},
    {"i:65536", "*", "i:65536", "int:0"},
    // text concatenation
    {"i:3", "+", "s:x", "string:3x"},
    {"c:ab", "+", "s:cd", "string:abcd"},
    {"f:1.5", "+", "s:x", "string:1.500000x"},
    {"s:a", "+", "n", "string:aNULL"},
    {"b:1", "+", "c:!", "string:true!"},
    {"l:x", "+", "i:1", "FAIL"},
    {"i:1", "+", "l:x", "FAIL"},
    {"s:a", "-", "s:b", "FAIL"},
    {"s:a", "*", "i:2", "FAIL"},
    // nil beside numbers: arithmetic fails
    {"n", "+", "n", "FAIL"},
    {"n", "+", "i:1", "FAIL"},
    {"f:1", "-", "n", "FAIL"},
    {"n", "&", "b:1", "FAIL"},
    {"p:1", "+", "i:1", "FAIL"},
    // division and remainder
    {"i:7", "/", "i:2", "int:3"},
    {"i:-7", "/", "i:2", "int:-3"},
    {"i:7", "/", "f:2", "float:3.500000"},
    {"f:1", "/", "i:0", "float:inf"},
    {"i:1", "/", "i:0", "FAIL"},
    {"i:-2147483648", "/", "i:-1", "FAIL"},
    {"b:1", "/", "b:1", "FAIL"},
    {"i:-7", "%", "i:3", "int:-1"},
    {"i:7", "%", "i:-3", "int:1"},
    {"i:7", "%", "i:0", "FAIL"},
    {"i:-2147483648", "%", "i:-1", "int:0"},
    {"f:7.5", "%", "i:2", "float:1.500000"},
    // bit operators
    {"i:12", "&", "i:10", "int:8"},
    {"i:12", "|", "i:10", "int:14"},
    {"i:12", "^", "i:10", "int:6"},
    {"b:1", "^", "b:1", "bool:false"},
    {"b:1", "|", "b:0", "bool:true"},
    {"f:1", "&", "i:1", "FAIL"},
    {"s:a", "|", "s:b", "FAIL"},
    // comparisons with nil
    {"n", "<", "i:5", "bool:false"},
    {"n", "<=", "i:5", "bool:true"},
    {"i:5", ">", "n", "bool:false"},
    {"i:5", ">=", "n", "bool:true"},
    {"n", "<", "n", "bool:false"},
    {"n", "<=", "n", "bool:true"},
    // numbers compare as the larger rank
    {"i:1", "<", "f:1.5", "bool:true"},
    {"i:2", "<", "f:1.5", "bool:false"},
    {"f:1.5", ">", "i:1", "bool:true"},
    {"b:0", "<", "b:1", "bool:true"},
    {"b:1", "<", "i:1", "bool:false"},
    {"b:1", "<=", "i:1", "bool:true"},
    {"i:-1", "<", "i:0", "bool:true"},
    // texts: unsigned bytes; a non-text has no text and sorts first
    {"s:a", "<", "s:b", "bool:true"},
    {"s:b", "<", "c:a", "bool:false"},
    {"s:abc", "<=", "c:abc", "bool:true"},
    {"s:ab", "<", "s:abc", "bool:true"},
    {"s:z", "<", "s:\xe9", "bool:true"},
    {"i:1", "<", "s:a", "bool:true"},
    {"s:a", "<", "i:1", "bool:false"},
    {"l:a", "<", "l:b", "FAIL"},
    // equality
    {"n", "==", "i:0", "bool:false"},
    {"i:0", "==", "n", "bool:false"},
    {"n", "==", "n", "bool:true"},
    {"n", "!=", "n", "bool:false"},
    {"i:1", "==", "f:1", "bool:true"},
    {"b:1", "==", "i:1", "bool:true"},
    {"i:1", "!=", "i:2", "bool:true"},
    {"s:a", "==", "c:a", "bool:true"},
    {"s:a", "==", "s:A", "bool:false"},
    {"s:1", "==", "i:1", "bool:false"},
    {"l:a", "==", "l:a", "FAIL"},
    {"p:1", "==", "p:1", "FAIL"},
    // logic: always succeeds, result is bool
    {"i:0", "&&", "s:x", "bool:false"},
    {"s:x", "&&", "i:1", "bool:true"},
    {"n", "||", "i:2", "bool:true"},
    {"n", "||", "n", "bool:false"},
    // shifts: ints only, by src & 31
    {"i:1", "<<", "i:33", "int:2"},
    {"i:1", "<<", "i:31", "int:-2147483648"},
    {"i:-8", ">>", "i:1", "int:-4"},
    {"i:-1", "<<", "i:4", "int:-16"},
    {"f:1", "<<", "i:1", "FAIL"},
    {"i:1", "<<", "f:1", "FAIL"},
    {"b:1", ">>", "i:1", "FAIL"},
};

TEST(VarOperators, Matrix) {
  for (const st_OpCase& c : kOpCases) {
    SCOPED_TRACE(std::string(c.dest) + " " + c.op + " " + c.src);
    BinaryOp op = OpByName(c.op);
    ASSERT_NE(op, nullptr);
    Var dest = MakeVar(c.dest);
    Var src = MakeVar(c.src);
    std::string before = Describe(dest);
    bool ok = op(src, dest);
    if (std::strcmp(c.expected, "FAIL") == 0) {
      EXPECT_FALSE(ok);
      EXPECT_EQ(Describe(dest), before);
    } else {
      EXPECT_TRUE(ok);
      EXPECT_EQ(Describe(dest), c.expected);
    }
    EXPECT_EQ(Describe(src), Describe(MakeVar(c.src))) << "the source must not change";
  }
}

TEST(VarOperators, FastPathKeepsTheAutoFlag) {
  Var dest;
  dest.SetType(KRX::TYPE_AUTO);
  dest.SetInt(40);
  ASSERT_TRUE(dest.IsAuto());
  Var two = MakeVar("i:2");
  ASSERT_TRUE(Var::OpAdd(two, dest));
  EXPECT_TRUE(dest.IsAuto());
  EXPECT_EQ(dest.ToInt(), 42);
  ASSERT_TRUE(Var::OpLess(two, dest));
  EXPECT_TRUE(dest.IsAuto());
  EXPECT_EQ(Describe(dest), "bool:false");
}

TEST(VarOperators, ReferencesRankAsOtherButShiftsAndEqualityFollowThem) {
  Var target = MakeVar("i:4");
  Var ref;
  ref.SetReference(&target);
  Var dest = MakeVar("i:1");
  EXPECT_FALSE(Var::OpAdd(ref, dest));  // the interpreter dereferences before it calls
  EXPECT_TRUE(Var::OpShiftLeft(ref, dest));
  EXPECT_EQ(dest.ToInt(), 16);
  Var nilTarget;
  Var nilRef;
  nilRef.SetReference(&nilTarget);
  Var nil;
  ASSERT_TRUE(Var::OpEqual(nilRef, nil));
  EXPECT_EQ(Describe(nil), "bool:true");
}

TEST(VarOperators, ModulesCannotBeCompared) {
  auto* module = new KRX::BinCode();
  Var a, b;
  a.SetModule(module);
  b.SetModule(module);
  EXPECT_FALSE(Var::OpEqual(a, b));
  EXPECT_EQ(b.GetModule(), module);
}

TEST(VarOperators, ThreadsAreEqualWhenTheyHoldTheSameThread) {
  auto* t1 = new KRX::Thread();
  auto* t2 = new KRX::Thread();
  Var a, b, c, empty1, empty2;
  a.SetThreadRef(t1);
  b.SetThreadRef(t1);
  c.SetThreadRef(t2);
  empty1.SetThreadRef(nullptr);
  empty2.SetThreadRef(nullptr);
  EXPECT_EQ(t1->GetRefCount(), 2);

  Var r = a;
  ASSERT_TRUE(Var::OpEqual(b, r));
  EXPECT_TRUE(r.ToBool());
  r = a;
  ASSERT_TRUE(Var::OpEqual(c, r));
  EXPECT_FALSE(r.ToBool());
  r = empty1;
  ASSERT_TRUE(Var::OpEqual(empty2, r));
  EXPECT_TRUE(r.ToBool());
  EXPECT_EQ(t1->GetRefCount(), 2);  // r's copies were released again
}

TEST(VarOperators, UnaryOperators) {
  struct {
    const char* value;
    const char* negated;  // "FAIL" when OpNegate refuses
    bool notResult;
  } cases[] = {
      {"i:5", "int:-5", false},       {"i:-2147483648", "int:-2147483648", false},
      {"f:1.5", "float:-1.500000", false}, {"b:1", "FAIL", false},
      {"n", "FAIL", true},            {"s:", "FAIL", false},  // a non-null text is true
      {"i:0", "int:0", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    Var v = MakeVar(c.value);
    bool ok = Var::OpNegate(v);
    EXPECT_EQ(ok, std::strcmp(c.negated, "FAIL") != 0);
    if (ok) {
      EXPECT_EQ(Describe(v), c.negated);
    }
    Var n = MakeVar(c.value);
    EXPECT_TRUE(Var::OpNot(n));
    EXPECT_EQ(Describe(n), c.notResult ? "bool:true" : "bool:false");
  }
}

TEST(VarOperators, AddIntWrapsIntsAndAddsToFloats) {
  Var i = MakeVar("i:2147483647");
  EXPECT_TRUE(i.AddInt(1));
  EXPECT_EQ(i.ToInt(), INT_MIN);
  Var f = MakeVar("f:0.5");
  EXPECT_TRUE(f.AddInt(-1));
  EXPECT_FLOAT_EQ(f.ToFloat(), -0.5f);
  Var s = MakeVar("s:1");
  EXPECT_FALSE(s.AddInt(1));
  EXPECT_EQ(Describe(s), "string:1");
}

TEST(VarOperators, CompareLessIsAStrictWeakOrderingOverMixedValues) {
  const char* descs[] = {"n", "b:0", "b:1", "i:-3", "i:0", "i:1", "i:7", "f:-0.5", "f:0.5",
                         "f:1", "f:7.5", "s:", "s:a", "c:a", "s:b", "l:a", "p:3"};
  std::vector<Var> values;
  for (const char* s : descs) values.push_back(MakeVar(s));
  for (const Var& a : values) {
    EXPECT_FALSE(Var::CompareLess(a, a)) << Describe(a);
    for (const Var& b : values) {
      if (Var::CompareLess(a, b)) {
        EXPECT_FALSE(Var::CompareLess(b, a)) << Describe(a) << " " << Describe(b);
      }
      for (const Var& c : values) {
        // Transitivity of the order and of incomparability (what a binary search needs).
        if (Var::CompareLess(a, b) && Var::CompareLess(b, c)) {
          EXPECT_TRUE(Var::CompareLess(a, c)) << Describe(a) << " " << Describe(b) << " " << Describe(c);
        }
        bool abEq = !Var::CompareLess(a, b) && !Var::CompareLess(b, a);
        bool bcEq = !Var::CompareLess(b, c) && !Var::CompareLess(c, b);
        if (abEq && bcEq) {
          EXPECT_FALSE(Var::CompareLess(a, c) || Var::CompareLess(c, a)) << Describe(a) << " " << Describe(c);
        }
      }
    }
  }
  // Case constants of one switch are of one kind; the search relies on these orders.
  EXPECT_TRUE(Var::CompareLess(MakeVar("i:-3"), MakeVar("i:1")));
  EXPECT_TRUE(Var::CompareLess(MakeVar("i:1"), MakeVar("f:1.5")));
  EXPECT_TRUE(Var::CompareLess(MakeVar("s:a"), MakeVar("c:b")));
  EXPECT_TRUE(Var::CompareLess(MakeVar("n"), MakeVar("i:-3")));
  EXPECT_TRUE(Var::CompareLess(MakeVar("p:3"), MakeVar("l:a")));  // other ranks: by type code
}

}  // namespace
