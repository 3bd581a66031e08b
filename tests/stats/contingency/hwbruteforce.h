#pragma once

#include <algorithm>
#include <cmath>
#include <vector>

// Test-only reference: lists every genotype table with the allele counts of
// the given K x K upper-triangular table and adds up the probabilities of
// those whose score is at most the observed one (+1e-10). Exponential in
// the table size; only for small tables.
class HwBruteForce final
{
public:
    HwBruteForce(int K, const std::vector<int> &table) : m_K(K)
    {
        m_alleles.assign(static_cast<size_t>(K), 0);
        long long homozygotes = 0;
        for (int i = 0; i < K; ++i)
            for (int j = i; j < K; ++j) {
                const int n = table[static_cast<size_t>(i * K + j)];
                m_N += n;
                if (i == j) {
                    homozygotes += n;
                    m_alleles[static_cast<size_t>(i)] += 2 * n;
                } else {
                    m_alleles[static_cast<size_t>(i)] += n;
                    m_alleles[static_cast<size_t>(j)] += n;
                }
            }
        m_C = lf(2 * m_N) - lf(m_N);
        for (int c : m_alleles)
            m_C -= lf(c);
        double observed = std::log(2.0) * static_cast<double>(m_N - homozygotes);
        for (int i = 0; i < K; ++i)
            for (int j = i; j < K; ++j)
                observed -= lf(table[static_cast<size_t>(i * K + j)]);
        m_threshold = observed + 1e-10;
    }

    // All tables of the given allele counts (their sum even), for the
    // extremes of their scores; pValue() then counts every table.
    explicit HwBruteForce(const std::vector<int> &alleleCounts)
        : m_K(static_cast<int>(alleleCounts.size())), m_alleles(alleleCounts)
    {
        for (int c : alleleCounts)
            m_N += c;
        m_N /= 2;
        m_threshold = HUGE_VAL;
    }

    double minScore() const { return m_min; }
    double maxScore() const { return m_max; }
    // ln of the sum of exp(score) over all tables.
    double logWeight() const { return std::log(m_sumExp); }

    double pValue()
    {
        std::vector<int> left = m_alleles;
        m_sum = m_sumError = 0.0;
        m_total = m_totalError = 0.0;
        m_tables = 0;
        fillRow(0, left, 0.0);
        m_total += m_totalError;
        return m_sum + m_sumError;
    }

    // Sum of the probabilities of all tables (1 up to rounding) and their
    // number, after pValue().
    double totalProbability() const { return m_total; }
    long long tables() const { return m_tables; }

private:
    static double lf(long long n) { return std::lgamma(static_cast<double>(n) + 1.0); }

    // Compensated sum: a billion terms summed plainly lose 1e-10.
    static void add(double &sum, double &error, double x)
    {
        const double t = sum + x;
        error += std::fabs(sum) >= std::fabs(x) ? (sum - t) + x : (x - t) + sum;
        sum = t;
    }

    // Row i: the homozygotes of allele i, then its heterozygotes with the
    // alleles after it; every copy of allele i is used up by the end of row i.
    void fillRow(int i, std::vector<int> &left, double score)
    {
        if (i == m_K) {
            m_min = std::min(m_min, score);
            m_max = std::max(m_max, score);
            m_sumExp += std::exp(score);
            const double p = std::exp(score - m_C);
            add(m_total, m_totalError, p);
            ++m_tables;
            if (score <= m_threshold)
                add(m_sum, m_sumError, p);
            return;
        }
        const int copies = left[static_cast<size_t>(i)];
        for (int h = 0; 2 * h <= copies; ++h) {
            left[static_cast<size_t>(i)] = copies - 2 * h;
            fillCell(i, i + 1, left, score - lf(h));
        }
        left[static_cast<size_t>(i)] = copies;
    }

    void fillCell(int i, int j, std::vector<int> &left, double score)
    {
        const int rest = left[static_cast<size_t>(i)];
        if (j == m_K) {
            if (rest == 0)
                fillRow(i + 1, left, score);
            return;
        }
        // The last partner takes every copy of allele i that is left.
        const int least = j == m_K - 1 ? rest : 0;
        const int most = std::min(rest, left[static_cast<size_t>(j)]);
        for (int x = least; x <= most; ++x) {
            left[static_cast<size_t>(i)] = rest - x;
            left[static_cast<size_t>(j)] -= x;
            fillCell(i, j + 1, left, score + std::log(2.0) * x - lf(x));
            left[static_cast<size_t>(j)] += x;
        }
        left[static_cast<size_t>(i)] = rest;
    }

    int m_K;
    long long m_N = 0;
    std::vector<int> m_alleles;
    double m_C = 0.0;
    double m_threshold = 0.0;
    double m_sum = 0.0;
    double m_sumError = 0.0;
    double m_total = 0.0;
    double m_totalError = 0.0;
    long long m_tables = 0;
    double m_min = HUGE_VAL;
    double m_max = -HUGE_VAL;
    double m_sumExp = 0.0;
};
