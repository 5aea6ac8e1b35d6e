10 ' bm3: counting loop with arithmetic on variables, repeated 8000 times
20 for R=1 to 8000
30 K=0
40 K=K+1
50 A=K/K*K+K-K
60 if K<1000 then 40
70 next
80 print K;" ";A
