-- The quay at night: Mina's kiosk, the harbour lamp, the pump house, the gangway, and Pell, who
-- walks the pier on his own while Quillane is here.
function OnLoadScene()
  Debugout("Quay: OnLoadScene")
end

function PrepareScene()
  Debugout("Quay: PrepareScene")
end

function OnEnterScene()
  Debugout("Quay: OnEnterScene")
  RunInBackground("PellWalks")
end

-- Runs after OnEnterScene, also when a savegame is restored into the Quay.
function OnAlphaHack()
  Debugout("Quay: OnAlphaHack")
end

-- Pell's round on the pier, until Quillane leaves the Quay.
function PellWalks()
  local rounds = 0
  while rounds >= 0 do
    rounds = rounds + 1
    Debugout("Quay: Pell walks round " .. rounds)
    Sleep(4.0)
  end
end

function CheckOnEnter_PierEnd(name)
  return name == "Quillane"
end

function OnEnter_PierEnd(name)
  Debugout("Quay: " .. name .. " at the end of the pier")
end

function OnTrigger_office_door()
  Transit("Office")
end
