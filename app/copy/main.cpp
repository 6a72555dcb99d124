// talvor-copiar: moves the program's tables from talvor.db to a PostgreSQL
// server, or from the server into a new talvor.db (copy_command.h).
#include <cstdlib>
#include <iostream>

#include "app/copy/copy_command.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    const char* server = std::getenv("TALVOR_SERVER");
    return tv::copy::runCopyCommand(args, server ? std::optional<std::string>(server) : std::nullopt, std::cout,
                                    std::cerr);
}
