#include "genotypetally.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

namespace {

// The Fisher network's widest table.
constexpr int kMaxClasses = 100;

QString tooMany(const char *what, int limit)
{
    return QStringLiteral("more than %1 %2").arg(limit).arg(QLatin1StringView(what));
}

} // namespace

void GenotypeTally::reset(int alleles, int groups)
{
    m_alleles = std::max(1, alleles);
    m_groups = std::clamp(groups, 1, kMaxGroups);
    m_counting = m_alleles <= kMaxAlleles;
    m_missing = 0;
    m_haploid = 0;
    std::memset(m_pairs, 0, std::size_t(m_groups) * sizeof m_pairs[0]);
    if (!m_counting) {
        m_counts.clear();
        return;
    }
    m_counts.assign(std::size_t(m_groups) * std::size_t(m_alleles) * std::size_t(m_alleles), 0);
}

void GenotypeTally::addGenotypes(int group, int a, int b, qint64 n)
{
    if (!m_counting)
        return;
    const int lo = std::min(a, b);
    const int hi = std::max(a, b);
    m_counts[(std::size_t(group) * std::size_t(m_alleles) + std::size_t(lo)) * std::size_t(m_alleles)
             + std::size_t(hi)] += n;
}

void GenotypeTally::toTable(TableLayout layout, VariantTable &table) const
{
    table.layout = layout;
    table.rows = 0;
    table.columns = 0;
    table.cells.clear();
    table.rejected.clear();
    table.alleles = 0;
    table.n = 0;
    // Counts beyond an int are far past any file; they saturate.
    table.missing = int(std::min<qint64>(m_missing, INT_MAX));
    table.haploid = int(std::min<qint64>(m_haploid, INT_MAX));
    if (!m_counting) {
        table.rejected = tooMany("alleles", kMaxAlleles);
        return;
    }

    const int A = m_alleles;
    qint64 n = 0;
    std::array<qint64, kMaxAlleles> copies{};
    for (int g = 0; g < m_groups; ++g) {
        for (int i = 0; i < A; ++i) {
            for (int j = i; j < A; ++j) {
                const qint64 c = count(g, i, j);
                n += c;
                copies[std::size_t(i)] += c;
                copies[std::size_t(j)] += c;
            }
        }
    }
    // The engines count alleles, two per individual, in an int.
    if (n > INT_MAX / 2) {
        table.rejected = tooMany("individuals", INT_MAX / 2);
        return;
    }
    table.n = int(n);
    std::array<int, kMaxAlleles> present{};
    int K = 0;
    for (int i = 0; i < A; ++i) {
        if (copies[std::size_t(i)] > 0)
            present[std::size_t(K++)] = i;
    }
    table.alleles = K;
    if (n < 2) {
        table.rejected = QStringLiteral("fewer than two called individuals");
        return;
    }
    // The genetic models compare two alleles: any other number is theirs
    // to refuse.
    if (layout == TableLayout::Models && K != 2) {
        table.rejected = QStringLiteral("models need two alleles");
        return;
    }
    if (K < 2) {
        table.rejected = QStringLiteral("one allele present");
        return;
    }

    switch (layout) {
    case TableLayout::Strata: {
        qint64 cases = 0, controls = 0;
        for (int g = 0; g < m_groups; ++g) {
            for (int i = 0; i < A; ++i)
                for (int j = i; j < A; ++j)
                    (g % 2 == Case ? cases : controls) += count(g, i, j);
        }
        if (cases == 0 || m_groups < 2) {
            table.rejected = QStringLiteral("no called cases");
            return;
        }
        if (controls == 0) {
            table.rejected = QStringLiteral("no called controls");
            return;
        }
        table.rows = m_groups;
        table.columns = 3 * A;
        table.cells.assign(std::size_t(m_groups) * std::size_t(3 * A), 0);
        for (int g = 0; g < m_groups; ++g) {
            int *row = table.cells.data() + std::size_t(g) * std::size_t(3 * A);
            for (int i = 0; i < A; ++i) {
                for (int j = i; j < A; ++j) {
                    const int c = int(count(g, i, j));
                    if (c == 0)
                        continue;
                    row[3 * i] += i == j ? 2 * c : c;
                    row[3 * i + 1] += c;
                    if (i == j) {
                        row[3 * i + 2] += c;
                    } else {
                        row[3 * j] += c;
                        row[3 * j + 1] += c;
                    }
                }
            }
        }
        return;
    }
    case TableLayout::HardyWeinberg: {
        table.rows = table.columns = K;
        table.cells.assign(std::size_t(K) * std::size_t(K), 0);
        for (int i = 0; i < K; ++i) {
            for (int j = i; j < K; ++j) {
                qint64 c = 0;
                for (int g = 0; g < m_groups; ++g)
                    c += count(g, present[std::size_t(i)], present[std::size_t(j)]);
                table.cells[std::size_t(i) * std::size_t(K) + std::size_t(j)] = int(c);
            }
        }
        return;
    }
    case TableLayout::CaseControl:
    case TableLayout::Models: {
        const auto groupTotal = [&](int g) {
            qint64 t = 0;
            for (int i = 0; i < A; ++i)
                for (int j = i; j < A; ++j)
                    t += count(g, i, j);
            return t;
        };
        if (m_groups < 2 || groupTotal(Case) == 0) {
            table.rejected = QStringLiteral("no called cases");
            return;
        }
        if (groupTotal(Control) == 0) {
            table.rejected = QStringLiteral("no called controls");
            return;
        }
        std::vector<std::pair<int, int>> classes;
        if (layout == TableLayout::Models) {
            const int a = present[0];
            const int b = present[1];
            classes = {{a, a}, {a, b}, {b, b}};
        } else {
            for (int i = 0; i < K; ++i) {
                for (int j = i; j < K; ++j) {
                    const int a = present[std::size_t(i)];
                    const int b = present[std::size_t(j)];
                    if (count(Case, a, b) + count(Control, a, b) > 0)
                        classes.emplace_back(a, b);
                }
            }
            if (classes.size() < 2) {
                table.rejected = QStringLiteral("one genotype class present");
                return;
            }
            if (int(classes.size()) > kMaxClasses) {
                table.rejected = tooMany("genotype classes", kMaxClasses);
                return;
            }
        }
        const int G = int(classes.size());
        table.rows = 2;
        table.columns = G;
        table.cells.assign(std::size_t(2) * std::size_t(G), 0);
        for (int c = 0; c < G; ++c) {
            table.cells[std::size_t(c)] = int(count(Case, classes[std::size_t(c)].first, classes[std::size_t(c)].second));
            table.cells[std::size_t(G + c)] =
                int(count(Control, classes[std::size_t(c)].first, classes[std::size_t(c)].second));
        }
        return;
    }
    }
}
