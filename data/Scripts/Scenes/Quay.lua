-- The quay at night: Mina's kiosk, the harbour lamp, the pump house, the gangway, and Pell, who
-- walks the pier on his own while Quillane is here.
function OnLoadScene()
  Debugout("Quay: OnLoadScene")
  SFXClearStreamPlaylist("office", true, 2.0)
  SFXAddStreamToPlaylist("msx/quay.ogg", "quay")
  SFXSetStreamPlaylistTimes("quay", 5.0, 10.0)
end

function PrepareScene()
  Debugout("Quay: PrepareScene")
  AddCharacter("Quillane", "quillane", "Start")
  AddCharacter("Pell", "pell", "PierEnd")
  AddCharacter("Mina", "mina", "Kiosk")
  SetPlayerCharacter("Quillane")
  SFXSetCharacterStepsound("Quillane", "sfx/steps.ogg", 0.15, 0.8, "sfx/steps.ogg", 0.65, 0.7)
  SFXSetCharacterStepsound("Pell", "sfx/steps.ogg", 0.15, 1.0, "sfx/steps.ogg", 0.65, 0.9)
  -- The harbour lamp burns once its wiring is mended.
  if GetValue("Minigames/FloorLights/Win") == 1 then
    SetLayerState("lamp_glow", 1)
  end
end

function OnEnterScene()
  Debugout("Quay: OnEnterScene")
  RunInBackground("PellWalks")
end

-- Runs after OnEnterScene, also when a savegame is restored into the Quay.
function OnAlphaHack()
  Debugout("Quay: OnAlphaHack")
end

-- Pell's round on the pier, until Quillane leaves the Quay.
function PellWalks()
  local rounds = 0
  while rounds >= 0 do
    rounds = rounds + 1
    Debugout("Quay: Pell walks round " .. rounds)
    WalkTo("Pell", "Start")
    Sleep(2.0)
    WalkTo("Pell", "PierEnd")
    Sleep(2.0)
  end
end

function CheckOnEnter_PierEnd(name)
  return name == "Quillane"
end

function OnEnter_PierEnd(name)
  Debugout("Quay: " .. name .. " at the end of the pier")
end

-- The harbour lamp's wiring: mended, the lamp lights up the quay.
function OnTrigger_lamp()
  StartMinigame("FloorLights")
  if GetValue("Minigames/FloorLights/Win") == 1 then
    SetLayerState("lamp_glow", 1, 1.0)
    SetHotspotState("lamp", 0)
  end
end

-- The pump house's control panel: pumps, pipes and the mixture.
function OnTrigger_pumps()
  StartMinigame("Sabotage")
  if GetValue("Minigames/Sabotage/Win") == 1 then
    SetHotspotState("pumps", 0)
  end
end

function OnTrigger_office_door()
  Transit("Office")
end

function OnTrigger_Mina()
  StartDialog("Mina")
end

-- The end of the game: the train connection past the inspectors, the diary's last pages, the
-- credits, and back to the main menu. Without Mina's ticket the gangway stays shut.
function OnTrigger_gangway()
  if GotToken("T1_Ticket") == 0 then
    return
  end
  StartMinigame("TrainTravel")
  DiaryAddChapterEnd("Chapter1", "#story0_20 On board", "#story0_21 The gangway creaks behind me.", "diary_pic_default", "ChapterEnd1")
  DiaryAddOutro("Chapter1", "#story0_22 The end of the night", "#story0_23 Odo stamped the pass. ", "#story0_24 Points earned on the way:", 3, 3, "diary_pic_default", "Outro")
  DiaryAddScore("Chapter1", "Score")
  AddFullscreenVideoSubtitle("#story0_50 The Night Ferry", 0.5, 3.5, 0.5)
  AddFullscreenVideoSubtitle("#story0_51 Thank you for playing", 4.5, 7.5, 0.5, 255, 220, 160)
  PlayFullscreenVideo("movie/credits.bik")
  GameOver()
end
