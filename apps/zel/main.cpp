#include <cstdio>

#include "zel/ZEL_API.h"

int main() {
    std::puts("zel: not yet able to run a parameter file.");
    return 1;
}
