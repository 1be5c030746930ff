-- Mina, the ferry clerk at the kiosk on the quay. Once the harbour lamp burns and the pumps run
-- she asks Quillane to the dance on the ferry deck, and a good dance earns the ferry ticket.
-- Startup runs at every talk: a topic is added once, the lamp no more once it burns, and the
-- dance no more once it is won.
function Startup()
  if GotToken("T6_Lamp") == 0 and not LampBurns() then
    AcquireToken("T6_Lamp")
  end
  if GotToken("T6_Dance") == 0 and GetValue("Minigames/Dance/Win") ~= 1 then
    AcquireToken("T6_Dance")
  end
end

function LampBurns()
  return GetValue("Minigames/FloorLights/Win") == 1
end

-- Her answer is about the broken wiring: once the lamp burns there is nothing left to ask.
function Check_T6_Lamp()
  if LampBurns() then
    return 0
  end
  return 1
end

function Play_T6_Lamp()
  UseToken()
  Says("Quillane", "#mina0_1 Can you light the harbour lamp?")
  Says("Mina", "#mina0_2 Not I. Its wiring is broken; you would have to mend it at the post yourself.")
end

-- The topic is always taken up: before the lamp burns and the pumps run, Mina says no and it
-- stays in the bar for later.
function Check_T6_Dance()
  return 1
end

function DanceIsOpen()
  return LampBurns() and GetValue("Minigames/Sabotage/Win") == 1
end

-- The dance game uses up its inputs, so the level, the stage and the audience are set before
-- every start. Her ticket opens the gangway; a lost dance may be asked for again.
function Play_T6_Dance()
  Says("Quillane", "#mina0_3 Is there a dance tonight?")
  if not DanceIsOpen() then
    Says("Mina", "#mina0_7 Not on a dark quay with silent pumps. Light the lamp and start the pumps first.")
    return
  end
  UseToken()
  Says("Mina", "#mina0_4 On the ferry deck. Come and dance with me.")
  SetValue("Minigames/Dance/dance", "demo")
  SetValue("Minigames/Dance/scene", "Stage")
  SetValue("Minigames/Dance/viewer_0_label", "Odo")
  SetValue("Minigames/Dance/viewer_0_actor", "odo")
  SetValue("Minigames/Dance/viewer_1_label", "Mina")
  SetValue("Minigames/Dance/viewer_1_actor", "mina")
  SetValue("Minigames/Dance/viewer_2_label", "Pell")
  SetValue("Minigames/Dance/viewer_2_actor", "pell")
  StartMinigame("Dance")
  if GetValue("Minigames/Dance/Win") == 1 then
    LooseToken("T6_Dance")
    AcquireToken("T1_Ticket", true, "Mina")
    SetCursor("gangway", "gui/cursors/gamecursor.tga")
  else
    Says("Mina", "#mina0_8 Ouch, my toes! Ask me again when you have found the beat.")
  end
end

function Check_T6_EndChat()
  return 1
end

function Play_T6_EndChat()
  Says("Quillane", "#mina0_5 See you later, Mina.")
  Says("Mina", "#mina0_6 Goodbye, courier.")
  EndDialog()
end
