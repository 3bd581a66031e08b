#include "modelsjson.h"

#include "jsonline.h"
#include "modelfigures.h"

#include <cmath>

namespace {

// JSON has no infinity: the string "inf" stands for it (there are no
// negative infinities among the figures).
QString value(double v)
{
    if (std::isnan(v))
        return QStringLiteral("null");
    if (std::isinf(v))
        return QStringLiteral("\"inf\"");
    return JsonLine::number(v);
}

JsonLine &put(JsonLine &json, const char *key, double v)
{
    return json.addRaw(key, value(v));
}

JsonLine &putInterval(JsonLine &json, const char *key, const OddsRatioFigure &ratio)
{
    return json.addRaw(key, u'[' + value(ratio.low) + u',' + value(ratio.high) + u']');
}

QString twoByTwo(const TwoByTwoModel &m)
{
    JsonLine json;
    put(json, "chi2", m.chi2);
    put(json, "p_chi2", m.pChi2);
    put(json, "p_exact", m.pExact);
    put(json, "p_midp", m.pMidp);
    put(json, "or", m.sample.estimate);
    putInterval(json, "or_ci", m.sample);
    put(json, "or_cmle", m.conditional.estimate);
    putInterval(json, "or_cmle_ci", m.conditional);
    return json.text();
}

} // namespace

void addModelFigures(JsonLine &json, const ModelFigures &f)
{
    json.add("effect_homozygote_column", f.effectGenotype + 1);
    JsonLine freq;
    put(put(freq, "cases", f.freqCases), "controls", f.freqControls);
    json.addRaw("allele_freq", freq.text());
    JsonLine hwe;
    put(put(hwe, "p", f.hweP), "p_midp", f.hweMidp);
    json.addRaw("hwe_controls", hwe.text());
    JsonLine genotypic;
    put(genotypic, "chi2", f.genotypic.chi2).add("df", f.genotypic.df);
    put(put(put(genotypic, "p_chi2", f.genotypic.pChi2), "p_exact", f.genotypic.pExact), "p_midp", f.genotypic.pMidp);
    json.addRaw("genotypic", genotypic.text());
    JsonLine trend;
    put(put(trend, "chi2", f.trend.chi2), "p_chi2", f.trend.pChi2);
    json.addRaw("trend", trend.text());
    json.addRaw("allelic", twoByTwo(f.allelic));
    json.addRaw("dominant", twoByTwo(f.dominant));
    json.addRaw("recessive", twoByTwo(f.recessive));
    json.addRaw("overdominant", twoByTwo(f.overdominant));
    JsonLine codominant;
    put(codominant, "or_het", f.codominant.het.estimate);
    putInterval(codominant, "or_het_ci", f.codominant.het);
    put(codominant, "or_hom", f.codominant.hom.estimate);
    putInterval(codominant, "or_hom_ci", f.codominant.hom);
    json.addRaw("codominant", codominant.text());
    JsonLine logAdditive;
    put(logAdditive, "or", f.logAdditive.perAllele.estimate);
    putInterval(logAdditive, "or_ci", f.logAdditive.perAllele);
    put(logAdditive, "p_lrt", f.logAdditive.pLrt);
    json.addRaw("log_additive", logAdditive.text());
}
