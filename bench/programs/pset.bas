10 ' pset: 200,000 points plotted over a 200 x 100 plane in nested FOR loops, ten times
20 graph 4,200,100
30 for R=1 to 10
40 for Y=0 to 99
50 for X=0 to 199
60 pset X,Y
70 next
80 next
90 next
100 print R
