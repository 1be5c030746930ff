-- Lua syntax: locals, while, if/elseif/else, not/and/or, .., prefix rewriting across modules
-- (luabase is loaded before this file is compiled; see luaentry.lua).
function luamain_Helper(n)
  if n > 10 then
    return "big"
  elseif n > 5 then
    return "medium"
  else
    return "small"
  end
end
function luamain_Main()
  local n = 0
  while n < 3 do
    n = n + 1
    Sleep(0.5)
  end
  Debugout("done " .. n)
  Debugout(luamain_Helper(12) .. " " .. luamain_Helper(7) .. " " .. Helper(1))
  Debugout("twice " .. luabase_Twice(21) .. " calls " .. luabase_Calls())
  if not (n == 2) and (n == 3 or false) then
    Debugout("logic ok")
  end
  if n ~= 3 then Debugout("wrong") end
end
