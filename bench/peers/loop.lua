-- loop: 10,000,000 iterations of s = s + i in two nested loops (s kept as a float, as the sums of the others)
local s = 0.0
for j = 1, 10000 do
  for i = 1, 1000 do
    s = s + i
  end
end
print(string.format("%.0f", s))
