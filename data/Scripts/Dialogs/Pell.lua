-- Pell, the ferryman who paces the pier. He has no topics: a click on him is answered by the
-- Quay's own script, and this file is here because every character brings one.
function PrepareCharacter()
end
