// krv-dados: a company's records in and out of the server's database as spreadsheet CSV.
#include <unistd.h>

#include <iostream>

#include "dados/DadosMain.h"

int main(int argc, char** argv) {
    return krv::dados::runDados(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr,
                                isatty(STDERR_FILENO) != 0);
}
