-- "The Night Ferry": a new game starts here. Quillane wakes in the harbour office.
function Startup()
  Debugout("campaign: Startup")
  -- The diary's one section and its chapter; the dialogues and the games add their entries below
  -- the chapter by its key.
  DiaryAddSection("#story0_1 The harbour", "diary_tab_office", 120, true, "Harbour")
  DiaryAddChapter("Harbour", "Chapter1")
  -- The cast the player meets later, and the gangway, which looks shut until Mina sells the ticket.
  SetTooltip("Mina", "#demo0_202 Mina")
  SetElaborateTooltip("Mina", "#story0_40 Mina, the ferry clerk")
  SetTooltip("Pell", "#demo0_203 Pell")
  SetElaborateTooltip("Pell", "#story0_41 Pell, a dock worker")
  SetElaborateTooltip("gangway", "#story0_42 The gangway to the night ferry")
  SetCursor("gangway", "gui/cursors/cursor_disable.tga")
  Transit("Office")
end
