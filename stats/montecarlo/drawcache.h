#pragma once

#include "hyperwalk.h"

#include <QtGlobal>

#include <vector>

// The walks of the draws a sampler repeats, kept after their first use. A
// site is one place of a table whose draws share two of their three
// parameters (a Fisher row's column j: its total and size; the chi-squared
// table's first row and first column; the first allele's draws): its draws
// differ by the third alone, which indexes the site's walks. A kept walk
// holds the values and sums of the walk's first steps and where it stood
// after them, so a lookup compares sums instead of walking, and goes on
// walking past them exactly as the walk would. One cache per sampler, so
// per thread; what it holds never changes a draw, so a full cache (past
// kMaxSteps) only stops keeping more.
class drawcache final
{
public:
    static constexpr qsizetype kMaxSteps = qsizetype(1) << 20;  // 12 MB per sampler
    // A walk is kept this far, or until the rest of its sum is below 2^-24
    // (beyond, a lookup walks on: one draw in millions).
    static constexpr int kMaxWalk = 128;
    // The first steps of every kept walk are compared with the uniform all
    // at once, without a branch to mispredict: 16, as the laws of a table
    // of a few thousand counts (standard deviation 5 or so) mostly end
    // within 16 steps, and fewer left a loop with an unforeseeable exit.
    static constexpr int kFirst = 16;
    // Sites index this many values of their free parameter at most, around
    // its mean.
    static constexpr qint64 kMaxWindow = 4096;

    struct walk
    {
        qint32 first = -1;   // into values and sums; -1 while not kept
        qint32 length = 0;
        qint32 state = 0;    // into m_states: where the walk stood after its steps
        // The walk's values are mode + walkstate::offset(i) for its first
        // `regular` steps (until a side ends), read without a second lookup.
        qint32 mode = 0;
        qint32 regular = 0;
        bool ended = false;  // both sides were done within the kept steps
    };

    // A site whose draws have this total and fixed parameter, the free one
    // between low and high (clipped to kMaxWindow around their middle).
    // Returns its number.
    int addSite(qint64 total, qint64 fixed, qint64 low, qint64 high);

    // The kept walk of `law`, the law of the draw at `site` with parameters
    // (total, fixed, free), made now if need be; null when the draw is not
    // the site's, its free parameter is outside the window, or the cache is
    // full.
    template <class Law>
    const walk *find(int site, qint64 total, qint64 fixed, qint64 free, const Law &law, const lnfactorial &f);

    // Asks for the first sums of the site's kept walk for these parameters
    // (as find() takes them) to be fetched, when it exists: a draw known
    // draws ahead then finds them at hand. Changes nothing.
    void prefetch(int site, qint64 total, qint64 fixed, qint64 free) const
    {
        if (site < 0 || size_t(site) >= m_sites.size())
            return;
        const place &p = m_sites[size_t(site)];
        const qint64 index = free - p.low;
        if (p.total != total || p.fixed != fixed || index < 0 || index >= qint64(p.walks.size()))
            return;
        const walk &w = p.walks[size_t(index)];
        if (w.first >= 0) {
            __builtin_prefetch(m_sums.data() + w.first);
            __builtin_prefetch(m_sums.data() + w.first + kFirst - 1);
        }
    }

    // The value of a kept walk for the uniform u, as the walk gives it;
    // false when u is past the kept steps (then walk on from state(w), or
    // draw again if the walk ended).
    bool lookup(const walk &w, double u, qint64 &value) const
    {
        const double *sums = m_sums.data() + w.first;
        // How many of the first sums u reaches: the index of the value.
        int reached = 0;
        for (int i = 0; i < kFirst; ++i)
            reached += u >= sums[i] ? 1 : 0;
        if (reached < kFirst) {
            if (reached >= w.length)
                return false;
            value = valueAt(w, reached);
            return true;
        }
        for (int i = kFirst; i < w.length; ++i) {
            if (u < sums[i]) {
                value = valueAt(w, i);
                return true;
            }
        }
        return false;
    }
    const walkstate &state(const walk &w) const { return m_states[size_t(w.state)]; }

private:
    qint64 valueAt(const walk &w, int i) const
    {
        return i < w.regular ? w.mode + walkstate::offset(i) : m_values[size_t(w.first + i)];
    }

    struct place
    {
        qint64 total = 0;
        qint64 fixed = 0;
        qint64 low = 0;
        std::vector<walk> walks;
    };

    template <class Law>
    void make(walk &w, const Law &law, const lnfactorial &f);

    std::vector<place> m_sites;
    std::vector<walkstate> m_states;
    std::vector<qint32> m_values;
    std::vector<double> m_sums;
};

template <class Law>
const drawcache::walk *drawcache::find(int site, qint64 total, qint64 fixed, qint64 free, const Law &law,
                                       const lnfactorial &f)
{
    if (site < 0 || size_t(site) >= m_sites.size())
        return nullptr;
    place &p = m_sites[size_t(site)];
    const qint64 index = free - p.low;
    if (p.total != total || p.fixed != fixed || index < 0 || index >= qint64(p.walks.size()))
        return nullptr;
    walk &w = p.walks[size_t(index)];
    if (w.first < 0) {
        if (m_sums.size() + kMaxWalk + kFirst > size_t(kMaxSteps))
            return nullptr;
        make(w, law, f);
    }
    return &w;
}

template <class Law>
void drawcache::make(walk &w, const Law &law, const lnfactorial &f)
{
    w.first = qint32(m_sums.size());
    qint64 mode = 0;
    walkstate state = walkstate::start(law, f, mode);
    m_values.push_back(qint32(mode));
    m_sums.push_back(state.sum());
    qint64 value = 0;
    while (int(m_sums.size()) - w.first < kMaxWalk && m_sums.back() < 1.0 - 0x1p-24) {
        if (!state.step(law, value)) {
            w.ended = true;
            break;
        }
        m_values.push_back(qint32(value));
        m_sums.push_back(state.sum());
    }
    w.length = qint32(m_sums.size()) - w.first;
    w.mode = qint32(mode);
    while (w.regular < w.length && m_values[size_t(w.first + w.regular)] == mode + walkstate::offset(w.regular))
        ++w.regular;
    // Sums no uniform reaches fill the first steps up.
    while (int(m_sums.size()) - w.first < kFirst) {
        m_values.push_back(0);
        m_sums.push_back(2.0);
    }
    w.state = qint32(m_states.size());
    m_states.push_back(state);
}
