; table.s - add up a table of squares kept in the data section

.text
        sub   R0, R0, R0      ; R0 = 0
        ld    R1, R0          ; R1 = number of entries
        inc   R2, R0
        ld    R2, R2          ; R2 = address of the first entry
        mov   R3, R0          ; R3 = sum
next:   ld    R4, R2
        add   R3, R3, R4
        inc   R2, R2
        dec   R1, R1
        jmpnz next
        st    R3, R0          ; the sum replaces the entry count
stop:   jmp   stop

.data
count:   5                    ; number of squares
first:   squares              ; address of the first square
squares: 0, 1, 4, 9, 16
last:    squares + 8          ; address of the last square (byte offset + 8)
masks:   0x00FF, 0xFF00, ~0, 1 << 15, (3 + 4) * 2, -2
