// SPDX-License-Identifier: GPL-3.0-or-later
// Runs a fuzz target without libFuzzer: feeds it every file named on the
// command line and every file directly inside each folder named (in name
// order, hidden files aside), so the seed corpus and the regression inputs run as a plain test
// in any build. A failed check or sanitizer report aborts with the file's
// name on standard error; so does an input that runs longer than
// VARNOK_FUZZ_TIMEOUT seconds (default 60).

#include "fuzzcheck.h"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace {

// The file being run, for the alarm handler (which may touch nothing else).
char g_current[4096];

void onAlarm(int)
{
    const char text[] = "Zeitüberschreitung bei ";
    [[maybe_unused]] ssize_t n = ::write(2, text, sizeof text - 1);
    n = ::write(2, g_current, std::strlen(g_current));
    n = ::write(2, "\n", 1);
    std::abort();
}

} // namespace

int main(int argc, char **argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            std::vector<fs::path> inside;
            for (const auto &entry : fs::directory_iterator(arg))
                if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
                    inside.push_back(entry.path());
            std::sort(inside.begin(), inside.end());
            files.insert(files.end(), inside.begin(), inside.end());
        } else if (fs::is_regular_file(arg, ec)) {
            files.push_back(arg);
        } else {
            std::fprintf(stderr, "Nicht gefunden: %s\n", argv[i]);
            return 2;
        }
    }

    ::setenv("VARNOK_FUZZ_KNOWN_INPUTS", "1", 1);
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);

    unsigned timeout = 60;
    if (const char *t = std::getenv("VARNOK_FUZZ_TIMEOUT"))
        timeout = unsigned(std::strtoul(t, nullptr, 10));
    std::signal(SIGALRM, onAlarm);

    for (const fs::path &file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::snprintf(g_current, sizeof g_current, "%s", file.c_str());
        std::fprintf(stderr, "%s (%zu Bytes)\n", file.c_str(), bytes.size());
        ::alarm(timeout);
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size());
        ::alarm(0);
    }
    std::fprintf(stderr, "%zu Eingaben ohne Befund\n", files.size());
    return 0;
}
