// blink.s - toggle an LED forever, with a delay loop between the changes
#include "blink_defs.inc"

.text
        sub   ZERO, ZERO, ZERO
        inc   ONE, ZERO
        ld    PORT, ONE           // PORT = address of the LED port (data word 1)
        mov   LED, ZERO           // start with the LED off
toggle: not   LED, LED
        st    LED, PORT
        ld    COUNTER, ZERO       // COUNTER = delay (data word 0)
wait:   dec   COUNTER, COUNTER
        jmpnz wait
        jmp   toggle

.data
delay:  DELAY_TICKS
port:   LED_PORT_ADDR
