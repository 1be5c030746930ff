// A completion event for the game's tests: it counts how often it ran and whether it was
// deleted, so that a test sees every event run once and none lost.
#pragma once

#include "quillane/core/Event.h"

namespace testsupport {

struct st_EventCounts {
  int executed = 0;
  int deleted = 0;
};

class cl_CountingEvent final : public i_Event {
 public:
  explicit cl_CountingEvent(st_EventCounts& counts) : m_counts(counts) {}
  ~cl_CountingEvent() override { ++m_counts.deleted; }
  void Execute() override { ++m_counts.executed; }

 private:
  st_EventCounts& m_counts;
};

}  // namespace testsupport
