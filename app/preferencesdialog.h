#pragma once

#include <QDialog>

class QSpinBox;

// Edit > Preferences...: the settings a user may change, for now the
// autosave interval (0 for off).
class PreferencesDialog final : public QDialog
{
    Q_OBJECT

public:
    explicit PreferencesDialog(int intervalSeconds, QWidget *parent = nullptr);

    int intervalSeconds() const;

    QSpinBox *intervalBox = nullptr;
};
