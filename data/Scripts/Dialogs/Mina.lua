-- Mina, the ferry clerk at the kiosk on the quay. Once the harbour lamp burns and the pumps run
-- she asks Quillane to the dance on the ferry deck, and a good dance earns the ferry ticket.
function Startup()
  AcquireToken("T6_Lamp")
  AcquireToken("T6_Dance")
end

function Check_T6_Lamp()
  return 1
end

function Play_T6_Lamp()
  UseToken()
  Says("Quillane", "#mina0_1 Can you light the harbour lamp?")
  Says("Mina", "#mina0_2 Not while the pump house is silent.")
end

-- The dance is only open once the lamp burns and the pumps run.
function Check_T6_Dance()
  if GetValue("Minigames/FloorLights/Win") == 1 then
    if GetValue("Minigames/Sabotage/Win") == 1 then
      return 1
    end
  end
  return 0
end

-- The dance game uses up its inputs, so the level, the stage and the audience are set before
-- every start. Her ticket opens the gangway.
function Play_T6_Dance()
  UseToken()
  Says("Quillane", "#mina0_3 Is there a dance tonight?")
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
