#include "cmhline.h"

#include "jsonline.h"
#include "stratatests.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

namespace {

void put(std::string &out, int v)
{
    char digits[16];
    out.append(digits, std::size_t(std::to_chars(digits, digits + sizeof digits, v).ptr - digits));
}

// Alleles are plain ASCII but for the odd symbolic one: those go through
// JsonLine's escaping.
void putQuoted(std::string &out, const QByteArray &text)
{
    for (const char c : text) {
        if (uchar(c) < 0x20 || uchar(c) >= 0x7f || c == '"' || c == '\\') {
            out += JsonLine::quoted(QString::fromUtf8(text)).toStdString();
            return;
        }
    }
    out += '"';
    out.append(text.constData(), std::size_t(text.size()));
    out += '"';
}

// Figures and counts written through a cursor into room made ahead in the
// line: a call to append each piece took a tenth of a .bed run's time. The
// room asked for holds every piece at its longest.
class Cursor final
{
public:
    Cursor(std::string &line, std::size_t room) : line(line)
    {
        const std::size_t at = line.size();
        line.resize(at + room);
        p = line.data() + at;
    }
    ~Cursor() { line.resize(std::size_t(p - line.data())); }
    Cursor(const Cursor &) = delete;
    Cursor &operator=(const Cursor &) = delete;

    template <std::size_t N>
    Cursor &operator<<(const char (&text)[N])
    {
        std::memcpy(p, text, N - 1);
        p += N - 1;
        return *this;
    }
    Cursor &operator<<(char c)
    {
        *p++ = c;
        return *this;
    }
    Cursor &operator<<(int v)
    {
        p = std::to_chars(p, p + 12, v).ptr;
        return *this;
    }
    Cursor &operator<<(double v)
    {
        if (std::isnan(v))
            return *this << "null";
        if (std::isinf(v))
            return *this << "\"inf\"";
        if (std::fabs(v) < 1e16) {
            p = std::to_chars(p, p + 32, v).ptr;
            return *this;
        }
        const std::string text = JsonLine::number(v).toStdString();
        std::memcpy(p, text.data(), text.size());
        p += text.size();
        return *this;
    }

    // Per stratum "[a,b,c,d]," of 32-bit counts; the rest, far less than this.
    static constexpr std::size_t kPerStratum = 4 * 12 + 3;
    static constexpr std::size_t kFigures = 1024;

private:
    std::string &line;
    char *p = nullptr;
};

// The tested allele and the strata's tables.
void putStrata(std::string &line, const StrataSplit &split)
{
    line += ",\"tested_allele\":";
    putQuoted(line, split.tested);
    Cursor c(line, 16 + Cursor::kPerStratum * split.strata.size());
    c << ",\"strata\":[";
    for (std::size_t s = 0; s < split.strata.size(); ++s) {
        const std::array<int, 4> &t = split.strata[s];
        if (s > 0)
            c << ',';
        c << '[' << t[0] << ',' << t[1] << ',' << t[2] << ',' << t[3] << ']';
    }
    c << ']';
}

} // namespace

bool appendCmhLines(const VariantTable &table, qint64 number, const CmhSettings &settings,
                    const VariantLineNames &names, QByteArray &out)
{
    thread_local std::vector<StrataSplit> splits;
    thread_local std::string line;
    splitStrata(table, settings.model, splits);
    bool ok = true;
    for (const StrataSplit &split : splits) {
        line.clear();
        line += "{\"file\":";
        line.append(names.file.constData(), std::size_t(names.file.size()));
        line += ',';
        appendVariantFields(line, table, number, split.alt);
        line += ",\"test\":";
        line.append(names.test.constData(), std::size_t(names.test.size()));
        if (!split.rejected.isEmpty()) {
            line += ",\"status\":\"rejected\",\"p\":null,\"message\":";
            line += JsonLine::quoted(split.rejected).toStdString();
        } else {
            const CmhFigures f = cmhFigures(split.strata, settings.confLevel);
            if (f.status != 0 || f.informative == 0) {
                ok = ok && f.status == 0;
                line += ",\"status\":";
                if (f.status != 0)
                    put(line, f.status);
                else
                    line += "\"rejected\"";
                line += ",\"p\":null";
                putStrata(line, split);
                line += ",\"informative\":";
                put(line, f.informative);
                line += ",\"message\":";
                line += JsonLine::quoted(f.status != 0 ? f.message
                                                       : QStringLiteral("no stratum has cases and controls, "
                                                                        "and copies of both sides"))
                            .toStdString();
            } else {
                {
                    Cursor c(line, 64);
                    c << ",\"status\":0,\"p\":" << f.p;
                }
                putStrata(line, split);
                Cursor c(line, Cursor::kFigures);
                c << ",\"informative\":" << f.informative;
                c << ",\"cmh\":{\"chi2\":" << f.chi2 << ",\"p\":" << f.p << ",\"chi2_cc\":" << f.chi2cc
                  << ",\"p_cc\":" << f.pcc;
                c << "},\"mh\":{\"or\":" << f.orMh << ",\"or_ci\":[" << f.orMhLow << ',' << f.orMhHigh << ']';
                for (const bool bd : {true, false}) {
                    if (bd)
                        c << "},\"breslow_day\":{\"chi2\":" << f.breslowDay << ",\"df\":";
                    else
                        c << "},\"tarone\":{\"chi2\":" << f.tarone << ",\"df\":";
                    if (f.df > 0)
                        c << f.df;
                    else
                        c << "null";
                    c << ",\"p\":" << (bd ? f.pBreslowDay : f.pTarone);
                }
                c << "},\"exact\":{\"or\":" << f.orExact << ",\"or_ci\":[" << f.orExactLow << ','
                  << f.orExactHigh << "],\"p\":" << f.pExact << '}';
            }
        }
        line += "}\n";
        out.append(line.data(), qsizetype(line.size()));
    }
    return ok;
}

CmhFigures cmhFigures(const std::vector<std::array<int, 4>> &strata, double confLevel)
{
    // Each thread keeps its tables and the engine's work arrays from one
    // variant to the next: a run allocates nothing once they have grown.
    thread_local std::vector<StratumTable> tables;
    thread_local exactstrata::Workspace work;
    tables.resize(strata.size());
    for (std::size_t s = 0; s < strata.size(); ++s)
        tables[s] = {strata[s][0], strata[s][1], strata[s][2], strata[s][3]};
    StrataFigures figures;
    CmhFigures f;
    f.status = stratatests::compute(tables.data(), int(tables.size()), confLevel, work, &figures);
    if (f.status != stratatests::Finished) {
        f.message = f.status == stratatests::NoConvergence
                        ? QStringLiteral("the exact conditional estimate or interval did not converge")
                        : QStringLiteral("the strata cannot be tested");
        return f;
    }
    const MantelHaenszelFigures &mh = figures.mh;
    const BreslowDayFigures &bd = figures.breslowDay;
    const ExactStrataFigures &exact = figures.exact;
    f.informative = figures.informative;
    f.chi2 = mh.cmh;
    f.p = mh.pCmh;
    f.chi2cc = mh.cmhCorrected;
    f.pcc = mh.pCmhCorrected;
    f.orMh = mh.oddsRatio.estimate;
    f.orMhLow = mh.oddsRatio.low;
    f.orMhHigh = mh.oddsRatio.high;
    f.breslowDay = bd.chi2;
    f.pBreslowDay = bd.p;
    f.tarone = bd.tarone;
    f.pTarone = bd.pTarone;
    f.df = bd.df;
    f.orExact = exact.oddsRatio.estimate;
    f.orExactLow = exact.oddsRatio.low;
    f.orExactHigh = exact.oddsRatio.high;
    f.pExact = exact.p;
    return f;
}
