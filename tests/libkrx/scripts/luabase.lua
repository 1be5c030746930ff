-- A Lua-syntax module used by luamain.lua.
local calls = 0
function luabase_Twice(x)
  calls = calls + 1
  return x * 2
end
function luabase_Calls()
  return calls
end
