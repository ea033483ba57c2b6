// The engine against vsftpd: anonymous log-on, listing, download.
#include "ftp/ftpservers.h"
#include "ftpevents.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestNmftpVsftpd : public QObject {
    Q_OBJECT
    QTemporaryDir m_served, m_local;
    QByteArray m_data;

private slots:
    void initTestCase() {
        for (int i = 0; i < 40000; ++i)
            m_data += QByteArray::number(i * 7919 % 100003) + ",\r\n";
        QFile f(m_served.filePath("240301.csv"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(m_data);
        f.close();
        QDir(m_served.path()).mkdir("old");
        QFile lf(m_served.filePath("240302.csv"));
        QVERIFY(lf.open(QIODevice::WriteOnly));
        lf.write(QByteArray("240302,10:00,1\n240302,10:01,2\r\r\n\r\x1a").repeated(1000));
        lf.close();
    }

    void logOnListDownload() {
        VsftpdServer server(m_served.path());
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        TNMFTP ftp;
        FtpEvents log;
        log.attach(ftp);
        ftp.setHost("127.0.0.1");
        ftp.setPort(server.port());
        ftp.setUserID("anonymous");
        ftp.setPassword("tervane@example.invalid");
        ftp.setParseList(true);
        ftp.Connect();
        ftp.List();
        QCOMPARE(ftp.Vendor(), 2400);
        QStringList names = ftp.DirectoryList()->Names;
        names.sort();
        QCOMPARE(names, (QStringList{"240301.csv", "240302.csv", "old"}));
        QCOMPARE(ftp.DirectoryList()->Sizes[ftp.DirectoryList()->Names.indexOf("240301.csv")],
                 QString::number(m_data.size()));
        // ASCII chosen: vsftpd would convert line ends, but the copy is still byte for byte.
        ftp.SetTransferType(TNMFTP::TypeAscii);
        for (const QString name : {"240301.csv", "240302.csv"}) {
            ftp.Download(name, m_local.filePath(name));
            QFile got(m_local.filePath(name)), served(m_served.filePath(name));
            QVERIFY(got.open(QIODevice::ReadOnly));
            QVERIFY(served.open(QIODevice::ReadOnly));
            const QByteArray bytes = served.readAll();
            QCOMPARE(got.readAll(), bytes);
            QCOMPARE(ftp.TransferSize(), qint64(bytes.size()));
            QCOMPARE(ftp.LastDownload().source, TDownloadResult::SizeCommand);
            QVERIFY(ftp.LastDownload().verified());
        }
        ftp.Disconnect();
        QCOMPARE(log.events,
                 (QStringList{"Connect", "Success:DoCommand", "Start", "Items", "Stop", "Success:List",
                              "Success:DoCommand", "Start", "Stop", "Success:Download", "Start", "Stop",
                              "Success:Download", "Disconnect"}));
    }

    void passiveMode_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("passive") << int(TNMFTP::DataPassive);
        QTest::newRow("automatic") << int(TNMFTP::DataAutomatic);
    }
    void passiveMode() {
        QFETCH(int, mode);
        VsftpdServer server(m_served.path());
        QVERIFY2(server.start(), qPrintable(server.errorText()));
        TNMFTP ftp;
        ftp.setHost("127.0.0.1");
        ftp.setPort(server.port());
        ftp.setUserID("anonymous");
        ftp.setPassword("tervane@example.invalid");
        ftp.setDataConnectionMode(TNMFTP::DataMode(mode));
        ftp.Connect();
        ftp.setParseList(true);
        ftp.List();
        QVERIFY(ftp.DirectoryList()->Names.contains("240302.csv"));
        for (const QString name : {"240301.csv", "240302.csv"}) {
            ftp.Download(name, m_local.filePath("p" + name));
            QFile got(m_local.filePath("p" + name)), served(m_served.filePath(name));
            QVERIFY(got.open(QIODevice::ReadOnly));
            QVERIFY(served.open(QIODevice::ReadOnly));
            QCOMPARE(got.readAll(), served.readAll());
        }
        QCOMPARE(ftp.DataConnectionMethod(), QStringLiteral("EPSV"));
        ftp.Disconnect();
    }
};

QTEST_GUILESS_MAIN(TestNmftpVsftpd)
#include "tst_nmftp_vsftpd.moc"
