#include <iostream>

#include "call/CallMain.h"

int main(int argc, char** argv) {
    return krv::call::runCall(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
