#include <gtest/gtest.h>

#include "base/app/GameFrame.h"
#include "base/app/SystemRoot.h"
#include "system_test_support.h"

namespace {

using base::cl_Module;
using testsupport::Journal;
using testsupport::Only;
using testsupport::Recorder;

TEST(ModuleTree, StartUpStartsEveryChildOnceAndReportsAFailure) {
  Journal j;
  Recorder root(j, "root");
  root.AddModule(new Recorder(j, "a"));
  root.AddModule(new Recorder(j, "b", false));
  root.AddModule(new Recorder(j, "c"));

  EXPECT_FALSE(root.StartUp());
  EXPECT_EQ(Only(j, ""), (Journal{"root:start", "a:start", "b:start", "c:start"}));
  EXPECT_TRUE(root.IsStarted());
  EXPECT_TRUE(root.IsActive());
  EXPECT_TRUE(root.GetModuleByName("b")->IsActive());  // a failed child still counts as started

  j.clear();
  EXPECT_TRUE(root.StartUp());  // already started: nobody is called
  EXPECT_EQ(j, (Journal{"root:start"}));

  j.clear();
  EXPECT_TRUE(root.ShutDown());
  EXPECT_EQ(Only(j, ""), (Journal{"root:shutdown", "a:shutdown", "b:shutdown", "c:shutdown"}));
  EXPECT_FALSE(root.IsStarted());
  // Shut down but still active: the parent keeps updating it until somebody disables it.
  EXPECT_TRUE(root.IsActive());
  EXPECT_FALSE(root.Enable(false));  // not started: no change
  EXPECT_TRUE(root.IsActive());
}

TEST(ModuleTree, EnableNeedsAStartedModule) {
  Journal j;
  Recorder m(j, "m");
  EXPECT_FALSE(m.Enable(true));
  EXPECT_FALSE(m.IsActive());
  m.Update(0, 0);
  m.Render();
  EXPECT_TRUE(j.empty());
}

TEST(ModuleTree, InputStopsAtTheFirstChildThatTakesIt) {
  Journal j;
  Recorder root(j, "root");
  auto* a = new Recorder(j, "a");
  auto* b = new Recorder(j, "b");
  b->Takes({3});
  root.AddModule(a);
  root.AddModule(b);
  root.AddModule(new Recorder(j, "c"));
  base::ICMD cmd;
  cmd.type = 3;
  EXPECT_FALSE(root.ProcessInput(cmd));  // not started: no child is asked
  EXPECT_TRUE(j.empty());

  root.StartUp();
  j.clear();
  EXPECT_TRUE(root.ProcessInput(cmd));
  EXPECT_EQ(Only(j, ""), (Journal{"root:input3", "a:input3", "b:input3"}));
  j.clear();
  cmd.type = 0;
  EXPECT_FALSE(root.ProcessInput(cmd));
  EXPECT_EQ(Only(j, "c:"), (Journal{"c:input0"}));
}

// Appends a new child to its parent on its first update, or removes itself.
class Mutator : public Recorder {
 public:
  enum en_Action { APPEND, REMOVE_SELF };
  Mutator(Journal& j, const char* name, cl_Module& parent, en_Action action)
      : Recorder(j, name), m_log(j), m_parent(parent), m_action(action) {}
  void Update(float time, float dt) override {
    Recorder::Update(time, dt);
    if (m_done) return;
    m_done = true;
    if (m_action == APPEND) {
      auto* late = new Recorder(m_log, "late");
      late->StartUp();
      m_parent.AddModule(late);
    } else {
      m_parent.RemoveModule(this);
      Recorder::Render();  // still alive until the parent's walk is over
    }
  }

 private:
  Journal& m_log;
  cl_Module& m_parent;
  en_Action m_action;
  bool m_done = false;
};

TEST(ModuleTree, ChildrenAddedOrRemovedDuringAPass) {
  Journal j;
  Recorder root(j, "root");
  root.AddModule(new Mutator(j, "adder", root, Mutator::APPEND));
  root.AddModule(new Mutator(j, "quitter", root, Mutator::REMOVE_SELF));
  root.AddModule(new Recorder(j, "last"));
  root.StartUp();
  j.clear();

  root.Update(0, 0);
  // The appended child is reached in the same pass; the child that removed itself finished its
  // call and died when the pass was over.
  EXPECT_EQ(Only(j, ""), (Journal{"root:update", "adder:update", "late:start", "quitter:update", "quitter:render",
                                  "last:update", "late:update", "quitter:dead"}));
  EXPECT_EQ(root.GetModuleCount(), 3);
  EXPECT_EQ(root.GetModuleByName("quitter"), nullptr);
}

TEST(ModuleTree, RemovalAndDestructionOwnership) {
  Journal j;
  {
    Recorder root(j, "root");
    auto* twice = new Recorder(j, "twice");
    root.AddModule(twice);
    root.AddModule(new Recorder(j, "kept"));
    root.AddModule(twice);
    EXPECT_FALSE(root.AddModule(nullptr));
    EXPECT_EQ(root.GetModuleCount(), 3);

    root.RemoveModule(twice);  // both entries go, and with them the last references
    EXPECT_EQ(j, (Journal{"twice:dead"}));
    EXPECT_EQ(root.GetModuleCount(), 1);

    // A handle held elsewhere does not keep a child alive past its parent.
    base::smart_ptr<cl_Module> outside(root.GetModuleByName("kept"));
    j.clear();
    {
      Recorder parent(j, "parent");
      auto* child = new Recorder(j, "child");
      parent.AddModule(child);
      outside = base::smart_ptr<cl_Module>(child);
    }
    EXPECT_EQ(j, (Journal{"parent:dead", "child:dead"}));
    EXPECT_EQ(outside.get(), nullptr);
  }
}

TEST(ModuleTree, NamesAreExactAndOnlyDirectChildrenAreSearched) {
  Journal j;
  Recorder root(j, "root");
  auto* unnamed = new Recorder(j, "");
  auto* menu = new Recorder(j, "Menu");
  menu->AddModule(new Recorder(j, "Deep"));
  root.AddModule(unnamed);
  root.AddModule(menu);
  EXPECT_EQ(root.GetModuleByName("Menu"), menu);
  EXPECT_EQ(root.GetModuleByName("menu"), nullptr);
  EXPECT_EQ(root.GetModuleByName(""), nullptr);
  EXPECT_EQ(root.GetModuleByName(nullptr), nullptr);
  EXPECT_EQ(root.GetModuleByName("Deep"), nullptr);
}

// A state handler that records its own calls beside its states'.
TEST(StateHandler, OnlyTheCurrentStateRuns) {
  Journal j;
  base::cl_StateHandlerModule handler;
  handler.AddState("Menu", new Recorder(j, "menu"));
  handler.AddState("Game", new Recorder(j, "game"));
  handler.AddState("Null", nullptr);
  EXPECT_EQ(handler.GetModuleCount(), 2);
  EXPECT_STREQ(handler.GetModuleByName("Game")->GetName(), "Game");

  handler.StartUp();  // starts every state, not only the current one
  EXPECT_EQ(Only(j, ""), (Journal{"Menu:start", "Game:start"}));
  j.clear();

  base::ICMD cmd;
  EXPECT_FALSE(handler.ProcessInput(cmd));  // no current state
  EXPECT_TRUE(handler.SetState("Game"));
  handler.Update(0, 0);
  handler.Render();
  handler.ProcessInput(cmd);
  EXPECT_EQ(j, (Journal{"Game:update", "Game:render", "Game:input0"}));

  j.clear();
  EXPECT_FALSE(handler.SetState("Unknown"));
  EXPECT_EQ(handler.GetState(), nullptr);
  handler.Update(0, 0);
  handler.Render();
  EXPECT_FALSE(handler.ProcessInput(cmd));
  EXPECT_TRUE(j.empty());

  handler.SetState("Menu");
  handler.RemoveModule(handler.GetModuleByName("Menu"));
  EXPECT_EQ(handler.GetState(), nullptr);  // a destroyed state reads as none
}

class TestSession : public base::i_GameSession {
 public:
  explicit TestSession(Journal& j) : m_journal(j) {}
  ~TestSession() override { m_journal.push_back("session:dead"); }
  bool NewGame() override { return true; }
  bool LoadGame(const char*) override { return true; }
  bool SaveGame(const char*, base::tString<base::BaseUnicodeString>, const base::Variant*) override { return true; }
  // Ends itself from inside its own update, as a session that returns to the menu does.
  void Update(float, float) override {
    m_journal.push_back("session:update");
    if (m_endOnUpdate) base::GetFrameInterface()->EndSession();
  }
  bool m_endOnUpdate = false;

 private:
  Journal& m_journal;
};

class TestFrame : public base::i_GameFrame {
 public:
  explicit TestFrame(Journal& j) : m_journal(j) {}
  base::i_GameSession* CreateSession() override { return new TestSession(m_journal); }

 private:
  Journal& m_journal;
};

TEST(GameFrame, SessionLifecycle) {
  Journal j;
  base::cl_System system;
  EXPECT_EQ(base::GetFrameInterface(), nullptr);
  EXPECT_EQ(base::GetSessionInterface(), nullptr);
  {
    TestFrame frame(j);
    EXPECT_EQ(base::GetFrameInterface(), &frame);
    frame.EndSession();  // none yet: nothing happens
    frame.AddState("Menu", new base::cl_Module());
    ASSERT_TRUE(frame.SetState("Menu"));
    EXPECT_FALSE(frame.RunSession());
    ASSERT_NE(frame.GetState(), nullptr) << "a failed start keeps the current state";
    EXPECT_STREQ(frame.GetState()->GetName(), "Menu");
    frame.RemoveModule(frame.GetModuleByName("Menu"));

    EXPECT_TRUE(frame.NewSession());
    base::i_GameSession* first = frame.GetSession();
    EXPECT_TRUE(frame.NewSession());  // the old session stays as a second "Session" child
    EXPECT_EQ(frame.GetModuleCount(), 2);
    EXPECT_EQ(frame.GetModuleByName("Session"), first);
    EXPECT_EQ(base::GetSessionInterface(), frame.GetSession());

    EXPECT_TRUE(frame.RunSession());  // switches to the first "Session" and starts it
    EXPECT_EQ(frame.GetState(), first);
    EXPECT_TRUE(first->IsActive());

    frame.EndSession();  // removes the first; the handle held was the second's
    EXPECT_EQ(Only(j, "session:dead").size(), 1u);
    EXPECT_EQ(frame.GetSession(), nullptr);
    EXPECT_EQ(frame.GetModuleCount(), 1);

    // A session that ends itself during its own update survives until the call is over.
    frame.EndSession();  // the second one, no longer held by the frame
    j.clear();
    frame.NewSession();
    static_cast<TestSession*>(frame.GetSession())->m_endOnUpdate = true;
    frame.RunSession();
    frame.Update(0, 0);
    EXPECT_EQ(j, (Journal{"session:update", "session:dead"}));
    EXPECT_EQ(frame.GetModuleCount(), 0);

    EXPECT_FALSE(system.GetQuit());
    EXPECT_TRUE(frame.ShutDown());  // the frame's shut-down ends the main loop
    EXPECT_TRUE(system.GetQuit());
  }
  EXPECT_EQ(base::GetFrameInterface(), nullptr);
}

}  // namespace
