10 ' loop: 1,000,000 iterations of S=S+I in two nested FOR loops (S wraps to 16 bits)
20 S=0
30 for J=1 to 1000
40 for I=1 to 1000
50 S=S+I
60 next
70 next
80 print S
