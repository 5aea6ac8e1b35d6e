10 ' bm2: IF/GOTO counting loop, repeated 13500 times
20 for R=1 to 13500
30 K=0
40 K=K+1
50 if K<1000 then 40
60 next
70 print K
