#pragma once

#include "mcgenerator.h"

#include <QtGlobal>

#include <cstdint>
#include <random>

// The random streams of a Monte Carlo run. The samples are cut into chunks
// of kChunkSamples; chunk i draws from its own mcgenerator, whose 256-bit
// state is the eight 32-bit words that std::seed_seq makes of the run's seed
// and i. Both algorithms are fixed (seed_seq by the C++ standard, the
// generator by its own code), so a seed gives the same stream on any
// machine, and since a chunk's stream does not depend on which thread runs
// it, on any number of threads.
namespace mcstream {

// Part of the reproducibility contract: changing it changes every result.
constexpr qint64 kChunkSamples = 4096;

inline mcgenerator chunkEngine(quint64 seed, qint64 chunk)
{
    const quint64 index = static_cast<quint64>(chunk);
    // The constant keeps these streams apart from any other use of the seed.
    std::seed_seq words{std::uint32_t(seed), std::uint32_t(seed >> 32), std::uint32_t(index),
                        std::uint32_t(index >> 32), std::uint32_t(0x4d43u)};
    std::uint32_t out[8];
    words.generate(out, out + 8);
    const quint64 state[4] = {(quint64(out[0]) << 32) | out[1], (quint64(out[2]) << 32) | out[3],
                              (quint64(out[4]) << 32) | out[5], (quint64(out[6]) << 32) | out[7]};
    return mcgenerator(state);
}

// The seed of one member of a family of runs that share the user's seed:
// a table of a batch (key: its number in its file), a variant of a genotype
// file (key: a hash of its identity). Made with the chunk streams' scheme,
// so members get independent streams and each member's stream depends only
// on (seed, key), never on threads, chunks of a file or order.
inline quint64 derivedSeed(quint64 seed, quint64 key)
{
    // Its own constant keeps these seeds apart from the chunk streams.
    std::seed_seq words{std::uint32_t(seed), std::uint32_t(seed >> 32), std::uint32_t(key),
                        std::uint32_t(key >> 32), std::uint32_t(0x5345u)};
    std::uint32_t out[2];
    words.generate(out, out + 2);
    return (quint64(out[0]) << 32) | out[1];
}

// A uniform double in [0, 1) from the top 53 bits of one output: every
// value a multiple of 2^-53, the same on every platform (the standard
// distributions are not).
inline double uniform(mcgenerator &engine)
{
    return static_cast<double>(engine() >> 11) * (1.0 / 9007199254740992.0);
}

} // namespace mcstream
