10 ' bm1: empty FOR loop of 1000 passes, repeated 70000 times (7 x 10000: R counts to 32767 at most)
20 for Q=1 to 7
30 for R=1 to 10000
40 for K=1 to 1000
50 next
60 next
70 next
80 print K
