#pragma once

// What the genotype tests share: the committed fixture (24 SNPs of 30 cases
// and 30 controls from plink1.9 --simulate, with 5% missing calls, and its
// VCF from plink2 --export vcf), copies of it compressed, indexed and turned
// into BCF through htslib, and the peers' numbers for it.
#include <QDir>
#include <QFile>
#include <QString>

#include <htslib/bgzf.h>
#include <htslib/hts.h>
#include <htslib/tbx.h>
#include <htslib/vcf.h>

namespace genotypefiles {

inline QString data(const QString &name)
{
    return QStringLiteral(VELMORA_GENOTYPE_DATA) + u'/' + name;
}

// Copies the fixture's .bed, .bim, .fam and .vcf into `dir`.
inline bool copyFixture(const QString &dir)
{
    for (const char *suffix : {".bed", ".bim", ".fam", ".vcf"}) {
        const QString name = QStringLiteral("fixture") + QLatin1StringView(suffix);
        QFile::remove(dir + u'/' + name);
        if (!QFile::copy(data(name), dir + u'/' + name))
            return false;
    }
    return true;
}

// `vcf` as bgzip-compressed `vcf`.gz with a .tbi index, and as `bcf` with a
// .csi index.
inline bool compressAndConvert(const QString &vcf, const QString &gz, const QString &bcf)
{
    QFile in(vcf);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = in.readAll();
    BGZF *out = bgzf_open(QFile::encodeName(gz).constData(), "w");
    if (!out || bgzf_write(out, text.constData(), size_t(text.size())) < 0 || bgzf_close(out) < 0)
        return false;
    if (tbx_index_build(QFile::encodeName(gz).constData(), 0, &tbx_conf_vcf) != 0)
        return false;
    htsFile *src = hts_open(QFile::encodeName(vcf).constData(), "r");
    htsFile *dst = hts_open(QFile::encodeName(bcf).constData(), "wb");
    bool ok = src && dst;
    bcf_hdr_t *hdr = ok ? bcf_hdr_read(src) : nullptr;
    ok = ok && hdr && bcf_hdr_write(dst, hdr) == 0;
    bcf1_t *rec = bcf_init();
    while (ok && bcf_read(src, hdr, rec) == 0)
        ok = bcf_write(dst, hdr, rec) == 0;
    bcf_destroy(rec);
    if (hdr)
        bcf_hdr_destroy(hdr);
    if (src)
        hts_close(src);
    if (dst)
        hts_close(dst);
    return ok && bcf_index_build(QFile::encodeName(bcf).constData(), 14) == 0;
}

// Per SNP of the fixture: ID; P of plink1.9 --hardy (ALL, 4 digits) and of
// bcftools +fill-tags -t HWE (6 digits of a 32-bit float); P of plink1.9
// --model fisher (GENO), and of --model (ALLELIC, TREND).
struct PeerNumbers
{
    const char *id;
    const char *hardy;
    const char *bcftools;
    const char *fisherGeno;
    const char *allelic;
    const char *trend;
};

constexpr PeerNumbers kPeers[] = {
    {"snp_0", "0.3308", "0.330777", "1", "0.8554", "0.8402"},
    {"snp_1", "1", "1", "0.05552", "0.01748", "0.01768"},
    {"snp_2", "1", "1", "1", "0.617", "0.6203"},
    {"snp_3", "0.583", "0.582999", "1", "0.9441", "0.9397"},
    {"snp_4", "0.05623", "0.0562316", "1", "0.7038", "0.7366"},
    {"snp_5", "0.4262", "0.426173", "0.6286", "0.3556", "0.3215"},
    {"snp_6", "0.7908", "0.790802", "0.02793", "0.00811", "0.009827"},
    {"snp_7", "0.7562", "0.756156", "0.0224", "0.01189", "0.01418"},
    {"snp_8", "0.5937", "0.593666", "0.1885", "0.1395", "0.1586"},
    {"snp_9", "0.6013", "0.601338", "0.5616", "0.2587", "0.2761"},
    {"snp_10", "0.3366", "0.33656", "0.8758", "0.6769", "0.6917"},
    {"snp_11", "1", "1", "0.5279", "0.4974", "0.4689"},
    {"snp_12", "0.06519", "0.0651934", "0.04136", "0.06151", "0.02893"},
    {"snp_13", "1", "1", "0.06136", "0.1599", "0.1464"},
    {"snp_14", "0.5784", "0.578383", "0.2326", "0.1896", "0.1559"},
    {"snp_15", "1", "1", "0.07334", "0.02144", "0.02203"},
    {"snp_16", "0.7018", "0.701785", "0.009305", "0.008931", "0.01038"},
    {"snp_17", "0.002435", "0.00243507", "0.8681", "0.6175", "0.677"},
    {"snp_18", "0.2854", "0.285385", "0.7598", "0.5385", "0.5624"},
    {"snp_19", "0.4333", "0.433337", "1", "0.8357", "0.8436"},
    {"snp_20", "0.08619", "0.0861916", "0.1054", "0.01814", "0.03398"},
    {"snp_21", "1", "1", "0.3001", "0.1319", "0.1264"},
    {"snp_22", "0.6023", "0.602314", "0.3679", "0.1438", "0.1572"},
    {"snp_23", "0.3254", "0.325429", "0.2222", "0.2888", "0.3198"},
};

// Whether p, rounded to `digits` significant digits (as a 32-bit float
// first, for bcftools), is the number a peer printed.
inline bool printedAs(double p, const char *printed, int digits, bool single = false)
{
    const double value = single ? double(float(p)) : p;
    return QString::number(value, 'g', digits).toDouble() == QByteArray(printed).toDouble();
}

} // namespace genotypefiles
