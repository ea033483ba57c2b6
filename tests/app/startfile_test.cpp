// A file given when the program starts ("tervane640 FILE.csv", "Open With"):
// it is read under the saved settings, and before the automatic log-on.
#include "guitest.h"
#include "loggerfiles.h"
#include "settings/cfgrecord.h"
#include "windowfixture.h"

#include <QTcpServer>
#include <QTcpSocket>

class StartFileTest : public QObject {
    Q_OBJECT
    FakePlatform platform;

private slots:
    void fileGivenAtStartOpensUnderSavedSettings_data() {
        QTest::addColumn<bool>("focusWithheld");
        QTest::newRow("the window gets the focus") << false;
        QTest::newRow("the desktop withholds the focus") << true;
    }
    void fileGivenAtStartOpensUnderSavedSettings() {
        QFETCH(bool, focusWithheld);
        platform.clear();
        WindowFixture w;
        // A server that notes what the window showed when the log-on reached it.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        int rowsAtLogOn = -1;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* s = server.nextPendingConnection();
            rowsAtLogOn = c(w.form).StringGrid1()->RowCount() - 1;
            s->close(); // the log-on fails; the window stays usable
            s->deleteLater();
        });
        settings::CFGRecord r;
        r.setHost("127.0.0.1");
        r.setUserId("640");
        r.setPassword("secret");
        r.setTLevel(25);
        r.setALevel(60);
        r.setMultiplier(settings::Multiplier::A1Coarse, 2);
        r.setMultiplier(settings::Multiplier::A1Fine, 500);
        r.setChannelName(settings::Channel(0), "Freezer");
        QVERIFY(settings::SaveCFGFile(w.path("csv.cfg"), r).ok());
        // Two readings over the level by a fraction of a degree, one under it.
        QByteArray bytes;
        for (const QByteArray t1 : {"+025.3", "+025.8", "+024.0"}) {
            QByteArray row = testfiles::loggerRow(1);
            row.replace(16, 6, t1);
            bytes += row + "\r\n";
        }
        QVERIFY(testfiles::writeFile(w.path("091201.csv"), bytes));

        QVERIFY(w.open([&](TForm1& f) {
            c(f).PortTxt()->setText(QString::number(server.serverPort()));
            f.OpenFileAtStart(w.path("091201.csv"));
            if (focusWithheld) f.setEnabled(false);
        }));
        QCOMPARE(w.form->StartedWithoutFocus(), focusWithheld);
        w.form->setEnabled(true);
        QTRY_VERIFY(rowsAtLogOn >= 0);
        QCOMPARE(rowsAtLogOn, 3);
        QCOMPARE(c(w.form).StringGrid1()->Cells(3, 1), QString("+025.3"));
        QCOMPARE(c(w.form).FastLineSeries5()->y(0), 25.0);
        QCOMPARE(c(w.form).FastLineSeries10()->y(0), 150.0); // 60, scaled by 2.5 like A1
        QCOMPARE(c(w.form).FastLineSeries6()->y(0) / c(w.form).Series6()->y(0), 2.5);
        QCOMPARE(platform.beeps, 2);
        QCOMPARE(c(w.form).TabSheet1()->Caption(), QString("Freezer"));
        auto* stats = w.form->findChild<QLabel*>("StatisticsT1");
        QVERIFY2(stats->text().contains("Over the level 25: 2 readings"), qPrintable(stats->text()));
    }
};

TERVANE_GUI_TEST_MAIN(StartFileTest)
#include "startfile_test.moc"
