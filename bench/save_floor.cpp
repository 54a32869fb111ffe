// The floor of a save, as a plain program does it: the index of a collection
// written from memory into a new file beside it, flushed, renamed and the
// folder flushed, ROUNDS times; prints the median and the mean in
// milliseconds. The index itself is never touched.
//
//   save_floor COLLECTION_DIR [ROUNDS] [PAUSE_MS]
//
// PAUSE_MS waits between the saves as a user does between two of the
// window's: the memory a replaced index freed may have gone back to the system
// by the next save, which then costs more than one straight after another.
// Whether it has is a matter of the moment, so at a user's pace the times
// fall in two groups, and the median of a few saves lands in either; the mean
// is the steadier measure of the two.

#include "bench_support.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s COLLECTION_DIR [ROUNDS] [PAUSE_MS]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 9;
    const auto pause = std::chrono::milliseconds(argc > 3 ? std::max(0, std::atoi(argv[3])) : 0);
    std::ifstream in(dir / "poems.dmp", std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto target = dir / "floor.dmp";
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
        std::this_thread::sleep_for(pause);
        const auto started = std::chrono::steady_clock::now();
        stanzel::bench::ReplacePlain(target, bytes);
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count());
    }
    std::filesystem::remove(target);
    std::sort(times.begin(), times.end());
    const double mean =
        std::accumulate(times.begin(), times.end(), 0.0) / static_cast<double>(times.size());
    std::printf("median=%.1f mean=%.1f\n", times[times.size() / 2], mean);
    return 0;
}
