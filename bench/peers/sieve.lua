-- sieve: the primes below 8191 by the sieve of Eratosthenes, 100 times
local n = 8190
local a = {}
local c = 0
for r = 1, 100 do
  for i = 2, n do a[i] = -1 end
  c = 0
  for i = 2, n do
    if a[i] ~= 0 then
      c = c + 1
      if i <= 90 then
        for k = i * i, n, i do a[k] = 0 end
      end
    end
  end
end
print(c)
