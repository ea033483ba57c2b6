// The socket layer against a peer in this process: connecting, lines, blocks, capture, time-outs.
#include "ftp/powersock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {
struct Peer {
    QTcpServer server;
    std::unique_ptr<QTcpSocket> conn;
    Peer() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection,
                         [this] { conn.reset(server.nextPendingConnection()); });
    }
    void attach(TPowersock& s) {
        s.setHost("127.0.0.1");
        s.setPort(server.serverPort());
        s.Connect();
    }
};

quint16 closedPort() {
    QTcpServer s;
    s.listen(QHostAddress::LocalHost, 0);
    return s.serverPort();
}
} // namespace

class TestPowersock : public QObject {
    Q_OBJECT
private slots:
    void connectAndReconnect() {
        Peer peer;
        TPowersock s;
        QSignalSpy resolved(&s, &TPowersock::OnHostResolved);
        QSignalSpy connected(&s, &TPowersock::OnConnect);
        QSignalSpy closed(&s, &TPowersock::OnDisconnect);
        peer.attach(s);
        QVERIFY(s.Connected());
        QCOMPARE(resolved.count(), 0); // a dotted address needs no lookup
        QCOMPARE(connected.count(), 1);
        QVERIFY_THROWS_EXCEPTION(ESockError, s.Connect()); // already connected
        s.Disconnect();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!s.Connected());
        peer.conn.reset();
        s.Connect();
        QVERIFY(s.Connected());
        QTRY_VERIFY(peer.conn);
        peer.conn->close();
        QTRY_VERIFY(!s.Connected());
        QTRY_COMPARE(closed.count(), 2); // the peer's close ends the connection too
        QVERIFY(!s.Connected());
    }

    void connectFailures() {
        TPowersock s;
        QSignalSpy failed(&s, &TPowersock::OnConnectionFailed);
        s.setHost("127.0.0.1");
        s.setPort(closedPort());
        try {
            s.Connect();
            QFAIL("connected to a closed port");
        } catch (const ESockError& e) {
            QCOMPARE(e.Message(), QStringLiteral("Connection Failed"));
        }
        QCOMPARE(failed.count(), 1);
        QCOMPARE(s.LastError(), 10061);
    }

    void invalidHostAskedOnce() {
        Peer peer;
        TPowersock s;
        s.setHost("no-such-host.invalid");
        s.setPort(peer.server.serverPort());
        int asked = 0;
        connect(&s, &TPowersock::OnInvalidHost, this, [&](bool& handled) {
            ++asked;
            handled = true;
            s.setHost(asked == 1 ? "still-no-such-host.invalid" : "127.0.0.1");
        });
        try {
            s.Connect();
            QFAIL("connected to an unknown host");
        } catch (const ESockError& e) {
            if (e.Message() == QLatin1String("Host Lookup Timed Out")) QSKIP("no name service here");
            QCOMPARE(e.Message(), QStringLiteral("Null Remote Address"));
        }
        QCOMPARE(asked, 1);
    }

    void lines() {
        Peer peer;
        TPowersock s;
        peer.attach(s);
        QTRY_VERIFY(peer.conn);
        peer.conn->write("one\r\ntwo\n");
        QCOMPARE(s.ReadLn(), QStringLiteral("one\r\n"));
        QCOMPARE(s.ReadLn(), QStringLiteral("two\n"));
        peer.conn->write("0123456789");
        QCOMPARE(s.Read(4), QByteArray("0123"));
        QTRY_COMPARE(s.BufferedBytes(), 6);
        QCOMPARE(s.Read(0), QByteArray("456789"));
        QCOMPARE(s.Read(0), QByteArray());
        peer.conn->write("last");
        peer.conn->flush();
        peer.conn->close();
        QCOMPARE(s.ReadLn(), QStringLiteral("last")); // the rest of a closed connection
        QVERIFY_THROWS_EXCEPTION(ESockError, s.ReadLn());
    }

    void waitsEnd_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("idle time") << "idle";
        QTest::newRow("cancel") << "cancel";
        QTest::newRow("destroyed") << "destroy";
    }
    void waitsEnd() {
        QFETCH(QString, how);
        Peer peer;
        auto* s = new TPowersock;
        peer.attach(*s);
        s->setIdleTimeOut(how == "idle" ? 300 : 20000);
        if (how == "cancel") QTimer::singleShot(50, s, [s] { s->Cancel(); });
        if (how == "destroy") QTimer::singleShot(50, s, [s] { delete s; });
        QElapsedTimer t;
        t.start();
        try {
            s->ReadLn();
            QFAIL("ReadLn returned without a line");
        } catch (const EAbortError& e) {
            QVERIFY2(how != "idle", qPrintable(e.Message()));
        } catch (const ESockError& e) {
            QCOMPARE(how, QStringLiteral("idle"));
            QVERIFY2(e.Message().contains("timed out"), qPrintable(e.Message()));
        }
        QVERIFY(t.elapsed() < 5000);
        if (how != "destroy") delete s;
    }

    void capture_data() {
        QTest::addColumn<bool>("complete");
        QTest::newRow("complete") << true;
        QTest::newRow("canceled") << false;
    }
    void capture() {
        QFETCH(bool, complete);
        QTemporaryDir dir;
        const QString path = dir.filePath("target.csv");
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content");
        old.close();
        Peer peer;
        TPowersock s;
        peer.attach(s);
        QTRY_VERIFY(peer.conn);
        const QByteArray payload(300000, 'p');
        int packets = 0;
        connect(&s, &TPowersock::OnPacketRecvd, this, [&] {
            ++packets;
            if (!complete && s.BytesReceived() > 0) s.Cancel();
        });
        peer.conn->write(payload);
        if (complete)
            QObject::connect(peer.conn.get(), &QTcpSocket::bytesWritten, [&] {
                if (peer.conn->bytesToWrite() == 0) peer.conn->disconnectFromHost();
            });
        if (complete) {
            s.CaptureFile(path);
            QCOMPARE(s.BytesReceived(), qint64(payload.size()));
            QVERIFY(packets >= payload.size() / 16383);
        } else {
            QVERIFY_THROWS_EXCEPTION(EAbortError, s.CaptureFile(path));
        }
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), complete ? payload : QByteArray("old content"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"target.csv"}); // no leftovers
    }

    void reportLevels_data() {
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("any");
        QTest::addColumn<bool>("onlyReply");
        QTest::newRow("0 none") << 0 << false << false;
        QTest::newRow("1 traffic") << 1 << true << true;
        QTest::newRow("8 most") << 8 << true << false;
    }
    void reportLevels() {
        QFETCH(int, level);
        Peer peer;
        TPowersock s;
        peer.attach(s);
        QTRY_VERIFY(peer.conn);
        QStringList texts;
        connect(&s, &TPowersock::OnStatus, this, [&](QObject*, const QString& t) { texts << t; });
        s.setReportLevel(level);
        QObject::connect(peer.conn.get(), &QTcpSocket::readyRead, [&] {
            peer.conn->readAll();
            peer.conn->write("200 ok\r\n");
        });
        QCOMPARE(s.Transaction("NOOP"), QStringLiteral("200 ok\r\n"));
        QCOMPARE(s.ReplyCode(), 200);
        QFETCH(bool, any);
        QFETCH(bool, onlyReply);
        QCOMPARE(!texts.isEmpty(), any);
        if (onlyReply) QCOMPARE(texts, QStringList{"200 ok\r\n"});
        if (level == 8)
            QVERIFY(texts.contains("Transaction") && !texts.contains("Checking Error In Error Manager"));
    }
};

QTEST_GUILESS_MAIN(TestPowersock)
#include "tst_powersock.moc"
