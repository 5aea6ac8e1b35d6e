10 ' bm5: counting loop with a GOSUB, repeated 6500 times
20 for R=1 to 6500
30 K=0
40 K=K+1
50 A=K/2*3+4-5
60 gosub 900
70 if K<1000 then 40
80 next
90 print K;" ";A
100 end
900 return
