#pragma once

#include "ui_sortdialog.h"

#include <QDialog>

// Offers up to three sort keys over the columns of the selected range; the
// secondary and tertiary keys show with "More" but count either way.
class SortDialog final : public QDialog, public Ui::SortDialog
{
    Q_OBJECT

public:
    explicit SortDialog(QWidget *parent = nullptr);

    // Lists the columns first to last (letters) in the three column boxes.
    void setColumnSpan(QChar first, QChar last);
    // Names the block that will be sorted, e.g. "A1:G3".
    void setRange(const QString &range);
};
