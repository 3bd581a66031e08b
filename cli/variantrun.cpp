#include "variantrun.h"

#include "calcpoll.h"
#include "cellsource.h"
#include "hwtwoallele.h"
#include "jsonline.h"
#include "testinput.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

#include <charconv>
#include <cstring>
#include <optional>
#include <string>

namespace {

// After htslib has read a record, the upper halves of the vector registers
// may be left in use (on this machine, AVX-512, they were). Until a
// vzeroupper, every SSE instruction of the engines (built without AVX) then
// pays a transition, and glibc's exp, which mixes the two, twenty times its
// cost: an exact Hardy-Weinberg test ran 6 times slower on a VCF record than
// on the same table as text.
#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx"))) void zeroUpper()
{
    _mm256_zeroupper();
}

void clearUpperVectorState()
{
    static const bool avx = __builtin_cpu_supports("avx");
    if (avx)
        zeroUpper();
}
#else
void clearUpperVectorState() {}
#endif

// A variant's table as the checks read a grid: its counts as the cells'
// texts, nothing below a Hardy-Weinberg table's diagonal.
class VariantCells final : public CellSource
{
public:
    explicit VariantCells(const VariantTable &table) : table(table) {}
    bool hasItem(int row, int column) const override { return table.hasCell(row, column); }
    QString text(int row, int column) const override
    {
        return table.hasCell(row, column) ? QString::number(table.cell(row, column)) : QString();
    }

private:
    const VariantTable &table;
};

CellBlock tableBlock(const VariantTable &table)
{
    CellBlock block;
    block.include(0, 0);
    block.include(table.rows - 1, table.columns - 1);
    return block;
}

// A file's text as a JSON string: plain ASCII as it is, anything else
// through the escaping of JsonLine.
void appendQuoted(std::string &out, const QByteArray &bytes)
{
    for (const char c : bytes) {
        if (uchar(c) < 0x20 || uchar(c) >= 0x7f || c == '"' || c == '\\') {
            out += JsonLine::quoted(QString::fromUtf8(bytes)).toStdString();
            return;
        }
    }
    out += '"';
    out.append(bytes.constData(), std::size_t(bytes.size()));
    out += '"';
}

void appendInteger(std::string &out, qint64 value)
{
    char digits[24];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, std::size_t(end.ptr - digits));
}

VariantOutcome rejectedLine(const VariantTable &table, qint64 number, const TestSettings &settings,
                            const QString &file)
{
    JsonLine json;
    json.add("file", file);
    json.appendFields(variantFields(table, number));
    json.add("test", settings.name).add("status", "rejected").addNull("p").add("message", table.rejected);
    VariantOutcome outcome;
    outcome.line = json.text();
    return outcome;
}

VariantOutcome fromBlock(const BlockOutcome &block)
{
    VariantOutcome outcome;
    outcome.ok = block.ok;
    outcome.stopped = block.stopped;
    outcome.line = block.line;
    return outcome;
}

} // namespace

QString variantFields(const VariantTable &table, qint64 number)
{
    std::string out;
    appendVariantFields(out, table, number);
    return QString::fromStdString(out);
}

void appendVariantFields(std::string &out, const VariantTable &table, qint64 number, int onlyAlt)
{
    const VariantIdentity &id = table.identity;
    out += "\"variant\":";
    appendInteger(out, number);
    out += ",\"chrom\":";
    appendQuoted(out, id.chrom);
    out += ",\"pos\":";
    appendInteger(out, id.pos);
    out += ",\"id\":";
    appendQuoted(out, id.id);
    out += ",\"ref\":";
    appendQuoted(out, id.ref);
    out += ",\"alt\":[";
    if (onlyAlt >= 0) {
        if (onlyAlt < id.alts.size())
            appendQuoted(out, id.alts.at(onlyAlt));
    } else {
        for (qsizetype i = 0; i < id.alts.size(); ++i) {
            if (i > 0)
                out += ',';
            appendQuoted(out, id.alts.at(i));
        }
    }
    out += "],\"alleles\":";
    appendInteger(out, table.alleles);
    out += ",\"n\":";
    appendInteger(out, table.n);
    out += ",\"missing\":";
    appendInteger(out, table.missing);
    out += ",\"haploid\":";
    appendInteger(out, table.haploid);
}

quint64 variantKey(const VariantIdentity &identity)
{
    quint64 hash = 14695981039346656037ull;
    const auto feed = [&hash](const QByteArray &bytes) {
        for (const char c : bytes) {
            hash ^= quint64(uchar(c));
            hash *= 1099511628211ull;
        }
        hash ^= quint64('\t');
        hash *= 1099511628211ull;
    };
    feed(identity.chrom);
    feed(QByteArray::number(identity.pos));
    feed(identity.ref);
    feed(identity.alts.join(','));
    return hash;
}

VariantOutcome runVariantExact(const VariantTable &table, qint64 number, const TestSettings &settings,
                               const VariantBudget &budget, const QString &file, TestInput &input)
{
    clearUpperVectorState();
    if (!table.rejected.isEmpty())
        return rejectedLine(table, number, settings, file);
    // The models have no estimate and no network: they always run.
    const bool estimable = settings.kind != TestModels;
    // No exact work at all: every variant gets the estimate.
    if (estimable && budget.exactUnits == 0) {
        VariantOutcome outcome;
        outcome.needsMonteCarlo = true;
        return outcome;
    }
    const QString fields = variantFields(table, number);
    BlockPlace place;
    place.file = file;
    place.variant = &fields;
    const VariantCells cells(table);
    TestSettings exact = settings;
    exact.monteCarloSamples = 0;
    BlockOutcome block;
    bool overBudget = false;
    {
        std::optional<CalcWorkAllowance> allowance;
        if (estimable)
            allowance.emplace(budget.exactUnits);
        // Whatever the table needs runs here, on any thread: the allowance
        // and the fixed memory share bound it.
        block = runBlock(cells, tableBlock(table), exact, place, ProgressDisplay(), input, BlockThread::Main);
        overBudget = allowance && allowance->exhausted();
    }
    // Over the allowance, or over the memory share (the Fisher network
    // reports every shortage with its own number), the estimate takes over.
    const bool memory = block.status == 11 || (settings.kind == TestFisher && block.status != 0 && block.status != 10);
    if (estimable && !block.stopped && block.status != 0 && (overBudget || memory)) {
        VariantOutcome outcome;
        outcome.needsMonteCarlo = true;
        return outcome;
    }
    return fromBlock(block);
}

VariantLineNames variantLineNames(const QString &file, const TestSettings &settings)
{
    return {JsonLine::quoted(file).toUtf8(), JsonLine::quoted(settings.name).toUtf8()};
}

bool twoAlleleHweLine(const VariantTable &table, qint64 number, const TestSettings &settings,
                      const VariantBudget &budget, const VariantLineNames &names, QByteArray &out)
{
    clearUpperVectorState();
    out.resize(0);
    // What runVariantExact would do otherwise: reject, estimate, or run
    // the network on more alleles.
    if (settings.kind != TestHardyW || settings.report || budget.exactUnits == 0 || !table.rejected.isEmpty()
        || table.rows != 2 || calcStopFlag)
        return false;
    double p = 0.0;
    if (hwtwoallele::pValue(table.cell(0, 0), table.cell(0, 1), table.cell(1, 1), &p) != hwtwoallele::Finished)
        return false;
    // Built in a buffer of the thread's own: a QByteArray's appends cost
    // as much as the test.
    thread_local std::string line;
    line.clear();
    line += "{\"file\":";
    line.append(names.file.constData(), std::size_t(names.file.size()));
    line += ',';
    appendVariantFields(line, table, number);
    line += ",\"test\":";
    line.append(names.test.constData(), std::size_t(names.test.size()));
    line += ",\"status\":0,\"p\":";
    for (const QChar c : JsonLine::number(reportedProbability(p)))
        line += char(c.unicode());
    line += ",\"method\":\"exact\"}";
    out.resize(qsizetype(line.size()));
    std::memcpy(out.data(), line.data(), line.size());
    return true;
}

VariantOutcome runVariantMonteCarlo(const VariantTable &table, qint64 number, const TestSettings &settings,
                                    const VariantBudget &budget, const QString &file, TestInput &input,
                                    const ProgressDisplay &progress)
{
    clearUpperVectorState();
    const QString fields = variantFields(table, number);
    BlockPlace place;
    place.file = file;
    place.variant = &fields;
    // The run's seed, and the variant's own stream from it (derivedSeed of
    // the seed and the key).
    place.variantKey = variantKey(table.identity);
    TestSettings simulated = settings;
    simulated.monteCarloSamples = budget.monteCarloSamples;
    simulated.seedGiven = true;
    simulated.seed = budget.seed;
    const VariantCells cells(table);
    return fromBlock(runBlock(cells, tableBlock(table), simulated, place, progress, input, BlockThread::Main));
}

QString variantErrorLine(const TestSettings &settings, const QString &file, qint64 number, const QString &message)
{
    JsonLine json;
    json.add("file", file);
    if (number > 0)
        json.add("variant", number);
    else
        json.addNull("variant");
    json.add("test", settings.name).add("status", "error").addNull("p").add("message", message);
    return json.text();
}
