// Drives the installed library through its exported functions: an engine that is made, answers and goes.
#include <cstdio>

#include "zel/ZEL_API.h"

int main() {
    if (zel::version() != "") return 1;  // no engine yet
    if (zel::construct() != 0) return 2;
    const std::string version = zel::version();
    if (version.rfind("1.1.0_", 0) != 0) return 3;
    if (zel::getCountParticle() != 0.0) return 4;
    if (zel::destruct() != 0 || zel::destruct() != -1) return 5;
    std::printf("%s\n", version.c_str());
    return 0;
}
