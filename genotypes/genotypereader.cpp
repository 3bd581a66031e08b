#include "genotypereader.h"

#include "bedreader.h"
#include "vcfreader.h"

#include <QFile>
#include <QFileInfo>

#include <htslib/hts.h>
#include <htslib/hts_log.h>

#include <cstdlib>
#include <mutex>

bool isGenotypeFileName(const QString &name)
{
    static const char *const kSuffixes[] = {".vcf", ".vcf.gz", ".vcf.bgz", ".bcf", ".bed"};
    for (const char *suffix : kSuffixes) {
        if (name.endsWith(QLatin1StringView(suffix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

std::unique_ptr<GenotypeReader> openGenotypeFile(const QString &name, const GenotypeOpenOptions &options,
                                                 QString *error)
{
    if (name.endsWith(QStringLiteral(".bed"), Qt::CaseInsensitive))
        return BedReader::open(name, options, error);

    // Our messages name the file and the record; htslib's own would come
    // without them.
    static std::once_flag quiet;
    std::call_once(quiet, [] { hts_set_log_level(HTS_LOG_OFF); });

    if (!QFileInfo(name).isFile()) {
        *error = QFileInfo::exists(name) ? QStringLiteral("%1: not a regular file").arg(name)
                                         : QStringLiteral("%1: no such file").arg(name);
        return nullptr;
    }
    // htslib opens the index beside the file itself: a FIFO there would
    // block it, a device never end.
    for (const char *suffix : {".tbi", ".csi"}) {
        const QFileInfo index(name + QLatin1StringView(suffix));
        if (index.exists() && !index.isFile()) {
            *error = QStringLiteral("%1: not a regular file").arg(index.filePath());
            return nullptr;
        }
    }
    htsFile *fp = hts_open(QFile::encodeName(name).constData(), "r");
    if (!fp) {
        *error = QStringLiteral("%1: cannot be opened").arg(name);
        return nullptr;
    }
    const htsFormat *format = hts_get_format(fp);
    if (format->format == bcf)
        return BcfReader::open(name, fp, options, error);
    if (format->format == vcf || format->format == text_format)
        return VcfTextReader::open(name, fp, options, error);
    char *description = hts_format_description(format);
    *error = QStringLiteral("%1: neither VCF nor BCF (htslib reads it as %2)")
                 .arg(name, description ? QString::fromUtf8(description) : QStringLiteral("unknown data"));
    std::free(description);
    hts_close(fp);
    return nullptr;
}
