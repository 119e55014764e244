-- A test bench for the instruction ROM that "rozedov --format=vhdl" writes:
-- it reads the first words of the ROM and prints them. With GHDL:
--   rozedov --format=vhdl count.s
--   ghdl -a count.o.code.vhd rom_tb.vhd
--   ghdl --elab-run rom_tb
library ieee;
use ieee.std_logic_1164.all;

entity rom_tb is
end rom_tb;

architecture sim of rom_tb is
    signal iA : integer range 0 to 511 := 0;
    signal oQ : std_logic_vector(14 downto 0);

    -- The word as its 15 binary digits.
    function bits(word : std_logic_vector) return string is
        variable text : string(1 to word'length);
        variable k : integer := 1;
    begin
        for i in word'range loop
            if word(i) = '1' then
                text(k) := '1';
            else
                text(k) := '0';
            end if;
            k := k + 1;
        end loop;
        return text;
    end function;
begin
    rom : entity work.instr_rom port map (iA => iA, oQ => oQ);

    process
    begin
        for address in 0 to 7 loop
            iA <= address;
            wait for 1 ns;
            report "word " & integer'image(address) & ": " & bits(oQ);
        end loop;
        wait;
    end process;
end sim;
