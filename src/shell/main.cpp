#include <string>
#include <vector>

#include "shell/run_tool.h"

int main(int argc, char** argv) {
    return runTool(std::vector<std::string>(argv + 1, argv + argc));
}
