; Two code sections and two data sections, with references across them.
.text
first:  add r1, r2, r3
        sub r4, r5, r6
        JMP second + 2
        jmpnc first
back:   AND R7, r0, r1

.data
words:  1, 2, 3
        0xbeef

.text
second: or r1, r1, r1
        shl r2, r3
        shr r4, r5
        ashl r6, r7
        ashr r0, r1
        jmps back
        jmpns words
        jmpc second - 2
        jmpnz 20
mid:    Mov r3, r4 __NEW_LINE__ mov r5, r6
        jmp mid + 1

.data
        TABLE_END: 0x7fff
        back
        second + 4
