10 ' print: 20,000 lines
20 for I=1 to 20000
30 print "Line ";I
40 next
