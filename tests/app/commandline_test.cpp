// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line as a shell user or the desktop's "Open With" meets it.
#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void textOnlyOptionsNeedNoDisplay_data();
    void textOnlyOptionsNeedNoDisplay();
    void moreThanOneFileIsRefused();
};

namespace {
struct Run {
    int exitCode = -1;
    QString out, err;
};
Run run(const QStringList& args, bool withDisplay) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    if (withDisplay)
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    else
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(TERVANE_EXE), args);
    Run r;
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}
} // namespace

void TestCommandLine::textOnlyOptionsNeedNoDisplay_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("expect");
    QTest::newRow("--version") << QStringList{"--version"}
                               << QStringLiteral("Tervane640 " TERVANE_VERSION "\n");
    QTest::newRow("-v") << QStringList{"-v"} << QStringLiteral("Tervane640 " TERVANE_VERSION "\n");
    QTest::newRow("--help") << QStringList{"--help"} << QStringLiteral("[file]");
    QTest::newRow("-h with a file") << QStringList{"x.csv", "-h"} << QStringLiteral("--version");
    QTest::newRow("--fetch --help") << QStringList{"--fetch", "--help"}
                                    << QStringLiteral("--trust-certificate <SHA256:...>");
}

void TestCommandLine::textOnlyOptionsNeedNoDisplay() {
    QFETCH(QStringList, args);
    QFETCH(QString, expect);
    // No display and no platform named: a window could not even be created.
    const Run r = run(args, false);
    QCOMPARE(r.exitCode, 0);
    if (expect.endsWith('\n'))
        QCOMPARE(r.out, expect);
    else
        QVERIFY2(r.out.contains(expect), qPrintable(r.out));
}

void TestCommandLine::moreThanOneFileIsRefused() {
    const Run r = run({QStringLiteral("a.csv"), QStringLiteral("b.csv")}, true);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("one file")), qPrintable(r.err));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "commandline_test.moc"
