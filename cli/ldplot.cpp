#include "ldplot.h"

#include "cliprocess.h"
#include "ldpictures.h"
#include "ldrun.h"
#include "pictureexport.h"

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
