#include "driver/CRozeDov.h"

int main(int argc, char** argv)
{
    return CRozeDov::main(argc, argv);
}
