; count.s - count R1 up from 0 until it reaches the limit kept in data memory

.text
start:  sub   R0, R0, R0      ; R0 = 0, also the address of the limit
        ld    R2, R0          ; R2 = limit
        mov   R1, R0          ; R1 = counter
loop:   inc   R1, R1
        sub   R3, R2, R1      ; zero once the counter reaches the limit
        jmpnz loop
done:   jmp   done            ; finished: stay here

.data
limit:  10
