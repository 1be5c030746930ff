for i = 1, 3 do f(i) end
