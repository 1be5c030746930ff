-- The quay at night: the harbour office's door, the pump house, the harbour lamp, the gangway
-- up to the ferry, and Pell, who walks the pier on his own while Quillane is here.
function OnLoadScene()
  Debugout("Quay: OnLoadScene")
  -- A playlist plays on the sound channel of its name: the scene's tune replaces the other's.
  SFXClearStreamPlaylist("MUSIC", true, 2.0)
  SFXAddStreamToPlaylist("msx/quay.ogg", "MUSIC")
  -- The tune is written to follow itself: no pause between two plays.
  SFXSetStreamPlaylistTimes("MUSIC", 0.0, 0.0)
  -- The harbour water laps all the while Quillane is here; leaving the scene stops the channel.
  SFXPlayStream("sfx/water.ogg", "quay_water", "AMBIENT", 0.35, 1.0, true)
  if GetValue("Minigames/Sabotage/Win") == 1 then
    StartPumps()
  end
end

-- Mended, the pumps thump on in the pump house. Played by its name, the sound takes the place of
-- one still fading out: a savegame loaded on the Quay fades the old game's pumps while this scene
-- starts its own, and a check for "still playing" would leave them silent once the fade is over.
function StartPumps()
  SFXPlayStream("sfx/pumps.ogg", "quay_pumps", "AMBIENT2", 0.4, 1.0, true)
end

function PrepareScene()
  Debugout("Quay: PrepareScene")
  AddCharacter("Quillane", "quillane", "Start")
  AddCharacter("Pell", "pell", "PierEnd")
  AddCharacter("Mina", "mina", "Kiosk")
  SetPlayerCharacter("Quillane")
  SFXSetCharacterStepsound("Quillane", "sfx/steps.ogg", 0.15, 0.8, "sfx/steps.ogg", 0.65, 0.7)
  SFXSetCharacterStepsound("Pell", "sfx/steps.ogg", 0.15, 1.0, "sfx/steps.ogg", 0.65, 0.9)
  -- The harbour lamp burns once its wiring is mended and is dark till then. The scene's layers
  -- start as its project has them, in a restored savegame too, where OnEnterScene does not run.
  if GetValue("Minigames/FloorLights/Win") == 1 then
    SetLayerState("lamp_glow", 1)
  else
    SetLayerState("lamp_glow", 0, -1)
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
    WalkTo("Pell", "PierFoot")
    Sleep(2.0)
    WalkTo("Pell", "PierEnd")
    -- At the pier's end he looks out over the water for a while.
    Sleep(2.0)
  end
end

-- At the pier's end Quillane looks out over the water. Only she sets the zone off: its handler
-- becomes the running scene script, so Pell's rounds would cut off whatever she is doing there
-- (a talk with him, say) and leave her words unowned.
function CheckOnEnter_PierEnd(name)
  return name == "Quillane"
end

function OnEnter_PierEnd(name)
  Debugout("Quay: " .. name .. " at the end of the pier")
  Says("Quillane", "#quay0_11 Black water, and the ferry's lights beyond it.")
end

-- The harbour lamp's wiring: Quillane goes up to it and says what she sees; mended, the lamp
-- lights up the quay.
function OnTrigger_lamp()
  maininclude_UseSpot("lamp")
  Says("Quillane", "#quay0_1")  -- The lamp is dark, and the pumps are silent.
  StartMinigame("FloorLights")
  if GetValue("Minigames/FloorLights/Win") == 1 then
    SetLayerState("lamp_glow", 1, 1.0)
    SetHotspotState("lamp", 0)
    Says("Quillane", "#quay0_9 There. The harbour lamp burns again.")
  else
    Says("Quillane", "#quay0_10 The wiring still does not hold. I will try again.")
  end
end

-- The pump house's control panel: pumps, pipes and the mixture.
function OnTrigger_pumps()
  maininclude_UseSpot("pumps")
  Says("Quillane", "#quay0_3 The pump house. Its pumps stand still.")
  StartMinigame("Sabotage")
  if GetValue("Minigames/Sabotage/Win") == 1 then
    SetHotspotState("pumps", 0)
    StartPumps()
    Says("Quillane", "#quay0_7 Listen: the pumps are running again.")
  else
    Says("Quillane", "#quay0_8 The pumps still stand still.")
  end
end

function OnTrigger_office_door()
  maininclude_UseSpot("office_door")
  Transit("Office")
end

-- Pell never speaks: he hears Quillane out and nods.
function OnTrigger_Pell()
  WalkTo("Quillane", "Pell_walk")
  TurnTo("Quillane", GetDirectionTo("Quillane", "Pell"))
  Gaze("Quillane", "Pell", 0.8)
  Says("Quillane", "#quay0_4 Evening!")
  Gaze("Pell", "Quillane", 0.8)
  Look("Pell", "Quillane", 1.0)
  Sleep(1.0)
  Says("Quillane", "#quay0_5 He only nods. Not a man of many words.")
  maininclude_LookAway("Quillane", "Pell")
end

-- Mina at her kiosk window: Quillane steps up to it and they face each other for the talk.
function OnTrigger_Mina()
  WalkTo("Quillane", "Mina_walk")
  maininclude_FaceEachOther("Quillane", "Mina")
  -- The talk is seen close up, so that faces, lips and emotes show; its end zooms out again.
  ZoomIn(0.7, "Mina", "Quillane")
  StartDialog("Mina")
end

-- The end of the game: with Mina's ticket, the train connection past the inspectors, the diary's
-- last pages and the score, the credits, and back to the main menu.
function OnTrigger_gangway()
  maininclude_UseSpot("gangway")
  if GotToken("T1_Ticket") == 0 then
    Says("Quillane", "#quay0_6 Not without a ticket.")
  else
    Board()
  end
end

function Board()
  StartMinigame("TrainTravel")
  DiarySolveQuest("QuestBoard", true)
  maininclude_Earn(10)
  DiaryAddChapterEnd("Chapter1", "#story0_20 On board", "#story0_21 The gangway creaks behind me.", "diary_pic_default", "ChapterEnd1")
  -- The diary joins the outro's two texts before it looks the key up, so one key carries both the
  -- closing words and the label of the count after them.
  DiaryAddOutro("Chapter1", "#story0_22 The end of the night", "#story0_23 Odo stamped the pass. Steps of the way done:", "", GetValue("Story/Steps"), 5, "diary_pic_default", "Outro")
  DiaryShow(true, true)
  DiaryAddScore("Chapter1", "Score")
  DiaryShow(true, true)
  AddFullscreenVideoSubtitle("#story0_50 The Night Ferry", 0.5, 3.5, 0.5)
  AddFullscreenVideoSubtitle("#story0_51 Thank you for playing", 4.5, 7.5, 0.5, 255, 220, 160)
  PlayFullscreenVideo("movie/credits.bik")
  GameOver()
end
