10 ' bm1: empty FOR loop, repeated 20000 times
20 for R=1 to 20000
30 for K=1 to 1000
40 next
50 next
60 print K
