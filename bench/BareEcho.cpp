// The floor of the start-up benchmark: a C++ process that links nothing of ours and echoes one line.
#include <iostream>
#include <string>

int main() {
    std::string line;
    std::getline(std::cin, line);
    std::cout << line << std::endl;
}
