#include "aboutdialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QVBoxLayout>

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("About Velmora"));
    auto *icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/images/icon.png")).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);

    textLabel = new QLabel(this);
    textLabel->setTextFormat(Qt::RichText);
    textLabel->setWordWrap(true);
    textLabel->setTextInteractionFlags(Qt::TextBrowserInteraction);
    textLabel->setText(
        tr("<h3>Velmora %1</h3>"
           "<p>Statistical tests for genetic association studies: exact and Monte Carlo tests of "
           "contingency tables, Hardy-Weinberg equilibrium, gene interaction and risk clusters.</p>"
           "<p>Copyright &copy; 2026 Orvanta</p>"
           "<p>Velmora is free software: you can redistribute it and/or modify it under the terms of "
           "the GNU General Public License as published by the Free Software Foundation, either "
           "version 3 of the License, or (at your option) any later version. It is distributed "
           "WITHOUT ANY WARRANTY; see the <a href=\"licence\">GNU General Public License</a>.</p>"
           "<p><a href=\"guide\">User Guide</a> &middot; <a href=\"methods\">Methods and Citations</a> "
           "&middot; <a href=\"licence\">Licence (GPL-3.0-or-later)</a></p>"
           "<p>Built with Qt %2, running on Qt %3.</p>")
            .arg(version(), QStringLiteral(QT_VERSION_STR), QString::fromLatin1(qVersion())));
    connect(textLabel, &QLabel::linkActivated, this, &AboutDialog::helpRequested);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(textLabel, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);
    setMinimumWidth(440);
}

QString AboutDialog::version()
{
    return QStringLiteral(VELMORA_VERSION);
}
