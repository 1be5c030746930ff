-- "The Night Ferry": a new game starts here. Quillane wakes in the harbour office.
function Startup()
  Debugout("campaign: Startup")
  Transit("Office")
end
