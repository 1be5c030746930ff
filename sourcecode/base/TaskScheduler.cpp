// The scheduler's time-sliced run over the queue.
#include "base/TaskScheduler.h"

#include <cstdint>

#include "base/app/Clock.h"
#include "base/system.h"

namespace base {

cl_TaskScheduler::~cl_TaskScheduler() {
  for (i_Task* task : m_queue) delete task;
  m_queue.clear();
  delete m_completionTask;
  m_completionTask = nullptr;
}

void cl_TaskScheduler::SetCompletionTask(i_Task* task) {
  if (m_completionTask != task) delete m_completionTask;
  m_completionTask = task;
  m_done = 0.0f;
  m_total = 0.0f;
}

void cl_TaskScheduler::AddTask(i_Task* task) {
  if (!task) return;
  m_total += task->m_weight;
  m_queue.push_back(task);
}

void cl_TaskScheduler::Update(float, float) {
  const unsigned long t0 = sys::Ticks();
  while (!m_queue.empty()) {
    i_Task* task = m_queue.front();
    m_queue.pop_front();
    task->Run();  // may queue further tasks: they are appended and may run in this slice
    m_done += task->m_weight;
    delete task;
    // Measured after each task, so one long task may overrun the slice; the tick counter wraps.
    if (static_cast<uint32_t>(sys::Ticks() - t0) > kSliceMs) return;
  }
  if (m_completionTask) {
    i_Task* task = m_completionTask;
    m_completionTask = nullptr;  // cleared first: the task may set the next completion task
    task->Run();
    delete task;
  } else {
    sys::Output("warning: cl_TaskScheduler is idle\n");
  }
}

}  // namespace base
