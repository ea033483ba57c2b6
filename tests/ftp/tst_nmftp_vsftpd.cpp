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
        QCOMPARE(names, (QStringList{"240301.csv", "old"}));
        QCOMPARE(ftp.DirectoryList()->Sizes[ftp.DirectoryList()->Names.indexOf("240301.csv")],
                 QString::number(m_data.size()));
        ftp.SetTransferType(TNMFTP::TypeImage);
        ftp.Download("240301.csv", m_local.filePath("240301.csv"));
        QFile got(m_local.filePath("240301.csv"));
        QVERIFY(got.open(QIODevice::ReadOnly));
        QCOMPARE(got.readAll(), m_data);
        QCOMPARE(ftp.TransferSize(), qint64(m_data.size()));
        ftp.Disconnect();
        QCOMPARE(log.events,
                 (QStringList{"Connect", "Success:DoCommand", "Start", "Items", "Stop", "Success:List",
                              "Success:DoCommand", "Start", "Stop", "Success:Download", "Disconnect"}));
    }
};

QTEST_GUILESS_MAIN(TestNmftpVsftpd)
#include "tst_nmftp_vsftpd.moc"
