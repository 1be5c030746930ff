-- Odo, the harbour master. He talks about the night ferry; the pass needs his ledger and the
-- decoded telegram, which Quillane hands him outside the conversation.
function Startup()
  AcquireToken("T6_Ferry")
end

function Check_T6_Ferry()
  return 1
end

function Play_T6_Ferry()
  UseToken()
  Says("Quillane", "#odo0_10 When does the night ferry leave?")
  Says("Odo", "#odo0_11 At midnight. Nobody boards without a stamped pass.")
  LooseToken("T6_Ferry")
end

function Check_T6_EndChat()
  return 1
end

function Play_T6_EndChat()
  Says("Quillane", "#odo0_20 Good night, Odo.")
  EndDialog()
end
