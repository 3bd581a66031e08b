#pragma once

// What the tests of velmora-cli share: the built executable run on files in
// a temporary folder, its output split into lines and JSON objects, and
// documents written as the application writes them.
#include <QDataStream>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <tuple>

namespace clitest {

struct CliRun
{
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QByteArray out;
    QByteArray err;

    QList<QByteArray> lines() const
    {
        QList<QByteArray> result = out.split('\n');
        if (!result.isEmpty() && result.last().isEmpty())
            result.removeLast();
        return result;
    }

    QJsonObject json(int index = 0) const
    {
        const QList<QByteArray> all = lines();
        if (index >= all.size())
            return QJsonObject();
        return QJsonDocument::fromJson(all.at(index)).object();
    }
};

inline QString sixDigits(double value)
{
    return QString::number(value, 'g', 6);
}

// A document as the application writes it: the magic number, then one
// record per non-empty cell in row-major order.
inline QByteArray documentBytes(const QList<std::tuple<int, int, QString>> &cells)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_4_3);
    out << quint32(0x7F51C883);
    for (const auto &[row, column, text] : cells)
        out << quint16(row) << quint16(column) << text;
    return bytes;
}

} // namespace clitest

// The folder and the runner of a test class that starts velmora-cli.
class CliTestBase : public QObject
{
protected:
    QString write(const QString &name, const QByteArray &content);
    clitest::CliRun run(const QStringList &arguments, const QByteArray &input = QByteArray(),
                        const std::function<void(QProcess &)> &prepare = {});

    QTemporaryDir dir;
};

inline QString CliTestBase::write(const QString &name, const QByteArray &content)
{
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write the test file");
    return file.fileName();
}

inline clitest::CliRun CliTestBase::run(const QStringList &arguments, const QByteArray &input,
                                             const std::function<void(QProcess &)> &prepare)
{
    QProcess process;
    process.setWorkingDirectory(dir.path());
    if (prepare)
        prepare(process);
    process.start(QStringLiteral(VELMORA_CLI_PATH), arguments);
    clitest::CliRun result;
    if (!process.waitForStarted())
        return result;
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(300000);
    result.exitCode = process.exitCode();
    result.exitStatus = process.exitStatus();
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}
