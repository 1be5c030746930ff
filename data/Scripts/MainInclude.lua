-- The game's shared script, loaded once when a session starts. The game's script functions are
-- bound before it loads, so its top level may already call them.
LockMovement(false)

-- One line in the log while Debug_ScriptWarningLevel is 1 or more.
function Trace(text)
  Debugout(text)
end
