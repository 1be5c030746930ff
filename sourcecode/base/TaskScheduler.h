// Loading cut into small weighted work items: a cl_TaskScheduler runs queued i_Task objects for at
// most about 20 ms per frame (at least one per frame) and sums the weights queued and done, from
// which a derived module (the loading screen) draws its progress. When the queue has run empty
// the completion task runs once, typically switching to the state that was being loaded.
#pragma once

#include <deque>
#include <utility>

#include "base/app/Module.h"

namespace base {

class i_Task {
 public:
  virtual ~i_Task() = default;
  virtual void Run() = 0;  // a failure is the task's own business: it logs and goes on

  float m_weight = 1.0f;  // share of the progress; may be set before queuing
};

// A task that calls a member function on an object (not owned) when it runs; nothing on a null
// object. Weight 1.
template <class O, class M>
class tGenericTask_MethodCall : public i_Task {
 public:
  tGenericTask_MethodCall(O object, M method) : m_object(object), m_method(method) {}
  void Run() override {
    if (m_object) (m_object->*m_method)();
  }

 private:
  O m_object;
  M m_method;
};

// The same with one argument kept by value and handed over as its text (c_str).
template <class O, class M, class A>
class tGenericTask_MethodCall_1Arg : public i_Task {
 public:
  tGenericTask_MethodCall_1Arg(O object, M method, A argument)
      : m_object(object), m_method(method), m_argument(std::move(argument)) {}
  void Run() override {
    if (m_object) (m_object->*m_method)(m_argument.c_str());
  }

 private:
  O m_object;
  M m_method;
  A m_argument;
};

class cl_TaskScheduler : public cl_Module {
 public:
  static constexpr unsigned kSliceMs = 20;  // time budget of one Update

  cl_TaskScheduler() = default;
  // Deletes the queued tasks unrun, then the completion task.
  ~cl_TaskScheduler() override;
  cl_TaskScheduler(const cl_TaskScheduler&) = delete;
  cl_TaskScheduler& operator=(const cl_TaskScheduler&) = delete;

  // Owns task; a completion task set before is deleted unrun. Starts a new cycle: done and total 0.
  void SetCompletionTask(i_Task* task);
  void AddTask(i_Task* task);  // owns task; total += its weight; appended to the queue

  // Runs queued tasks until the queue is empty or the slice is used up; on an empty queue runs
  // the completion task once (or logs that the scheduler is idle). Children are not updated.
  void Update(float time, float dt) override;
  void Render() override = 0;  // the derived module draws the progress

  float GetDone() const { return m_done; }    // summed weight of the tasks run this cycle
  float GetTotal() const { return m_total; }  // summed weight of the tasks queued this cycle
  int GetQueueSize() const { return static_cast<int>(m_queue.size()); }

 protected:
  i_Task* m_completionTask = nullptr;
  std::deque<i_Task*> m_queue;
  // Kept as a float: an integer sum would never move for tasks weighing less than 1.
  float m_done = 0.0f;
  float m_total = 0.0f;
};

}  // namespace base
