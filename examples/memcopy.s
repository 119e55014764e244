; memcopy.s - copy a block of data words to another place with ld and st

.text
        sub   R0, R0, R0      ; R0 = 0
        ld    R1, R0          ; R1 = number of words to copy
        inc   R2, R0          ; R2 = 1
        ld    R3, R2          ; R3 = source address
        inc   R2, R2          ; R2 = 2
        ld    R4, R2          ; R4 = destination address
copy:   ld    R5, R3          ; R5 = next source word
        st    R5, R4          ; store it at the destination
        inc   R3, R3
        inc   R4, R4
        dec   R1, R1
        jmpnz copy
halt:   jmp   halt

.data
count:  4                     ; words to copy
from:   source                ; address of the source block
to:     dest                  ; address of the destination block
source: 0x1111, 0x2222, 0x3333, 0x4444
dest:   0, 0, 0, 0
