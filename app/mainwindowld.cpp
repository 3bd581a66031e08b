#include "mainwindow.h"

#include "ldpictures.h"
#include "ldrun.h"
#include "seldialog.h"

#include <QFileInfo>

void MainWindow::slotMenuLd()
{
    openTestDialog(TestLd);
}

// As the other drivers: the dialog's checked input copied, one shared run
// function, the triangle of the pair as the entry's picture.
void MainWindow::runLd()
{
    selDialog->testKind = TestNone;
    const TestInput input = selDialog->input;
    const QString place = curFile.isEmpty() ? pendingRun.range
                                            : QStringLiteral("%1 of %2").arg(pendingRun.range, QFileInfo(curFile).fileName());
    runAndReport([this, &input, &place](const ProgressDisplay &) -> RunReport {
        const LdRun run = runLdTest(input);
        if (run.status == 0)
            pendingPicture = ldPicture(run, place);
        return run;
    });
}
