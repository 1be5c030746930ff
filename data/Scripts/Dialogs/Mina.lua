-- Mina, the ferry clerk at the kiosk on the quay. She sells tickets once the harbour lamp burns,
-- and she asks Quillane to the dance on the ferry deck.
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

-- The dance is only open once the lamp burns.
function Check_T6_Dance()
  if GetValue("Minigames/FloorLights/Win") == 1 then
    return 1
  end
  return 0
end

function Play_T6_Dance()
  UseToken()
  Says("Quillane", "#mina0_3 Is there a dance tonight?")
  Says("Mina", "#mina0_4 On the ferry deck. Come and dance with me.")
  StartMinigame("Dance")
  if GetValue("Minigames/Dance/Win") == 1 then
    LooseToken("T6_Dance")
    AcquireToken("T1_Ticket", true, "Mina")
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
