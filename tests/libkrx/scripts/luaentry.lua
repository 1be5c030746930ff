-- Loads the two Lua modules in order, so that calls spelled luabase_Name in luamain.lua are
-- rewritten into calls of the loaded module luabase.
Include("luabase.lua")
Include("luamain.lua")
function luaentry_Main()
  luamain::Main()
end
