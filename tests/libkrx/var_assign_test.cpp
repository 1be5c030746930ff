// Conversions, copies and typed stores of KRX::Var, arrays and the ownership of texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "KRX/BinCode.h"
#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Thread.h"
#include "base/String.h"
#include "krx_test_util.h"

using krxtest::Describe;
using krxtest::MakeVar;
using KRX::Var;

namespace {

Var Typed(int type) {
  Var v;
  v.SetType(type);
  return v;
}

Var IntArray(std::initializer_list<int> values) {
  Var a;
  a.SetArrayType(KRX::VT_INT);
  a.SetSize(int(values.size()));
  int i = 0;
  for (int v : values) a.GetElement(i++)->SetInt(v);
  return a;
}

TEST(VarConversions, Table) {
  struct {
    const char* desc;
    bool boolOk, boolOut;
    bool intOk;
    int intOut;
    bool floatOk;
    float floatOut;
  } cases[] = {
      {"n", false, false, false, -99, false, -99.0f},
      {"b:1", true, true, true, 1, true, 1.0f},
      {"i:0", true, false, true, 0, true, 0.0f},
      {"i:-5", true, true, true, -5, true, -5.0f},
      {"f:-2.7", true, true, true, -2, true, -2.7f},
      {"f:0", true, false, true, 0, true, 0.0f},
      {"p:12", true, true, true, 12, false, -99.0f},
      {"s:", false, true, false, -99, false, -99.0f},  // a text never parses as a number
      {"s:12", false, true, false, -99, false, -99.0f},
      {"c:x", false, true, false, -99, false, -99.0f},
      {"l:x", false, true, false, -99, false, -99.0f},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.desc);
    Var v = MakeVar(c.desc);
    bool b = !c.boolOut;
    EXPECT_EQ(v.GetBool(b), c.boolOk);
    EXPECT_EQ(b, c.boolOut);
    EXPECT_EQ(v.ToBool(), c.boolOut);
    int i = -99;
    EXPECT_EQ(v.GetInt(i), c.intOk);
    EXPECT_EQ(i, c.intOut);
    float f = -99.0f;
    EXPECT_EQ(v.GetFloat(f), c.floatOk);
    EXPECT_FLOAT_EQ(f, c.floatOut);
  }
}

TEST(VarConversions, FloatToIntTruncatesAndSaturates) {
  Var v;
  v.SetFloat(3e9f);
  EXPECT_EQ(v.ToInt(), 2147483647);
  v.SetFloat(-3e9f);
  EXPECT_EQ(v.ToInt(), -2147483647 - 1);
  v.SetFloat(std::nanf(""));
  EXPECT_EQ(v.ToInt(), 0);
  EXPECT_TRUE(v.ToBool());  // a NaN counts as true
}

TEST(VarConversions, ReadersFollowReferencesToAnyDepth) {
  Var f = MakeVar("f:2.5");
  Var r1, r2;
  r1.SetReference(&f);
  r2.SetReference(&r1);
  EXPECT_FLOAT_EQ(r2.ToFloat(), 2.5f);
  EXPECT_EQ(r2.ToInt(), 2);
  EXPECT_TRUE(r2.IsNumber());
  EXPECT_TRUE(r2.IsReference());
  EXPECT_EQ(r2.GetReference(), &r1);
  EXPECT_EQ(Describe(r2), "reference:2.500000");
  // A reference to itself is cut off instead of looping.
  Var loop;
  loop.SetReference(&loop);
  EXPECT_FALSE(loop.IsNil());
  EXPECT_STREQ(loop.ToText().c_str(), "(?\?\?)");
}

TEST(VarConversions, GettersFailOnArrays) {
  Var ints = IntArray({1, 2});
  Var strings;
  strings.SetArrayType(KRX::VT_STRING);
  strings.SetSize(1);
  strings.GetElement(0)->SetString("x");
  int i = -1;
  bool b = false;
  float f = -1.0f;
  EXPECT_FALSE(ints.GetInt(i));
  EXPECT_FALSE(ints.GetBool(b));
  EXPECT_FALSE(ints.GetFloat(f));
  EXPECT_EQ(i, -1);
  EXPECT_FALSE(b);
  EXPECT_EQ(strings.GetString(), nullptr);
  EXPECT_FALSE(ints.IsInt());
  EXPECT_FALSE(strings.IsString());
  EXPECT_TRUE(strings.IsArray());
  EXPECT_EQ(Describe(ints), "array:int[2]");
  Var copy = MakeVar("i:5");
  EXPECT_FALSE(Var::OpAdd(ints, copy));
}

TEST(VarSetters, StringsCountBytesAndNullTextIsEmpty) {
  Var s;
  s.SetString(nullptr);
  EXPECT_STREQ(s.GetString(), "");
  EXPECT_EQ(s.GetCount(), 0);
  s.SetString("h\xc3\xa9llo");
  EXPECT_EQ(s.GetCount(), 6);
  s.SetConstString(nullptr);
  EXPECT_EQ(s.GetString(), nullptr);
  EXPECT_EQ(s.GetCount(), 0);
  Var bin;
  bin.SetBinary("\x01\x02\x03", 3);
  int size = 0;
  ASSERT_NE(bin.GetBinary(size), nullptr);
  EXPECT_EQ(size, 3);
  EXPECT_EQ(s.GetBinary(size), nullptr);
  EXPECT_EQ(size, -1);
  // Setting a string from its own text must copy before releasing.
  s.SetString("self");
  s.SetString(s.GetString());
  EXPECT_STREQ(s.GetString(), "self");
}

TEST(VarSetters, FileTypeWordHoldsTypeFlagsAndCount) {
  Var s = MakeVar("s:abc");
  EXPECT_EQ(s.GetTypeWord(), 0x30Du);
  Var arr;
  arr.SetType(KRX::TYPE_AUTO);
  arr.SetArrayType(KRX::VT_FLOAT);
  arr.SetSize(300);
  EXPECT_EQ(arr.GetTypeWord(), uint32_t(KRX::VF_AUTO | KRX::VF_ARRAY | KRX::VT_FLOAT | (300u << 8)));
  Var read;
  read.SetTypeWord(0x30D);
  EXPECT_EQ(read.GetType(), KRX::VT_STRING);
  EXPECT_EQ(read.GetString(), nullptr);  // the record's body comes next
  read.SetString("abc", 3);
  EXPECT_EQ(read.GetTypeWord(), 0x30Du);
}

TEST(VarSetters, SetTypeAutoAndFlags) {
  Var v = MakeVar("s:x");
  v.SetType(KRX::TYPE_AUTO);
  EXPECT_TRUE(v.IsAuto());
  EXPECT_TRUE(v.IsNil());
  v.SetInt(3);  // setters keep the auto flag
  EXPECT_TRUE(v.IsAuto());
  EXPECT_EQ(v.GetType(), KRX::VT_INT);
  v.Clear();
  EXPECT_EQ(v.GetType(), KRX::VT_INT);  // Clear keeps the type code
  EXPECT_EQ(v.ToInt(), 0);
  EXPECT_EQ(v.GetTypeWord(), uint32_t(KRX::VF_AUTO | KRX::VT_INT));
}

TEST(VarCopies, AssignIsDeepAndCopiesReferencesAsReferences) {
  Var s = MakeVar("s:text");
  Var copy;
  copy.Assign(s);
  EXPECT_NE(copy.GetString(), s.GetString());
  EXPECT_STREQ(copy.GetString(), "text");

  Var target = MakeVar("i:1");
  Var ref;
  ref.SetReference(&target);
  Var refCopy = ref;
  EXPECT_TRUE(refCopy.IsReference());
  EXPECT_EQ(refCopy.GetReference(), &target);

  Var label = MakeVar("l:name");
  Var labelCopy = label;
  EXPECT_EQ(Describe(labelCopy), "label:name");
  EXPECT_NE(labelCopy.GetString(), label.GetString());

  Var pool;
  pool.SetVocabulary();
  pool.GetVocabulary()->Intern("word");
  Var poolCopy = pool;
  ASSERT_NE(poolCopy.GetVocabulary(), pool.GetVocabulary());
  EXPECT_EQ(poolCopy.GetVocabulary()->FindOffset("word"), 1);

  Var moved = std::move(copy);
  EXPECT_STREQ(moved.GetString(), "text");
  EXPECT_TRUE(copy.IsNil());  // NOLINT: moved-from state is nil by contract
}

TEST(VarCopies, ModuleValuesCountTheirReferences) {
  auto* module = new KRX::BinCode();
  module->AddRef();  // the test's own reference
  {
    Var a;
    a.SetModule(module);
    Var b = a;
    EXPECT_EQ(module->GetRefCount(), 3);
    b.SetInt(1);
    EXPECT_EQ(module->GetRefCount(), 2);
  }
  EXPECT_EQ(module->GetRefCount(), 1);
  module->Release();
}

TEST(VarCopies, AssigningAnElementOfItselfIsSafe) {
  Var a;
  a.SetType(KRX::TYPE_AUTO);
  a.Assign(IntArray({7, 8}));
  a.SetAuto(true);
  Var* first = a.GetElement(0);
  first->SetString("inner");
  a.Assign(*a.GetElement(0));  // the source lives in the block that is released
  EXPECT_EQ(Describe(a), "string:inner");

  Var b = IntArray({1, 2});
  b = std::move(*b.GetElement(1));
  EXPECT_EQ(Describe(b), "int:2");
}

TEST(VarCopies, ConstStringsBecomeOwnedForLongLivedPlaces) {
  Var kept, keptArray;
  {
    KRX::StringPool pool;
    int32_t offset = pool.Intern("from the pool");
    Var constant;
    constant.SetConstString(pool.TextAt(offset));
    kept.AssignOwned(constant);
    Var arr;
    arr.SetArrayType(KRX::TYPE_AUTO);
    arr.SetSize(2);
    arr.GetElement(1)->SetConstString(pool.TextAt(offset));
    keptArray.AssignOwned(arr);
  }  // the pool is gone; the copies must not point into it
  EXPECT_EQ(Describe(kept), "string:from the pool");
  EXPECT_EQ(Describe(*keptArray.GetElement(1)), "string:from the pool");

  KRX::StringPool pool;
  Var inPlace;
  inPlace.SetConstString(pool.TextAt(pool.Intern("x")));
  inPlace.MakeOwned();
  EXPECT_EQ(inPlace.GetType(), KRX::VT_STRING);
}

// Typed stores: the declared type converts, "auto" takes the value.
TEST(VarAssignTyped, Table) {
  struct {
    int declared;
    const char* before;  // desc of the initial value of that type, or "" for the typed default
    const char* src;
    bool ok;
    const char* after;
  } cases[] = {
      {KRX::VT_INT, "i:9", "f:2.7", true, "int:2"},
      {KRX::VT_INT, "i:9", "f:-2.7", true, "int:-2"},
      {KRX::VT_INT, "i:9", "b:1", true, "int:1"},
      {KRX::VT_INT, "i:9", "s:12", false, "int:9"},
      {KRX::VT_INT, "i:9", "n", false, "int:9"},
      {KRX::VT_FLOAT, "f:1", "i:3", true, "float:3.000000"},
      {KRX::VT_FLOAT, "f:1", "p:3", false, "float:1.000000"},
      {KRX::VT_BOOL, "b:0", "i:2", true, "bool:true"},
      {KRX::VT_BOOL, "b:0", "s:x", false, "bool:false"},
      {KRX::VT_STRING, "s:old", "c:new", true, "string:new"},
      {KRX::VT_STRING, "s:old", "l:lab", true, "string:lab"},
      {KRX::VT_STRING, "s:old", "i:3", false, "string:old"},
      {KRX::VT_LABEL, "l:old", "s:x", false, "label:old"},
      {KRX::VT_NIL, "", "i:1", false, "nil:NULL"},
      {KRX::VT_POSITION, "p:1", "i:1", false, "position:pos 1"},
      {KRX::VT_INT, "i:9", "ignore", true, "int:9"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(KRX::GetTypeName(c.declared)) + " <- " + c.src);
    Var dest = *c.before ? MakeVar(c.before) : Typed(c.declared);
    Var src = MakeVar(c.src);
    if (std::strcmp(c.src, "ignore") == 0) src.SetIgnore();
    EXPECT_EQ(dest.AssignTyped(src), c.ok);
    EXPECT_EQ(Describe(dest), c.after);
  }
}

TEST(VarAssignTyped, AutoTakesTypeOnEveryStore) {
  Var v = Typed(KRX::TYPE_AUTO);
  EXPECT_TRUE(v.AssignTyped(MakeVar("i:1")));
  EXPECT_EQ(Describe(v), "int:1");
  EXPECT_TRUE(v.AssignTyped(MakeVar("s:x")));
  EXPECT_EQ(Describe(v), "string:x");
  EXPECT_TRUE(v.IsAuto());
  EXPECT_TRUE(v.AssignTyped(IntArray({4, 5})));
  EXPECT_EQ(Describe(v), "array:int[2]");
  EXPECT_TRUE(v.IsAuto());
}

TEST(VarAssignTyped, ReferencesAreFollowedForConversion) {
  Var f = MakeVar("f:2.5");
  Var ref;
  ref.SetReference(&f);
  Var i = Typed(KRX::VT_INT);
  EXPECT_TRUE(i.AssignTyped(ref));
  EXPECT_EQ(Describe(i), "int:2");
}

TEST(VarAssignTyped, OtherValueKinds) {
  auto* module = new KRX::BinCode();
  Var func = Typed(KRX::VT_MODULE);
  Var m;
  m.SetModule(module);
  EXPECT_TRUE(func.AssignTyped(m));
  EXPECT_EQ(func.GetModule(), module);
  EXPECT_FALSE(func.AssignTyped(MakeVar("i:1")));
  EXPECT_EQ(func.GetModule(), module);

  auto* thread = new KRX::Thread();
  Var t;
  t.SetThreadRef(thread);
  Var tv = Typed(KRX::VT_THREAD);
  EXPECT_TRUE(tv.AssignTyped(t));
  EXPECT_EQ(tv.GetThreadObject(), thread);
  EXPECT_NE(tv.GetThread(), t.GetThread());  // a holder of its own
  EXPECT_EQ(thread->GetRefCount(), 2);
  EXPECT_EQ(Describe(tv), "thread:thread func (null)");
}

TEST(VarAssignTyped, ArraysCopyElementWise) {
  Var dest = IntArray({1});
  Var src = IntArray({4, 5, 6});
  EXPECT_TRUE(dest.AssignTyped(src));
  EXPECT_EQ(dest.GetArraySize(), 3);
  EXPECT_EQ(dest.GetElement(2)->ToInt(), 6);
  src.GetElement(2)->SetInt(60);
  EXPECT_EQ(dest.GetElement(2)->ToInt(), 6);  // a copy, not shared
  EXPECT_FALSE(dest.AssignTyped(MakeVar("i:1")));
  EXPECT_EQ(dest.GetArraySize(), 3);
}

TEST(VarAssignTyped, TypedParameters) {
  // A plain typed parameter converts like a variable of its type.
  Var p;
  p.SetUninitializedParam(KRX::VT_FLOAT);
  EXPECT_TRUE(p.AssignTyped(MakeVar("i:2")));
  EXPECT_EQ(Describe(p), "float:2.000000");

  Var autoParam;
  autoParam.SetUninitializedParam(KRX::VF_AUTO);
  EXPECT_TRUE(autoParam.AssignTyped(MakeVar("s:x")));
  EXPECT_EQ(Describe(autoParam), "string:x");
  EXPECT_TRUE(autoParam.IsAuto());

  // Array parameters bind to the caller's array by reference.
  Var arr = IntArray({1, 2, 3});
  Var argRef;
  argRef.SetReference(&arr);
  Var arrayParam;
  arrayParam.SetUninitializedParam(KRX::VF_ARRAY | KRX::VT_INT);
  ASSERT_TRUE(arrayParam.AssignTyped(argRef));
  ASSERT_TRUE(arrayParam.IsReference());
  arrayParam.GetElement(0)->SetInt(100);
  EXPECT_EQ(arr.GetElement(0)->ToInt(), 100);

  struct {
    uint32_t declared;
    bool byReference;
    bool ok;
  } cases[] = {
      {KRX::VF_ARRAY | KRX::VT_FLOAT, true, false},            // element types differ
      {KRX::VF_ARRAY | KRX::TYPE_AUTO, true, true},             // auto arrays take any
      {KRX::VF_ARRAY | KRX::VT_INT | (3u << 8), true, true},    // fixed size matches
      {KRX::VF_ARRAY | KRX::VT_INT | (2u << 8), true, false},   // fixed size differs
      {KRX::VF_ARRAY | KRX::VT_INT, false, false},              // arrays pass only by reference
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.declared);
    Var param;
    param.SetUninitializedParam(c.declared);
    EXPECT_EQ(param.AssignTyped(c.byReference ? argRef : arr), c.ok);
  }
}

TEST(VarArrays, SetSizeKeepsAndConvertsElements) {
  Var a;
  a.SetArrayType(KRX::VT_INT);
  EXPECT_EQ(a.GetArraySize(), 0);
  ASSERT_TRUE(a.SetSize(3));
  EXPECT_EQ(Describe(*a.GetElement(2)), "int:0");  // new elements take the element type
  a.GetElement(0)->SetInt(5);
  a.GetElement(1)->SetFloat(2.5f);  // a stray float in an int array is converted on resize
  ASSERT_TRUE(a.SetSize(5));
  EXPECT_EQ(Describe(*a.GetElement(0)), "int:5");
  EXPECT_EQ(Describe(*a.GetElement(1)), "int:2");
  EXPECT_EQ(Describe(*a.GetElement(4)), "int:0");
  ASSERT_TRUE(a.SetSize(1));
  EXPECT_EQ(a.GetArraySize(), 1);
  EXPECT_EQ(a.GetElement(1), nullptr);
  EXPECT_EQ(a.GetElement(-1), nullptr);
  EXPECT_FALSE(a.SetSize(-1));
  EXPECT_FALSE(a.SetSize(Var::kMaxArraySize + 1));
  EXPECT_EQ(a.GetArraySize(), 1);
  Var notArray = MakeVar("i:1");
  EXPECT_FALSE(notArray.SetSize(2));
  EXPECT_EQ(notArray.GetArraySize(), -1);

  Var autos;
  autos.SetArrayType(KRX::TYPE_AUTO);
  ASSERT_TRUE(autos.SetSize(2));
  EXPECT_TRUE(autos.GetElement(0)->IsAuto());
  EXPECT_TRUE(autos.GetElement(0)->AssignTyped(MakeVar("s:any")));

  // Through a reference, as the interpreter sees array parameters.
  Var ref;
  ref.SetReference(&a);
  EXPECT_TRUE(ref.SetSize(4));
  EXPECT_EQ(a.GetArraySize(), 4);
  EXPECT_EQ(ref.GetElement(3), a.GetElement(3));
}

TEST(VarArrays, AssignCopiesNestedArraysDeeply) {
  Var outer;
  outer.SetArrayType(KRX::TYPE_AUTO);
  outer.SetSize(2);
  outer.GetElement(0)->Assign(IntArray({1, 2}));
  outer.GetElement(1)->SetString("s");
  Var copy = outer;
  copy.GetElement(0)->GetElement(0)->SetInt(99);
  EXPECT_EQ(outer.GetElement(0)->GetElement(0)->ToInt(), 1);
  EXPECT_STREQ(copy.GetElement(1)->GetString(), "s");
  EXPECT_NE(copy.GetElement(1)->GetString(), outer.GetElement(1)->GetString());
}

}  // namespace
