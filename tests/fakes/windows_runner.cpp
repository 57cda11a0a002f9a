// Stands in for VarraForgesetServer.exe, the Windows server runner, in the tests that start it
// under Wine; built with mingw-w64. It prints a line on each output stream, as the runner's
// console shows the game server starting, and then proves where it ran by leaving
// ran-here.txt in its current folder (written under another name first, so a test that sees
// the file sees it whole, and the lines before it).
#include <cstdio>

int main(int argc, char**) {
    std::printf("runner: starting the game server\n");
    std::fflush(stdout);
    std::fprintf(stderr, "runner: plugin loaded\n");
    std::fflush(stderr);
    std::printf("runner: ready\n");
    std::fflush(stdout);
    std::FILE* proof = std::fopen("ran-here.part", "wb");
    if (proof == nullptr) return 1;
    std::fprintf(proof, "arguments: %d\n", argc - 1);
    if (std::fclose(proof) != 0) return 1;
    return std::rename("ran-here.part", "ran-here.txt") == 0 ? 0 : 1;
}
