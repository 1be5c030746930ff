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
  AddCharacter("Odo", "odo", "OdoPlace")
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
  Says("Odo", "#offic0_2")  -- Evening, courier. Come in, the kettle is on.
  WalkNear("Quillane", "Odo", 120.0)
  TurnTo("Quillane", GetDirectionTo("Quillane", "Odo"))
  Says("Quillane", "#offic0_1")  -- Good evening. I need a pass for the night ferry.
  -- A beat before Odo looks up from his papers.
  Sleep(0.5)
  Emote("Odo", "smile", 1.0, 0.5)
  PlayAnimation("Odo", "Talk_smile", 1.0, 0.2, 0.2)
  Says("Odo", "#offic0_3")  -- A pass? Bring me my ledger first, then we will talk.
  Gaze("Odo", "auto", 0.5)
  Look("Odo", "auto", 0.5)
  EndCutscene()
  ShowSceneSubtitle("#story0_30 The harbour office, a quarter to nine", 1.0, 3.0, 1.0)
  Debugout("Office: the player takes over")
end

-- Odo stamps the pass once he holds his ledger and the decoded message.
function Check_T1_Ledger_On_Odo()
  return 1
end

function Play_T1_Ledger_On_Odo()
  Says("Odo", "#odo0_10 My ledger! I thought it was lost.")
  LooseToken("T1_Ledger")
  SetValue("Office/LedgerReturned", true)
  GivePassWhenReady()
end

function Check_T1_Message_On_Odo()
  return 1
end

function Play_T1_Message_On_Odo()
  LooseToken("T1_Message")
  SetValue("Office/MessageShown", true)
  GivePassWhenReady()
end

function GivePassWhenReady()
  if GetValue("Office/LedgerReturned") == 1 then
    if GetValue("Office/MessageShown") == 1 then
      Says("Odo", "#odo0_11 A message from the mainland. Here is your pass.")
      AcquireToken("T1_Pass", true, "Odo")
      SetHotspotState("door", 1)
    end
  end
end

-- Only Quillane looks out of the window.
function CheckOnEnter_Window(name)
  return name == "Quillane"
end

function OnEnter_Window(name)
  Debugout("Office: " .. name .. " looks out over the harbour")
  Sleep(0.5)
end

-- Odo talks about the ferry, the ledger and the telegram.
function OnTrigger_Odo()
  StartDialog("Odo")
end

-- The ledger is somewhere among the harbour books.
function OnTrigger_shelf()
  StartMinigame("Bookshelf")
  if GetValue("Minigames/Bookshelf/Win") == 1 then
    SetHotspotState("shelf", 0)
    AcquireToken("T1_Ledger", true, "shelf")
  end
end

-- The code book lies in the desk drawer; once taken, the drawer has nothing more to offer.
function OnTrigger_drawer()
  SetHotspotState("drawer", 0)
  AcquireToken("T1_Codebook", true, "drawer")
end

-- The coded telegram on the desk.
function OnTrigger_telegram()
  SetHotspotState("telegram", 0)
  AcquireToken("T1_Telegram", true, "telegram")
end

-- Tapping the line: the room blurs while Quillane listens in.
function OnTrigger_junction()
  SetBlur(true)
  StartMinigame("Wiretap")
  SetBlur(false)
end

-- Shut until the pass is stamped (the new game's state switches it off).
function OnTrigger_door()
  Transit("Quay")
end
