-- The harbour office: Odo's desk, the shelf, the drawer, the telephone junction, the door to the
-- quay, and the window zone by the harbour side.
function OnLoadScene()
  Debugout("Office: OnLoadScene")
  SFXClearStreamPlaylist("quay", true, 2.0)
  SFXAddStreamToPlaylist("msx/office.ogg", "office")
  SFXSetStreamPlaylistTimes("office", 5.0, 10.0)
end

-- Quillane comes in by the door; Odo stands by the window.
function PrepareScene()
  Debugout("Office: PrepareScene")
  AddCharacter("Quillane", "quillane", "Start")
  AddCharacter("Odo", "odo", "Window")
  SetPlayerCharacter("Quillane")
  SFXSetCharacterStepsound("Quillane", "sfx/steps.ogg", 0.15, 0.8, "sfx/steps.ogg", 0.65, 0.7)
  SFXSetCharacterStepsound("Odo", "sfx/steps.ogg", 0.15, 0.9, "sfx/steps.ogg", 0.65, 0.8)
end

-- The opening: Quillane walks up to Odo, who looks up and smiles; then the player takes over.
function OnEnterScene()
  Debugout("Office: OnEnterScene")
  BeginCutscene()
  Gaze("Odo", "Quillane", 0.8)
  Look("Odo", "Quillane", 1.0)
  WalkNear("Quillane", "Odo", 120.0)
  TurnTo("Quillane", GetDirectionTo("Quillane", "Odo"))
  Emote("Odo", "smile", 1.0, 0.5)
  PlayAnimation("Odo", "Talk_smile", 1.0, 0.2, 0.2)
  Gaze("Odo", "auto", 0.5)
  Look("Odo", "auto", 0.5)
  EndCutscene()
  ShowSceneSubtitle("#story0_30 The harbour office, a quarter to nine", 1.0, 3.0, 1.0)
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
