#include "cmhline.h"

#include "jsonline.h"
#include "stratatests.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

void put(std::string &out, double v)
{
    if (std::isnan(v)) {
        out += "null";
    } else if (std::isinf(v)) {
        out += "\"inf\"";
    } else if (std::fabs(v) < 1e16) {
        // The shortest form that reads back to v, as JsonLine::number
        // writes it (which differs for integers of 17 digits or more).
        char digits[32];
        out.append(digits, std::size_t(std::to_chars(digits, digits + sizeof digits, v).ptr - digits));
    } else {
        out += JsonLine::number(v).toStdString();
    }
}

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

void putField(std::string &out, const char *key, double v)
{
    out += ",\"";
    out += key;
    out += "\":";
    put(out, v);
}

void putInterval(std::string &out, const char *key, double low, double high)
{
    out += ",\"";
    out += key;
    out += "\":[";
    put(out, low);
    out += ',';
    put(out, high);
    out += ']';
}

void putStrata(std::string &out, const StrataSplit &split)
{
    out += ",\"tested_allele\":";
    putQuoted(out, split.tested);
    out += ",\"strata\":[";
    for (std::size_t s = 0; s < split.strata.size(); ++s) {
        if (s > 0)
            out += ',';
        out += '[';
        for (int k = 0; k < 4; ++k) {
            if (k > 0)
                out += ',';
            put(out, split.strata[s][std::size_t(k)]);
        }
        out += ']';
    }
    out += ']';
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
                line += ",\"status\":0,\"p\":";
                put(line, f.p);
                putStrata(line, split);
                line += ",\"informative\":";
                put(line, f.informative);
                line += ",\"cmh\":{\"chi2\":";
                put(line, f.chi2);
                putField(line, "p", f.p);
                putField(line, "chi2_cc", f.chi2cc);
                putField(line, "p_cc", f.pcc);
                line += "},\"mh\":{\"or\":";
                put(line, f.orMh);
                putInterval(line, "or_ci", f.orMhLow, f.orMhHigh);
                for (const char *test : {"breslow_day", "tarone"}) {
                    const bool bd = test[0] == 'b';
                    line += "},\"";
                    line += test;
                    line += "\":{\"chi2\":";
                    put(line, bd ? f.breslowDay : f.tarone);
                    line += ",\"df\":";
                    if (f.df > 0)
                        put(line, f.df);
                    else
                        line += "null";
                    putField(line, "p", bd ? f.pBreslowDay : f.pTarone);
                }
                line += "},\"exact\":{\"or\":";
                put(line, f.orExact);
                putInterval(line, "or_ci", f.orExactLow, f.orExactHigh);
                putField(line, "p", f.pExact);
                line += '}';
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
