// The 99% Clopper-Pearson interval and the regularized incomplete beta
// function against R's qbeta and pbeta (clopperreference.h, written by
// clopper_reference.R). Tolerances: the bounds within 1e-9 relative (the
// continued fraction loses most, 2e-10, with one parameter below 10 and the
// other near 1e9, at the switch between its two sides; elsewhere the bounds
// agree to 1e-12), the function values within 1e-12 absolute.
#include "clopperpearson.h"
#include "clopperreference.h"
#include "incompletebeta.h"

#include <QtTest>

#include <cmath>

namespace {

bool close(double value, double expected, double relative)
{
    return std::fabs(value - expected) <= relative * std::fabs(expected);
}

} // namespace

class TestClopperPearson final : public QObject
{
    Q_OBJECT

private slots:
    void againstR_data();
    void againstR();
    void betaAgainstR_data();
    void betaAgainstR();
    void ends();
    void refusals();
};

void TestClopperPearson::againstR_data()
{
    QTest::addColumn<qint64>("count");
    QTest::addColumn<qint64>("trials");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    for (const clopperreference::Interval &row : clopperreference::kIntervals)
        QTest::addRow("%lld of %lld", row.count, row.trials) << qint64(row.count) << qint64(row.trials)
                                                              << row.low << row.high;
}

void TestClopperPearson::againstR()
{
    QFETCH(qint64, count);
    QFETCH(qint64, trials);
    QFETCH(double, low);
    QFETCH(double, high);
    const probabilityinterval interval = clopperPearson(count, trials, 0.99);
    QVERIFY(interval.ok);
    QVERIFY2(close(interval.low, low, 1e-9), qPrintable(QString::number(interval.low, 'g', 17)));
    QVERIFY2(close(interval.high, high, 1e-9), qPrintable(QString::number(interval.high, 'g', 17)));
}

void TestClopperPearson::betaAgainstR_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("value");
    for (const clopperreference::Beta &row : clopperreference::kBetas)
        QTest::addRow("I(%g; %g, %g)", row.x, row.a, row.b) << row.x << row.a << row.b << row.value;
}

void TestClopperPearson::betaAgainstR()
{
    QFETCH(double, x);
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, value);
    bool converged = false;
    const double computed = regularizedBeta(x, a, b, &converged);
    QVERIFY(converged);
    QVERIFY2(std::fabs(computed - value) <= 1e-12, qPrintable(QString::number(computed, 'g', 17)));
    // The quantile inverts it.
    const double back = betaQuantile(computed, a, b, &converged);
    QVERIFY(converged);
    QVERIFY2(close(back, x, 1e-9), qPrintable(QString::number(back, 'g', 17)));
}

// None or every trial a success: the closed forms, 0 and 1 at the ends.
void TestClopperPearson::ends()
{
    const probabilityinterval none = clopperPearson(0, 1000, 0.99);
    QVERIFY(none.ok);
    QCOMPARE(none.low, 0.0);
    QVERIFY(close(none.high, 1.0 - std::pow(0.005, 1.0 / 1000.0), 1e-12));
    const probabilityinterval all = clopperPearson(1000, 1000, 0.99);
    QVERIFY(all.ok);
    QCOMPARE(all.high, 1.0);
    QVERIFY(close(all.low, std::pow(0.005, 1.0 / 1000.0), 1e-12));
    // One trial: the interval of a single sample.
    const probabilityinterval one = clopperPearson(1, 1, 0.99);
    QVERIFY(one.ok);
    QCOMPARE(one.low, 0.005);
    QCOMPARE(one.high, 1.0);
    QCOMPARE(regularizedBeta(0.0, 2, 3), 0.0);
    QCOMPARE(regularizedBeta(1.0, 2, 3), 1.0);
    QCOMPARE(betaQuantile(0.0, 2, 3), 0.0);
    QCOMPARE(betaQuantile(1.0, 2, 3), 1.0);
}

void TestClopperPearson::refusals()
{
    QVERIFY(!clopperPearson(1, 0, 0.99).ok);
    QVERIFY(!clopperPearson(-1, 10, 0.99).ok);
    QVERIFY(!clopperPearson(11, 10, 0.99).ok);
    QVERIFY(!clopperPearson(5, 10, 1.0).ok);
    QVERIFY(!clopperPearson(5, 10, 0.0).ok);
    QVERIFY(std::isnan(regularizedBeta(0.5, 0.0, 1.0)));
    QVERIFY(std::isnan(regularizedBeta(1.5, 1.0, 1.0)));
    QVERIFY(std::isnan(betaQuantile(-0.1, 1.0, 1.0)));
}

QTEST_APPLESS_MAIN(TestClopperPearson)
#include "test_clopperpearson.moc"
