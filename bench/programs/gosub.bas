10 ' gosub: a subroutine that calls itself six deep, keeping its argument in a local variable
20 T=0
30 for R=1 to 20000
40 D=6:gosub 100
50 next
60 print T
70 end
100 a=D:D=D-1
110 if D>0 then gosub 100
120 T=T+a
130 return
