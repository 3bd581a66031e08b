#include "modelsjson.h"

#include "jsonline.h"
#include "modelfigures.h"

#include <charconv>
#include <cmath>
#include <string>

namespace {

// The fields are written into one byte string: a line holds some fifty
// numbers, and a batch of genome scale writes millions of them.
class Writer final
{
public:
    Writer() { out.reserve(2048); }

    Writer &key(const char *name)
    {
        if (!first)
            out += ',';
        first = false;
        out += '"';
        out += name;
        out += "\":";
        return *this;
    }

    // JSON has no infinity: the string "inf" stands for it (there are no
    // negative infinities among the figures); NaN is null.
    Writer &number(double v)
    {
        if (std::isnan(v)) {
            out += "null";
        } else if (std::isinf(v)) {
            out += "\"inf\"";
        } else if (std::fabs(v) < 1e16) {
            // The shortest form that reads back to v, as JsonLine::number
            // writes it: they differ only for integers of 17 digits or more,
            // which print their exact value here and their shortest there.
            char digits[32];
            const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, v);
            out.append(digits, end.ptr);
        } else {
            out += JsonLine::number(v).toStdString();
        }
        return *this;
    }

    Writer &number(const char *name, double v) { return key(name).number(v); }

    Writer &integer(const char *name, int v)
    {
        key(name);
        out += std::to_string(v);
        return *this;
    }

    Writer &interval(const char *name, const OddsRatioFigure &ratio)
    {
        key(name);
        out += '[';
        number(ratio.low);
        out += ',';
        number(ratio.high);
        out += ']';
        return *this;
    }

    // An object as the value of a field; its own fields follow.
    Writer &open(const char *name)
    {
        key(name);
        out += '{';
        first = true;
        return *this;
    }

    Writer &close()
    {
        out += '}';
        first = false;
        return *this;
    }

    Writer &twoByTwo(const char *name, const TwoByTwoModel &m)
    {
        open(name).number("chi2", m.chi2).number("p_chi2", m.pChi2).number("p_exact", m.pExact);
        number("p_midp", m.pMidp).number("or", m.sample.estimate).interval("or_ci", m.sample);
        return number("or_cmle", m.conditional.estimate).interval("or_cmle_ci", m.conditional).close();
    }

    std::string out;

private:
    bool first = true;
};

} // namespace

void addModelFigures(JsonLine &json, const ModelFigures &f)
{
    Writer w;
    w.integer("effect_homozygote_column", f.effectGenotype + 1);
    w.open("allele_freq").number("cases", f.freqCases).number("controls", f.freqControls).close();
    w.open("hwe_controls").number("p", f.hweP).number("p_midp", f.hweMidp).close();
    const GenotypicTest &g = f.genotypic;
    w.open("genotypic").number("chi2", g.chi2).integer("df", g.df).number("p_chi2", g.pChi2);
    w.number("p_exact", g.pExact).number("p_midp", g.pMidp).close();
    w.open("trend").number("chi2", f.trend.chi2).number("p_chi2", f.trend.pChi2).close();
    w.twoByTwo("allelic", f.allelic).twoByTwo("dominant", f.dominant);
    w.twoByTwo("recessive", f.recessive).twoByTwo("overdominant", f.overdominant);
    const CodominantFigures &co = f.codominant;
    w.open("codominant").number("or_het", co.het.estimate).interval("or_het_ci", co.het);
    w.number("or_hom", co.hom.estimate).interval("or_hom_ci", co.hom).close();
    const LogAdditiveFigures &la = f.logAdditive;
    w.open("log_additive").number("or", la.perAllele.estimate).interval("or_ci", la.perAllele);
    w.number("p_lrt", la.pLrt).close();
    // The fields as one raw value after the line's own: the writer began
    // with a key, so the text is "key":value,... without braces. Widened
    // straight into the line, with no string between.
    json.appendFields(QLatin1StringView(w.out.data(), qsizetype(w.out.size())));
}
