#include "stderrprompts.h"

#include <cstdio>

void StderrPrompts::print(const QString &text)
{
    last = text;
    const QByteArray bytes = (QStringLiteral("velmora-cli: ") + text + u'\n').toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

QMessageBox::StandardButton StderrPrompts::warning(QWidget *, const QString &, const QString &text,
                                                   QMessageBox::StandardButtons buttons)
{
    print(text);
    // Nobody can answer a question: the safe choice is whatever declines.
    if (buttons.testFlag(QMessageBox::Cancel))
        return QMessageBox::Cancel;
    if (buttons.testFlag(QMessageBox::No))
        return QMessageBox::No;
    return QMessageBox::Ok;
}

QMessageBox::StandardButton StderrPrompts::information(QWidget *, const QString &,
                                                       const QString &text)
{
    print(text);
    return QMessageBox::Ok;
}

void StderrPrompts::about(QWidget *, const QString &, const QString &text)
{
    print(text);
}

QString StderrPrompts::openFileName(QWidget *, const QString &, const QString &, const QString &)
{
    return QString();
}

QString StderrPrompts::saveFileName(QWidget *, const QString &, const QString &, const QString &)
{
    return QString();
}

void StderrPrompts::beep()
{
}
