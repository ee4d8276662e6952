// Stands in for the web browser: registered as the command of the http and https URL handlers,
// it writes the command line it was given into the file named by LINKMOOR_TEST_URL_RECORD.
#include <windows.h>

#include <cstring>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char path[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableA("LINKMOOR_TEST_URL_RECORD", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    const char* commandLine = GetCommandLineA();
    DWORD written = 0;
    WriteFile(file, commandLine, DWORD(std::strlen(commandLine)), &written, nullptr);
    CloseHandle(file);
    return 0;
}
