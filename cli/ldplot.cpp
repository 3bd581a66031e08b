#include "ldplot.h"

#include "cliprocess.h"
#include "haplotypesrun.h"
#include "ldpictures.h"
#include "ldrun.h"
#include "pictureexport.h"
#include "runpictures.h"

#include <QFileInfo>
#include <QGuiApplication>

LdPlotWriter ldPlotWriter(const CliOptions &options)
{
    return [options](const LdMatrix &matrix) {
        const PicturePtr picture = ldTrianglePicture(matrix, options.plotByR2);
        QString reason;
        if (!pictures::writePicture(*picture, options.plot, QSize(options.plotWidth, options.plotHeight),
                                    QGuiApplication::font(), &reason)) {
            cliprocess::printError(QStringLiteral("cannot write %1: %2").arg(options.plot, reason));
            return false;
        }
        return true;
    };
}

HaplotypesPlotWriter haplotypesPlotWriter(const CliOptions &options)
{
    return [options](const HaplotypesRun &run, const QString &file) {
        const PicturePtr picture = haplotypesPicture(run, QFileInfo(file).fileName());
        QString reason;
        if (!picture || !pictures::writePicture(*picture, options.plot, QSize(options.plotWidth, options.plotHeight),
                                                QGuiApplication::font(), &reason)) {
            cliprocess::printError(QStringLiteral("cannot write %1: %2").arg(options.plot, reason));
            return false;
        }
        return true;
    };
}
