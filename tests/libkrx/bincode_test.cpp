// ".bincode" records: values survive a round trip, shared modules stay shared, addresses and
// threads never travel, and damaged input of every kind is refused without a crash.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "KRX/BinCode.h"
#include "KRX/file/BinCodeFile.h"
#include "KRX/ScriptLoader.h"
#include "KRX/ScriptSystem.h"
#include "KRX/runtime/StringPool.h"
#include "KRX/runtime/Thread.h"
#include "KRX/runtime/ThreadList.h"
#include "KRX/runtime/Types.h"
#include "codegen_support.h"
#include "krx_test_util.h"

namespace {

using krxtest::CompileFixture;
using krxtest::Messages;
namespace fs = std::filesystem;

class BinCodeRecords : public CompileFixture {
 protected:
  static std::vector<uint8_t> Save(const KRX::BinCode* module) {
    KRX::Stream s;
    EXPECT_TRUE(KRX::WriteModule(s, module));
    return s.GetBytes();
  }
  static KRX::tRefPtr<KRX::BinCode> Load(const std::vector<uint8_t>& bytes) {
    return KRX::ReadModuleMemory(bytes.data(), bytes.size(), "test.bincode");
  }
};

TEST_F(BinCodeRecords, ValuesSurviveARoundTrip) {
  KRX::tRefPtr<KRX::BinCode> m(new KRX::BinCode());
  m->SetParamCount(2);
  m->SetReturnType(KRX::TYPE_AUTO);
  const char* descs[] = {"b:1", "i:-129", "f:2.5", "s:text", "c:const", "l:label", "p:77", "n"};
  for (const char* desc : descs) *m->FindOrCreate(desc, 0) = krxtest::MakeVar(desc);
  KRX::Var* empty = m->FindOrCreate("empty", KRX::VT_STRING);
  empty->SetString("");
  m->FindOrCreate("bytes", 0)->SetBinary("\x01\x02\x03", 3);
  KRX::Var* array = m->FindOrCreate("array", 0);
  array->SetArrayType(KRX::VT_INT);
  array->SetSize(3);
  array->GetElement(2)->SetInt(9);
  KRX::Var* autoInt = m->FindOrCreate("auto", KRX::TYPE_AUTO);
  autoInt->SetInt(4);
  KRX::Var target(5);
  m->FindOrCreate("ref", 0)->SetReference(&target);
  KRX::Var* holder = m->FindOrCreate("thread", 0);
  holder->SetThreadRef(KRX::tRefPtr<KRX::Thread>(new KRX::Thread()).get());
  int slot = -1;
  m->GetVarTable().AddVariable("p", KRX::VT_NIL, slot)->SetUninitializedParam(KRX::VT_FLOAT);
  KRX::CreateVocabulary(m.get())->Intern("pooled");

  KRX::tRefPtr<KRX::BinCode> back = Load(Save(m.get()));
  ASSERT_TRUE(back) << AllMessages();
  EXPECT_EQ(back->GetParamCount(), 2);
  EXPECT_EQ(back->GetReturnType(), KRX::TYPE_AUTO);
  EXPECT_EQ(krxtest::Describe(*back->Find("b:1")), "bool:true");
  EXPECT_EQ(krxtest::Describe(*back->Find("i:-129")), "int:-129");
  EXPECT_EQ(krxtest::Describe(*back->Find("f:2.5")), "float:2.500000");
  EXPECT_EQ(krxtest::Describe(*back->Find("s:text")), "string:text");
  // A loaded constant owns its text.
  EXPECT_EQ(krxtest::Describe(*back->Find("c:const")), "string:const");
  EXPECT_EQ(back->Find("l:label")->GetType(), KRX::VT_LABEL);
  EXPECT_EQ(back->Find("p:77")->GetRawInt(), 77);
  EXPECT_EQ(back->Find("empty")->GetString(), nullptr);
  int size = 0;
  EXPECT_EQ(back->Find("bytes")->GetBinary(size)[2], 3);
  EXPECT_EQ(back->Find("array")->GetArraySize(), 3);
  EXPECT_EQ(back->Find("array")->GetElement(2)->ToInt(), 9);
  EXPECT_TRUE(back->Find("auto")->IsAuto());
  EXPECT_TRUE(back->Find("ref")->IsNil()) << "an address must not come back as a reference";
  ASSERT_TRUE(back->Find("thread")->GetThreadObject());
  EXPECT_EQ(back->Find("thread")->GetThreadObject()->GetState(), KRX::Thread::STATE_FINISHED);
  EXPECT_EQ(back->GetVarTable().GetVariable(0)->GetDeclaredTypeWord(), uint32_t(KRX::VT_FLOAT));
  EXPECT_GT(KRX::GetVocabulary(back.get())->FindOffset("pooled"), 0);
}

TEST_F(BinCodeRecords, SharedModuleIsWrittenOnceAndStaysShared) {
  KRX::tRefPtr<KRX::BinCode> m(new KRX::BinCode());
  KRX::tRefPtr<KRX::BinCode> f(new KRX::BinCode());
  f->SetParent(m.get());
  m->FindOrCreate("F", KRX::VT_MODULE)->SetModule(f.get());
  m->FindOrCreate("alias", KRX::VT_MODULE)->SetModule(f.get());
  const std::vector<uint8_t> once = Save(m.get());
  KRX::tRefPtr<KRX::BinCode> back = Load(once);
  ASSERT_TRUE(back);
  KRX::BinCode* a = back->Find("F")->GetModule();
  EXPECT_EQ(a, back->Find("alias")->GetModule());
  EXPECT_EQ(KRX::GetParent(a), back.get());
}

// A paused thread kept in a module variable travels with its frame and resumes where it stopped.
TEST_F(BinCodeRecords, PausedThreadResumesAfterLoading) {
  ASSERT_TRUE(Compile("function void Waiter(thread self, int n) { int local = n * 2; Pause(); Debugout(\"resumed \", local); }",
                      "worker.krx"));
  ASSERT_TRUE(Compile("thread keep; function void Start() { keep = ThreadCreate(worker::Waiter, 21); }", "holder.krx"));
  KRX::tRefPtr<KRX::Thread> starter(new KRX::Thread());
  starter->m_moduleName = "holder";
  ASSERT_TRUE(starter->Start("Start", false, nullptr, 0)) << AllMessages();
  KRX::ThreadList::Update(0.1f);
  KRX::Thread* original = Module("holder")->Find("keep")->GetThreadObject();
  ASSERT_TRUE(original);
  ASSERT_EQ(original->GetState(), KRX::Thread::STATE_PAUSED);

  KRX::tRefPtr<KRX::BinCode> back = Load(Save(Module("holder")));
  ASSERT_TRUE(back) << AllMessages();
  KRX::Thread* loaded = back->Find("keep")->GetThreadObject();
  ASSERT_TRUE(loaded);
  EXPECT_NE(loaded, original);
  EXPECT_EQ(loaded->GetState(), KRX::Thread::STATE_PAUSED);
  EXPECT_EQ(loaded->m_frameIndex, 0);
  Messages().clear();
  loaded->Sleep(0.0f);
  KRX::ScriptSystem::AddThread(loaded);
  KRX::ThreadList::Update(0.1f);
  EXPECT_EQ(AllMessages(), "resumed 42\n");
  EXPECT_EQ(loaded->GetState(), KRX::Thread::STATE_FINISHED);
}

TEST_F(BinCodeRecords, GoldenFileLoadsAndSavesToTheSameBytes) {
  const fs::path path = fs::path(QUILLANE_TEST_DIR) / "golden" / "bincode" / "control.bincode";
  std::ifstream in(path, std::ios::binary);
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(bytes.empty());
  KRX::tRefPtr<KRX::BinCode> module = Load(bytes);
  ASSERT_TRUE(module) << AllMessages();
  EXPECT_STREQ(KRX::GetModuleName(module.get()), "control");
  EXPECT_EQ(Save(module.get()), bytes);
}

// Every prefix of a valid file and every single-byte change must be refused or load; never crash.
TEST_F(BinCodeRecords, DamagedFilesAreRefused) {
  ASSERT_TRUE(Compile("int g = 3; string s = \"x\"; int a[2];\n"
                      "function int F(int x, int y = 2) { switch (x) { case 1: return y; } return g; }"));
  const std::vector<uint8_t> good = Save(Module());
  for (size_t n = 0; n < good.size(); ++n) {
    Messages().clear();
    std::vector<uint8_t> cut(good.begin(), good.begin() + long(n));
    EXPECT_FALSE(Load(cut)) << "prefix " << n;
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find("Unable to load module file test.bincode (corrupt at offset"), std::string::npos);
  }
  for (size_t i = 0; i < good.size(); ++i) {
    std::vector<uint8_t> bad = good;
    bad[i] ^= 0xFF;
    (void)Load(bad);
  }
  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_FALSE(Load(longer)) << "bytes after the module record";
}

TEST_F(BinCodeRecords, HostileCountsAndNestingAreRefused) {
  // id 1, no parameters, return type 0, no slots, no slot names; then the given bytes.
  auto module = [](std::vector<uint8_t> rest) {
    std::vector<uint8_t> bytes = {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    bytes.insert(bytes.end(), rest.begin(), rest.end());
    return bytes;
  };
  struct st_Case {
    std::vector<uint8_t> bytes;
    const char* why;
  };
  const st_Case cases[] = {
      {{1, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0, 0}, "slot count exceeds the file"},
      {{1, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0, 0}, "slot names run past the end of the file"},
      // a symbol "a" holding an int array of 0xFFFFFF elements
      {module({1, 1, 0, 'a', 0x82, 0xFF, 0xFF, 0xFF}), "array count exceeds the file"},
      // a module value naming the module that contains it
      {module({1, 1, 0, 'a', 8, 0, 0, 0, 1, 0, 0, 0, 0}), "a module refers to a module that contains it"},
      // a thread (id 2, paused, no module name, no debug flag) claiming frame 40 of 32
      {module({1, 1, 0, 't', 10, 0, 0, 0, 1, 2, 0, 0, 0, 4, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0}),
       "frame index outside the 32 frames"},
      {module({1, 1, 0, 'u', 30, 0, 0, 0}), "unknown value type"},
  };
  for (const st_Case& c : cases) {
    Messages().clear();
    EXPECT_FALSE(Load(c.bytes)) << c.why;
    EXPECT_NE(AllMessages().find(c.why), std::string::npos) << AllMessages();
  }
  // Arrays nested far deeper than any script makes.
  std::vector<uint8_t> deep = module({1, 1, 0, 'd'});
  for (int i = 0; i < 5000; ++i) deep.insert(deep.end(), {0x9F, 1, 0, 0});
  Messages().clear();
  EXPECT_FALSE(Load(deep));
  EXPECT_NE(AllMessages().find("records nested too deeply"), std::string::npos) << AllMessages();
}

}  // namespace
