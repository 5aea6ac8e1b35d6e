-- gosub: a function calling itself six deep, each level with its two locals, 1,600,000 times
local t = 0.0
local function sub(d)
  local a = d
  local b = a * a
  d = d - 1
  if d > 0 then sub(d) end
  t = t + a * b - b
end
for n = 1, 80 do
  for r = 1, 20000 do sub(6) end
end
print(string.format("%.0f", t))
