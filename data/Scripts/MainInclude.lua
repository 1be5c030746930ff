-- The game's shared script, loaded once when a session starts. The game's script functions are
-- bound before it loads, so its top level may already call them. The other scripts call its
-- functions with the module's prefix: maininclude_UseSpot("shelf").
LockMovement(0)  -- the lock takes 1 or 0

-- One line in the log while Debug_ScriptWarningLevel is 1 or more.
function Trace(text)
  Debugout(text)
end

-- Quillane goes up to a thing before she uses it: to its walk-to point (the scene's locator
-- "<thing>_walk"), then turns to face it.
function UseSpot(thing)
  WalkTo("Quillane", thing .. "_walk")
  TurnTo("Quillane", GetDirectionOf(thing .. "_walk"))
end

-- Two who talk turn to each other, and half toward the camera as players on a stage do, so that
-- the talk's close-up shows both faces; their heads and eyes follow the other.
function FaceEachOther(one, other)
  TurnToNoWait(other, HalfWay(GetDirectionTo(other, one), GetDirectionToCamera(other)))
  TurnTo(one, HalfWay(GetDirectionTo(one, other), GetDirectionToCamera(one)))
  Gaze(one, other, 0.5)
  Look(one, other, 1.0)
  Gaze(other, one, 0.5)
  Look(other, one, 1.0)
end

-- The heading half way from one heading to another, the short way round (degrees).
function HalfWay(from, to)
  local turn = to - from
  while turn > 180 do
    turn = turn - 360
  end
  while turn < -180 do
    turn = turn + 360
  end
  return from + turn * 0.5
end

-- Quillane walks up to a person before she talks with them or hands them something, as she does
-- to a thing she uses: to the scene's locator "Talk", then they face each other.
function WalkUpTo(person)
  WalkTo("Quillane", "Talk")
  FaceEachOther("Quillane", person)
end

-- After a talk the heads and eyes go back to their own business.
function LookAway(one, other)
  Gaze(one, "auto", 0.5)
  Look(one, "auto", 0.5)
  Gaze(other, "auto", 0.5)
  Look(other, "auto", 0.5)
end

-- A step of the story done: skill points, shown as they are earned and counted on the score
-- page, and one more of the steps the diary's last page counts.
function Earn(points)
  SetValue("Skill", GetValue("Skill") + points)
  SetValue("Story/Steps", GetValue("Story/Steps") + 1)
  ShowScore("skill", points, 0.3, 1.5, 0.5)
end

-- Listening in and breaking a code earn cunning (the game state's "Spycraft" score) as well.
function EarnCunning(points)
  SetValue("Spycraft", GetValue("Spycraft") + points)
  Earn(points)
end
