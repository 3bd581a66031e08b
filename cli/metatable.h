#pragma once

#include "metainput.h"

#include <QString>

#include <functional>

// A meta-analysis from a table whose first row names its columns:
//   study case0 case1 case2 control0 control1 control2 [subgroup] [year]
//   study cases_exposed cases_unexposed controls_exposed controls_unexposed [subgroup] [year]
// (names in any case, the optional ones in either order). A subgroup
// column is used; a year column orders the cumulative analysis and must
// then be filled for every study. Counts are whole numbers of 0 or more.
// `field(row, column)` gives the table's texts, `firstLine` the 1-based line
// of row 0 for the messages. False, with the reason, when refused; the
// settings already in *out are kept.
bool metaFromHeaderTable(const std::function<QString(int, int)> &field, int rows, int columns, int firstLine,
                         MetaInput *out, QString *error);
