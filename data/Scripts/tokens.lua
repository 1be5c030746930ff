-- Items that work together, whichever of the two the player drops on the other.
function Check_T1_Codebook_On_T1_Telegram()
  return 1
end

-- The code book breaks the telegram's code: the "Decoder" game turns it into a message.
function Play_T1_Codebook_On_T1_Telegram()
  Says("Quillane", "#token0_1 With the code book, the telegram reads plainly.")
  StartMinigame("Decoder")
  if GetValue("Minigames/Decoder/Win") == 1 then
    LooseToken("T1_Telegram")
    AcquireToken("T1_Message", true, "inventory")
    DiarySolveQuest("QuestTelegram", true)
    maininclude_EarnCunning(10)
  else
    Says("Quillane", "#token0_3")  -- The code still holds. I will try again.
  end
end
