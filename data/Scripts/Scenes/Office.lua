-- The harbour office: Odo's desk with the drawer and the telegram, the shelf of harbour books,
-- the telephone junction, the door out to the quay, and the window zone on the harbour side.
function OnLoadScene()
  Debugout("Office: OnLoadScene")
  -- A playlist plays on the sound channel of its name: the scene's tune replaces the other's.
  SFXClearStreamPlaylist("MUSIC", true, 2.0)
  SFXAddStreamToPlaylist("msx/office.ogg", "MUSIC")
  -- The tune is written to follow itself: no pause between two plays.
  SFXSetStreamPlaylistTimes("MUSIC", 0.0, 0.0)
end

-- Quillane comes in by the door; Odo stands by the window.
function PrepareScene()
  Debugout("Office: PrepareScene")
  AddCharacter("Quillane", "quillane", "Start")
  AddCharacter("Odo", "odo", "OdoPlace")
  SetPlayerCharacter("Quillane")
  SFXSetCharacterStepsound("Quillane", "sfx/steps.ogg", 0.15, 0.8, "sfx/steps.ogg", 0.65, 0.7)
  SFXSetCharacterStepsound("Odo", "sfx/steps.ogg", 0.15, 0.9, "sfx/steps.ogg", 0.65, 0.8)
end

-- The first time: Odo greets Quillane, she walks up to him and asks for a pass; the diary takes
-- down what she has to do. Later visits go straight to the player.
function OnEnterScene()
  Debugout("Office: OnEnterScene")
  if GetValue("Office/Greeted") ~= 1 then
    SetValue("Office/Greeted", 1)
    BeginCutscene()
    TurnToNoWait("Odo", GetDirectionTo("Odo", "Quillane"))
    Gaze("Odo", "Quillane", 0.8)
    Look("Odo", "Quillane", 1.0)
    Says("Odo", "#offic0_2")  -- Evening, courier. Come in, the kettle is on.
    WalkTo("Quillane", "Talk")
    maininclude_FaceEachOther("Quillane", "Odo")
    Says("Quillane", "#offic0_1")  -- Good evening. I need a pass for the night ferry.
    -- A beat before Odo looks up from his papers.
    Sleep(0.5)
    Emote("Odo", "smile", 1.0, 0.5)
    PlayAnimation("Odo", "Talk_smile", 1.0, 0.2, 0.2)
    Says("Odo", "#offic0_3")  -- A pass? Bring me my ledger first, then we will talk.
    maininclude_LookAway("Quillane", "Odo")
    EndCutscene()
    DiaryAddMission("Chapter1", "#story0_10 The night ferry", "#story0_11", "Mission")
    DiaryAddQuest("Mission", "#story0_12 Find Odo's ledger.", false, "QuestLedger")
    DiaryAddQuest("Mission", "#story0_15 Get the pass stamped.", false, "QuestPass")
    ShowSceneSubtitle("#story0_30 The harbour office, a quarter to nine", 1.0, 3.0, 1.0)
  end
  Debugout("Office: the player takes over")
end

-- Odo stamps the pass once he holds his ledger and the decoded message; Quillane walks up to him
-- to hand each over.
function Check_T1_Ledger_On_Odo()
  return 1
end

function Play_T1_Ledger_On_Odo()
  maininclude_WalkUpTo("Odo")
  Says("Odo", "#odo0_10 My ledger! I thought it was lost.")
  LooseToken("T1_Ledger")
  SetValue("Office/LedgerReturned", true)
  DiarySolveQuest("QuestLedger", true)
  maininclude_Earn(10)
  GivePassWhenReady()
end

function Check_T1_Message_On_Odo()
  return 1
end

function Play_T1_Message_On_Odo()
  maininclude_WalkUpTo("Odo")
  LooseToken("T1_Message")
  SetValue("Office/MessageShown", true)
  GivePassWhenReady()
end

function GivePassWhenReady()
  if GetValue("Office/LedgerReturned") ~= 1 then
    Says("Odo", "#odo0_14 And my ledger? No ledger, no stamp.")
  elseif GetValue("Office/MessageShown") ~= 1 then
    Says("Odo", "#odo0_13 Now the telegram, courier. I stamp nothing I cannot read.")
  else
    Says("Odo", "#odo0_11 A message from the mainland. Here is your pass.")
    AcquireToken("T1_Pass", true, "Odo")
    DiarySolveQuest("QuestPass", true)
    DiaryAddQuest("Mission", "#story0_16 Board the night ferry.", false, "QuestBoard")
    maininclude_Earn(10)
  end
  maininclude_LookAway("Quillane", "Odo")
end

-- Only Quillane looks out of the window.
function CheckOnEnter_Window(name)
  return name == "Quillane"
end

function OnEnter_Window(name)
  Debugout("Office: " .. name .. " looks out over the harbour")
  Sleep(0.5)
end

-- Odo talks about the ferry once Quillane stands before him.
function OnTrigger_Odo()
  maininclude_WalkUpTo("Odo")
  -- The talk is seen close up, so that faces, lips and emotes show; its end zooms out again.
  ZoomIn(0.7, "Odo", "Quillane")
  StartDialog("Odo")
end

-- The ledger is somewhere among the harbour books.
function OnTrigger_shelf()
  maininclude_UseSpot("shelf")
  StartMinigame("Bookshelf")
  if GetValue("Minigames/Bookshelf/Win") == 1 then
    SetHotspotState("shelf", 0)
    Says("Quillane", "#offic0_10")  -- Dusty books, and a ledger among them.
    AcquireToken("T1_Ledger", true, "shelf")
  else
    Says("Quillane", "#offic0_20")  -- The books are still all over the place. I will try again.
  end
end

-- The code book lies in the desk drawer; once taken, the drawer has nothing more to offer.
function OnTrigger_drawer()
  maininclude_UseSpot("drawer")
  PlayAnimation("Quillane", "pickup", 1.0, 0.0, 0.0)
  SetHotspotState("drawer", 0)
  AcquireToken("T1_Codebook", true, "drawer")
  Says("Quillane", "#offic0_11")  -- A code book, hidden in the drawer.
  Gaze("Odo", "Quillane", 0.8)
  Says("Odo", "#offic0_12")  -- Hands off my desk, courier.
  Gaze("Odo", "auto", 0.5)
end

-- The coded telegram on the desk.
function OnTrigger_telegram()
  maininclude_UseSpot("telegram")
  PlayAnimation("Quillane", "pickup", 1.0, 0.0, 0.0)
  SetHotspotState("telegram", 0)
  AcquireToken("T1_Telegram", true, "telegram")
  Says("Quillane", "#offic0_13")  -- A telegram. It is written in code.
  if GetValue("Story/TelegramQuest") ~= 1 then
    SetValue("Story/TelegramQuest", 1)
    DiaryAddQuest("Mission", "#story0_13 Read the coded telegram.", false, "QuestTelegram")
  end
end

-- Tapping the line: once it is patched, the room blurs while Quillane listens in to Mina on the
-- telephone; once heard, the line is quiet.
function OnTrigger_junction()
  maininclude_UseSpot("junction")
  if GetValue("Minigames/Wiretap/Win") == 1 then
    Says("Quillane", "#offic0_16 The line is quiet now.")
  else
    Says("Quillane", "#offic0_14")  -- The telephone junction hums. Someone is talking.
    if GetValue("Story/WiretapQuest") ~= 1 then
      SetValue("Story/WiretapQuest", 1)
      DiaryAddQuest("Mission", "#story0_14 Listen in on the ferry clerk.", false, "QuestWiretap")
    end
    StartMinigame("Wiretap")
    if GetValue("Minigames/Wiretap/Win") == 1 then
      SetBlur(true)
      Says("Mina", "#offic0_22")  -- Ferry office... No tickets while the harbour lamp is dark and the pumps stand still.
      SetBlur(false)
      DiarySolveQuest("QuestWiretap", true)
      maininclude_EarnCunning(10)
    else
      Says("Quillane", "#offic0_21")  -- The line crackles and goes dead. I will try again.
    end
  end
end

-- Out to the quay, once the pass is stamped.
function OnTrigger_door()
  maininclude_UseSpot("door")
  if GotToken("T1_Pass") == 1 then
    Transit("Quay")
  else
    Says("Quillane", "#offic0_15")  -- The door stays shut until I have the pass.
  end
end
