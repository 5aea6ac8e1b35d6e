10 ' bm7: counting loop with a GOSUB and an inner loop storing into the array, repeated 1800 times
20 for R=1 to 1800
30 K=0
40 K=K+1
50 A=K/2*3+4-5
60 gosub 900
70 for L=1 to 5
80 @(L)=A
90 next
100 if K<1000 then 40
110 next
120 print K;" ";A
130 end
900 return
