10 ' sieve: the primes below 8191 by the sieve of Eratosthenes over @(), ten times
20 N=8190
30 for R=1 to 10
40 for I=2 to N:@(I)=-1:next
50 C=0
60 for I=2 to N
70 if @(I)=0 then 110
80 C=C+1
90 if I>90 then 110
100 for K=I*I to N step I:@(K)=0:next
110 next
120 next
130 print C
