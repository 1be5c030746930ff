if x then y() elseif z then w() else v() end
local n = nil
c = not a or b and c
function Add(a, b) return a + b end
function f() end
while x do x = x - 1 end
s = "a" .. "b"
if a ~= b then return end
