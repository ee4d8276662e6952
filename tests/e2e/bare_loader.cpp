// Loads a library by its bare name, the way any program would without a restricted search path.
// Usage: bare_loader NAME   (exit code 0 when it loaded, 1 when not)
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    HMODULE module = LoadLibraryA(argv[1]);
    if (!module) return 1;
    char path[MAX_PATH] = {};
    GetModuleFileNameA(module, path, MAX_PATH);
    std::printf("%s\n", path);
    return 0;
}
