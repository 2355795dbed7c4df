// hold_files FILE...: opens each file with no sharing at all and keeps it
// open until its standard input ends, so that every other process of the
// same Wine server (or Windows session) meets a sharing violation on it.
// Prints "held N" once the N files it could open are held.

#include <windows.h>

#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    std::vector<HANDLE> held;
    for (int i = 1; i < argc; ++i) {
        HANDLE file = CreateFileW(argv[i], GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) held.push_back(file);
    }
    std::printf("held %u\n", static_cast<unsigned>(held.size()));
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    for (HANDLE file : held) CloseHandle(file);
    return 0;
}
