-- Odo, the harbour master. He talks about the night ferry; the pass needs his ledger and the
-- decoded telegram, which Quillane hands him outside the conversation.
-- Startup runs at every talk: the ferry is asked about once.
function Startup()
  if GetValue("Odo/FerryAsked") ~= 1 and GotToken("T6_Ferry") == 0 then
    AcquireToken("T6_Ferry")
  end
end

function Check_T6_Ferry()
  return 1
end

-- The topic leaves the bar while the lines are spoken, so that only the end-chat is left when
-- they are over.
function Play_T6_Ferry()
  UseToken()
  LooseToken("T6_Ferry")
  SetValue("Odo/FerryAsked", 1)
  Says("Quillane", "#odo0_1 When does the night ferry leave?")
  Says("Odo", "#odo0_2 At one, if Mina sells you a ticket. And she wants my pass.")
  DiaryAppendText("Mission", "#story0_17 Mina, the ferry clerk, sells the tickets on the quay, and only to those with a stamped pass.")
end

function Check_T6_EndChat()
  return 1
end

function Play_T6_EndChat()
  Says("Quillane", "#odo0_3 Good night, Odo.")
  Says("Odo", "#odo0_4 Good night.")
  EndDialog()
end
