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
  Says("Quillane", "#mina0_10 Why is the harbour lamp dark?")
  Says("Mina", "#mina0_11 The pump house is down. No power, no lamp, no tickets.")
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
  Says("Mina", "#mina0_20 The lamp is lit. Dance with me on the deck, and the ticket is yours.")
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
  Says("Quillane", "#mina0_30 See you on the ferry.")
  EndDialog()
end
