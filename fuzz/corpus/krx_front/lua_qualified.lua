function M::f(a) end
