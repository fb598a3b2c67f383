#include "platform/win/random.h"

#include <chrono>
#include <functional>
#include <optional>
#include <random>
#include <thread>

namespace win {
namespace {

thread_local std::optional<std::mt19937_64> t_generator;

std::mt19937_64& generator() {
    if (!t_generator) {
        uint64_t seed = 0;
        try {
            std::random_device device;
            seed = (static_cast<uint64_t>(device()) << 32) ^ device();
        } catch (...) {
            // No entropy source: the clock and the thread below still differ per thread.
        }
        seed ^= static_cast<uint64_t>(
            std::chrono::high_resolution_clock::now().time_since_epoch().count());
        seed ^= std::hash<std::thread::id>{}(std::this_thread::get_id()) * 0x9E3779B97F4A7C15ull;
        std::seed_seq sequence{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32)};
        t_generator.emplace(sequence);
    }
    return *t_generator;
}

} // namespace

double Rnd() {
    return static_cast<double>(generator()() >> 11) * 0x1.0p-53;
}

void Randomize() {
    generator();
}

void Randomize(uint64_t seed) {
    t_generator.emplace(seed);
}

} // namespace win
