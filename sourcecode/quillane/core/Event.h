// i_Event: a piece of work handed from one part of the game to another and executed later, once:
// module changes, script stops, action completions, scene calls and dialogue callbacks derive from
// it. Whoever holds an event owns it and deletes it through the virtual destructor.
#pragma once

class i_Event {
 public:
  virtual ~i_Event() = default;
  // Does the event's work. Called at most once; the owner deletes the event afterwards.
  virtual void Execute() = 0;
};
