#include "modelsjson.h"

#include "jsonline.h"
#include "modelfigures.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

namespace {

// The fields are written into one byte buffer: a line holds some fifty
// numbers, and a batch of genome scale writes millions of them. The keys
// are literals copied with their lengths known, the numbers written in
// place.
class Writer final
{
public:
    template <std::size_t N>
    Writer &key(const char (&name)[N])
    {
        return key(name, N - 1);
    }

    Writer &key(const char *name, std::size_t length)
    {
        if (!first)
            *end++ = ',';
        first = false;
        *end++ = '"';
        std::memcpy(end, name, length);
        end += length;
        *end++ = '"';
        *end++ = ':';
        return *this;
    }

    // JSON has no infinity: the string "inf" stands for it (there are no
    // negative infinities among the figures); NaN is null.
    Writer &number(double v)
    {
        if (std::isnan(v)) {
            put("null");
        } else if (std::isinf(v)) {
            put("\"inf\"");
        } else if (std::fabs(v) < 1e16) {
            // The shortest form that reads back to v, as JsonLine::number
            // writes it: they differ only for integers of 17 digits or more,
            // which print their exact value here and their shortest there.
            end = std::to_chars(end, end + kNumberRoom, v).ptr;
        } else {
            const std::string text = JsonLine::number(v).toStdString();
            std::memcpy(end, text.data(), text.size());
            end += text.size();
        }
        return *this;
    }

    template <std::size_t N>
    Writer &number(const char (&name)[N], double v)
    {
        return key(name).number(v);
    }

    template <std::size_t N>
    Writer &integer(const char (&name)[N], int v)
    {
        key(name);
        end = std::to_chars(end, end + kNumberRoom, v).ptr;
        return *this;
    }

    template <std::size_t N>
    Writer &interval(const char (&name)[N], const OddsRatioFigure &ratio)
    {
        key(name);
        *end++ = '[';
        number(ratio.low);
        *end++ = ',';
        number(ratio.high);
        *end++ = ']';
        return *this;
    }

    // Whether 0.5 was added to every cell of a Woolf odds ratio: null
    // where the model gives no odds ratio.
    template <std::size_t N>
    Writer &corrected(const char (&name)[N], const OddsRatioFigure &ratio, bool flag)
    {
        key(name);
        if (std::isnan(ratio.estimate))
            put("null");
        else if (flag)
            put("true");
        else
            put("false");
        return *this;
    }

    // An object as the value of a field; its own fields follow.
    template <std::size_t N>
    Writer &open(const char (&name)[N])
    {
        key(name);
        *end++ = '{';
        first = true;
        return *this;
    }

    Writer &close()
    {
        *end++ = '}';
        first = false;
        return *this;
    }

    template <std::size_t N>
    Writer &twoByTwo(const char (&name)[N], const TwoByTwoModel &m)
    {
        open(name).number("chi2", m.chi2).number("p_chi2", m.pChi2).number("p_exact", m.pExact);
        number("p_midp", m.pMidp).number("or", m.sample.estimate).interval("or_ci", m.sample);
        corrected("or_corrected", m.sample, m.sampleCorrected);
        return number("or_cmle", m.conditional.estimate).interval("or_cmle_ci", m.conditional).close();
    }

    QByteArrayView text() const { return QByteArrayView(buffer, end - buffer); }

private:
    template <std::size_t N>
    void put(const char (&literal)[N])
    {
        std::memcpy(end, literal, N - 1);
        end += N - 1;
    }

    // The longest number: 24 characters (a sign, 17 digits, a point and
    // an exponent of five), or an integer of 11.
    static constexpr int kNumberRoom = 32;
    // 67 keys of at most 28 characters and 60 numbers of at most 25, six
    // flags, with their punctuation: under 3,700.
    char buffer[4096];
    char *end = buffer;
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
    w.corrected("or_het_corrected", co.het, co.hetCorrected);
    w.number("or_hom", co.hom.estimate).interval("or_hom_ci", co.hom);
    w.corrected("or_hom_corrected", co.hom, co.homCorrected).close();
    const LogAdditiveFigures &la = f.logAdditive;
    w.open("log_additive").number("or", la.perAllele.estimate).interval("or_ci", la.perAllele);
    w.number("p_lrt", la.pLrt).close();
    // The fields as one raw value after the line's own: the writer began
    // with a key, so the text is "key":value,... without braces, in ASCII.
    json.appendFields(w.text());
}
