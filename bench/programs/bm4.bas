10 ' bm4: counting loop with arithmetic on constants, repeated 8000 times
20 for R=1 to 8000
30 K=0
40 K=K+1
50 A=K/2*3+4-5
60 if K<1000 then 40
70 next
80 print K;" ";A
