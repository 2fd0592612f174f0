// Replays seeded pseudo-random inputs through a fuzz target when libFuzzer is not available, so the
// targets run as smoke tests in every build. Inputs mix printable text with raw bytes, since the
// targets parse text typed by users and text received from instruments.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    long runs = 10000;
    unsigned seed = 12345;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runs = std::strtol(argv[i] + 7, nullptr, 10);
        else if (std::strncmp(argv[i], "--seed=", 7) == 0)
            seed = static_cast<unsigned>(std::strtoul(argv[i] + 7, nullptr, 10));
    }
    static const char alphabet[] = "0123456789abcdefxyzABCDEFXYZ+-*/^()[]{}.,;:!=<>#%&|'\" \t\r\n";
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> input;
    for (long r = 0; r < runs; ++r) {
        std::size_t len = rng() % 64;
        input.resize(len);
        for (auto& b : input) {
            unsigned pick = rng() % 10;
            b = pick == 0 ? static_cast<std::uint8_t>(rng() & 0xFF)
                          : static_cast<std::uint8_t>(alphabet[rng() % (sizeof alphabet - 1)]);
        }
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    std::printf("%ld inputs run\n", runs);
    return 0;
}
