#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstring>
#include <vector>

// Where a variant stands and what its alleles are, as its file gives them.
struct VariantIdentity
{
    QByteArray chrom;
    qint64 pos = 0;
    QByteArray id;             // "." when the file has none
    QByteArray ref;
    QList<QByteArray> alts;    // empty when the file's ALT is "."
};

// Sets `to` to n bytes, in its own buffer when that is large enough: the
// identity of each variant of a file is written over the last one's.
inline void setBytes(QByteArray &to, const char *from, qsizetype n)
{
    to.resize(n);
    if (n > 0)
        std::memcpy(to.data(), from, std::size_t(n));
}

// The table a test reads: its shape follows the test.
enum class TableLayout {
    HardyWeinberg,  // K x K genotypes by allele, upper triangle and diagonal
    CaseControl,    // 2 x G: cases over controls, by the genotype classes present
    Models,         // 2 x 3: cases over controls, hom REF / het / hom ALT (two alleles)
    Strata          // per group (a stratum's cases, then its controls) and allele of the
                    // record: copies, carriers, homozygotes (see VariantTable::cells)
};

// One variant turned into a count table, with its identity and the calls
// left out.
struct VariantTable
{
    VariantIdentity identity;
    int alleles = 0;       // alleles with copies among the individuals used
    int n = 0;             // individuals used: diploid calls in the test's groups
    int missing = 0;       // missing calls of those groups' samples
    int haploid = 0;       // haploid calls of those groups' samples
    QString rejected;      // why no test can run on it; empty when it can
    int rows = 0;
    int columns = 0;
    // rows x columns, row-major. HardyWeinberg: cell (i, j) with j >= i is
    // the count of genotype i/j of the alleles present (in file order);
    // cells below the diagonal are not part of the table. Strata: one row
    // per group, and for each allele i of the record (REF, then the ALTs,
    // present or not) columns 3i, 3i + 1 and 3i + 2: its copies, the
    // individuals carrying it, and those homozygous for it.
    std::vector<int> cells;

    int cell(int row, int column) const { return cells[std::size_t(row) * std::size_t(columns) + std::size_t(column)]; }
    bool hasCell(int row, int column) const
    {
        return row >= 0 && column >= 0 && row < rows && column < columns
               && (layout != TableLayout::HardyWeinberg || column >= row);
    }

    TableLayout layout = TableLayout::HardyWeinberg;
};
