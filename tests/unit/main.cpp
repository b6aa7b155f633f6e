// The unit test program; started with "--child ..." it acts as a child program for the tests
// of the process runner instead.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// --child spew N CODE: writes N bytes to both streams, interleaved, then exits with CODE.
// --child echo CODE: copies standard input to standard output, then exits with CODE.
// --child env NAME: writes the variable's value to standard output.
// --child sleep MS: reads nothing and waits, as a hung program does.
int run_child(int argc, char** argv) {
    std::string what = argc > 2 ? argv[2] : "";
    if (what == "spew" && argc > 4) {
        long total = std::atol(argv[3]);
        std::string chunk(4096, 'x');
        for (long done = 0; done < total; done += static_cast<long>(chunk.size())) {
            std::fwrite(chunk.data(), 1, chunk.size(), stdout);
            std::fwrite(chunk.data(), 1, chunk.size(), stderr);
        }
        std::fflush(stdout);
        return std::atoi(argv[4]);
    }
    if (what == "echo" && argc > 3) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) std::fwrite(buffer, 1, n, stdout);
        return std::atoi(argv[3]);
    }
    if (what == "sleep" && argc > 3) {
        Sleep(static_cast<DWORD>(std::atol(argv[3])));
        return 0;
    }
    if (what == "env" && argc > 3) {
        const char* value = std::getenv(argv[3]);
        std::fputs(value ? value : "<unset>", stdout);
        return 0;
    }
    return 100;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0) return run_child(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
