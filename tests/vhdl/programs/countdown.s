; Counts r1 down to zero, storing each value at the address in r2.
#include "vorn_defs.inc"

.text
start:  mov r1, r7          ; r7 holds the start value
        not r6, r0
loop:   st r1, r2
        dec r1, r1
        inc r2, r2
        jmpz done
        jmp loop
done:   ld r3, r2
        jmp STOP_ADDRESS

.data
table:  0x0001, 0x0002, 0x0004, 0x0008
        16 32 64 128,
        -1, -32768, 65535
        (1 << 12) | 0xABC
