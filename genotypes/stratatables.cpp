#include "stratatables.h"

void splitStrata(const VariantTable &table, StrataModel model, std::vector<StrataSplit> &out)
{
    const VariantIdentity &id = table.identity;
    const int alts = int(id.alts.size());
    out.resize(std::size_t(qMax(1, alts)));
    for (int j = 0; j < int(out.size()); ++j) {
        StrataSplit &split = out[std::size_t(j)];
        split.alt = j;
        split.tested.clear();
        split.testedIsAlt = true;
        split.rejected = table.rejected;
        split.strata.clear();
    }
    if (!table.rejected.isEmpty() || alts == 0) {
        if (table.rejected.isEmpty())
            out.front().rejected = QStringLiteral("one allele present");
        return;
    }

    const int A = table.columns / 3;
    const int strata = table.rows / 2;
    const auto groupSize = [&](int g) {
        qint64 copies = 0;
        for (int i = 0; i < A; ++i)
            copies += table.cell(g, 3 * i);
        return int(copies / 2);
    };
    for (int j = 0; j < alts; ++j) {
        StrataSplit &split = out[std::size_t(j)];
        const int x = j + 1;
        qint64 copies = 0;
        for (int g = 0; g < table.rows; ++g)
            copies += table.cell(g, 3 * x);
        const qint64 rest = 2 * qint64(table.n) - copies;
        if (copies == 0) {
            split.rejected = QStringLiteral("no copies of %1").arg(QString::fromUtf8(id.alts.at(j)));
            continue;
        }
        if (rest == 0) {
            split.rejected = QStringLiteral("one allele present");
            continue;
        }
        split.testedIsAlt = copies <= rest;
        if (split.testedIsAlt) {
            split.tested = id.alts.at(j);
        } else {
            for (int i = 0; i < A; ++i) {
                bool carried = false;
                for (int g = 0; g < table.rows && !carried; ++g)
                    carried = i != x && table.cell(g, 3 * i) > 0;
                if (!carried)
                    continue;
                if (!split.tested.isEmpty())
                    split.tested += ',';
                split.tested += i == 0 ? id.ref : id.alts.at(i - 1);
            }
        }
        split.strata.resize(std::size_t(strata));
        for (int s = 0; s < strata; ++s) {
            std::array<int, 4> &cells = split.strata[std::size_t(s)];
            for (int side = 0; side < 2; ++side) {
                const int g = 2 * s + side;
                const int n = groupSize(g);
                const int total = model == StrataModel::Allelic ? 2 * n : n;
                int ofX = 0;     // of the ALT's side
                int ofRest = 0;  // of the other alleles' side
                switch (model) {
                case StrataModel::Allelic:
                    ofX = table.cell(g, 3 * x);
                    ofRest = total - ofX;
                    break;
                case StrataModel::Dominant:
                    // Carriers of the rest: everyone not homozygous for the ALT.
                    ofX = table.cell(g, 3 * x + 1);
                    ofRest = n - table.cell(g, 3 * x + 2);
                    break;
                case StrataModel::Recessive:
                    // Homozygous for the rest: everyone not carrying the ALT.
                    ofX = table.cell(g, 3 * x + 2);
                    ofRest = n - table.cell(g, 3 * x + 1);
                    break;
                }
                const int tested = split.testedIsAlt ? ofX : ofRest;
                cells[std::size_t(2 * side)] = tested;
                cells[std::size_t(2 * side + 1)] = total - tested;
            }
        }
    }
}
