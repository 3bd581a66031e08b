#pragma once

#include "mcstream.h"

#include <QtGlobal>

class mcmodel;
struct mcbins;

// How many of a run's samples were extreme.
struct mccount
{
    enum Status {
        Finished = 0,
        Stopped = 1,       // pollCalcEvents() returned nonzero before the last chunk
        BadInput = 2,      // no samples asked for
        NoThreads = 3,     // memory ran out for the threads' work
        SamplerFailed = 4  // a draw ran out of redraws
    };

    int status = BadInput;
    qint64 samples = 0;    // drawn, when Finished
    qint64 extreme = 0;    // of them at least as extreme as the observed table
};

// Draws `samples` tables of the model on `threads` threads (0: one per
// core) in chunks of mcstream::kChunkSamples, each chunk with its own
// stream from (seed, chunk index): the count depends on the seed alone,
// never on the thread count. Threads the system will not start are done
// without (see noteThreadShortfall); with none at all the calling thread
// draws, polling between its samples. Otherwise it waits: it polls
// pollCalcEvents() about every 10 ms (a nonzero return stops the workers
// within a few hundred samples) and writes calcProgressValue as the share
// of chunks done, 0 to progressMaximum. With `bins` (laid out, empty), the
// samples' statistic is counted into them as well. A model whose samples
// are costly (a refit each) takes smaller chunks, chunkSamples, so that
// a few hundred samples still spread over the threads; the chunk size is
// part of what a seed gives.
mccount countExtremes(const mcmodel &model, qint64 samples, quint64 seed, int threads,
                      int progressMaximum, mcbins *bins = nullptr,
                      qint64 chunkSamples = mcstream::kChunkSamples);

// The default number of threads: every core.
int defaultThreadCount();
