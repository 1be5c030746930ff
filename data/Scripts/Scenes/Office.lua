-- The harbour office: Odo's desk, the shelf, the drawer, the telephone junction, the door to the
-- quay, and the window zone by the harbour side.
function OnLoadScene()
  Debugout("Office: OnLoadScene")
end

function PrepareScene()
  Debugout("Office: PrepareScene")
end

-- The opening: a short cutscene before the player takes over.
function OnEnterScene()
  Debugout("Office: OnEnterScene")
  BeginCutscene()
  Sleep(1.0)
  EndCutscene()
  Debugout("Office: the player takes over")
end

-- Only Quillane looks out of the window.
function CheckOnEnter_Window(name)
  return name == "Quillane"
end

function OnEnter_Window(name)
  Debugout("Office: " .. name .. " looks out over the harbour")
  Sleep(0.5)
end

function OnTrigger_door()
  Transit("Quay")
end
