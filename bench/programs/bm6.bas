10 ' bm6: counting loop with a GOSUB and an inner FOR over the array's 5 elements, repeated 3000 times
20 for R=1 to 3000
30 K=0
40 K=K+1
50 A=K/2*3+4-5
60 gosub 900
70 for L=1 to 5
80 next
90 if K<1000 then 40
100 next
110 print K;" ";A
120 end
900 return
