#pragma once

#include <QString>

// Draws the README's pictures of the plots into outDir; the number of
// pictures that failed.
int takePlots(const QString &outDir, const QString &examplesDir);
