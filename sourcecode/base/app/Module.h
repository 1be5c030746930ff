// The application skeleton: a tree of modules under the root module (cl_System). A module owns
// its children and passes start-up, shut-down, update, render and input down to them in insertion
// order. cl_StateHandlerModule keeps named child states of which only the current one runs.
// Main thread only.
#pragma once

#include <vector>

#include "base/app/Device.h"
#include "base/Ref.h"
#include "base/String.h"

namespace base {

class Variant;
struct ICMD;

class cl_Module : public i_Device {
 public:
  cl_Module();
  // Destroys every child still in the list, in list order, whatever other handles exist.
  ~cl_Module() override;
  cl_Module(const cl_Module& other);  // copies the fields; the children's handles take references
  cl_Module& operator=(const cl_Module& other);

  // Starts every child in order (a failure does not stop the walk), then becomes started and
  // active (through the virtual Enable). True when every child started; at once true when started.
  bool StartUp() override;
  // Shuts every child down in order and clears started (active stays). False when a child failed.
  bool ShutDown() override;
  // Inactive: nothing. Else the same call on every child in list order; a child added during the
  // pass is reached in the same pass.
  void Update(float time, float dt) override;
  // When started, active := on; otherwise nothing changes. Returns the started flag.
  virtual bool Enable(bool on);
  virtual void Render();  // as Update
  // False when inactive; else offers cmd to the children in order, true at the first that takes it.
  virtual bool ProcessInput(ICMD& cmd);
  // Not passed on; modules that handle events override it.
  virtual bool ProcessEvent(const Variant& event);

  // Appends a counted handle to m (no duplicate check, m is not started). False for null.
  bool AddModule(cl_Module* m);
  // Removes every entry referring to m and releases those handles; the last one destroys m
  // (without ShutDown). During a walk over the children the release waits until the walk ends.
  void RemoveModule(cl_Module* m);
  // The first direct child with exactly that (non-empty) name; null when none or name is null.
  cl_Module* GetModuleByName(const char* name);

  void SetName(const char* name);  // null gives the empty name
  const char* GetName() const { return m_name.c_str(); }
  bool IsActive() const { return m_active; }
  bool IsStarted() const { return m_started; }
  int GetModuleCount() const;  // live children in the list

 protected:
  void SetActive(bool on) { m_active = on; }  // for the root module, active before it is started
  // Held while a walk over the children runs: removals wait until the outermost walk ends.
  class cl_WalkGuard;

 private:
  // Walks the live children with fn(child); fn returning true stops the walk (result true).
  template <class F>
  bool ForEachChild(F fn);
  void Compact();  // drops entries removed during a walk, releasing their handles

  std::vector<smart_ptr<cl_Module>> m_children;
  bool m_started = false;
  bool m_active = false;
  tString<BaseString> m_name;
  int m_walking = 0;                              // nesting depth of walks over m_children
  std::vector<smart_ptr<cl_Module>> m_removed;    // handles released when the walk ends
};

// A module of named states; Update, Render and ProcessInput go to the current state only (its own
// active flag is not tested). StartUp, ShutDown and Enable are cl_Module's: StartUp starts every
// state, not only the current one.
class cl_StateHandlerModule : public cl_Module {
 public:
  void AddState(const char* name, cl_Module* m);  // AddModule(m), then m gets the name; null ignored
  // The current state becomes the child of that name, or none when unknown. Nothing is started,
  // stopped or told. Returns whether the name was found.
  bool SetState(const char* name);
  cl_Module* GetState() const;  // null when none or when it no longer exists

  void Update(float time, float dt) override;
  void Render() override;
  bool ProcessInput(ICMD& cmd) override;  // the state's answer; false without a state

 private:
  weak_ptr<cl_Module> m_state;
};

}  // namespace base
