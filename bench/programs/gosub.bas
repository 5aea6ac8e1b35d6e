10 ' gosub: a subroutine that calls itself six deep, 160,000 times (8 x 20000). Each level keeps its argument
15 ' and a partial result in local variables, which the deeper calls must leave alone.
20 T=0:N=0
30 for R=1 to 20000
40 D=6:gosub 100
50 next
60 N=N+1:if N<8 then 30
70 print T
80 end
100 a=D:b=a*a:D=D-1
110 if D>0 then gosub 100
120 T=T+a*b-b
130 return
