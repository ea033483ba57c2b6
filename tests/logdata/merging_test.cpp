// "Merge files" on the CSV page of the real window.
#include "controls.h"
#include "guitest.h"
#include "localfiles/folderlists.h"
#include "logdata/stringgrid.h"
#include "loggerfiles.h"
#include "unprivileged.h"
#include "windowfixture.h"

#include <QDateEdit>
#include <QLabel>
#include <QPushButton>

class MergingTest : public QObject {
    Q_OBJECT
    FakePlatform platform;
    std::unique_ptr<WindowFixture> w;

    TForm1& f() { return *w->form; }
    void write(const QString& name, int rows, const QByteArray& day) {
        testfiles::writeFile(w->path(name), testfiles::loggerFile(rows, day));
    }
    void merge(QDate from, QDate to) {
        c(f()).DateTimePicker1()->setDate(from);
        c(f()).DateTimePicker2()->setDate(to);
        QTest::mouseClick(c(f()).RunButton(), Qt::LeftButton);
    }
    QByteArray read(const QString& name) {
        QFile file(w->path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init() {
        w = std::make_unique<WindowFixture>();
        QVERIFY(w->open());
        c(f()).DirectoryListBox1()->setDirectory(w->work.path());
        platform.clear();
    }
    void cleanup() { w.reset(); }

    void mergesTheDaysOfASpan() {
        write("091201.csv", 3, "091201");
        write("091201b.csv", 2, "091201");
        write("091203.csv", 4, "091203");
        write("091216.csv", 5, "091216");
        merge(QDate(2009, 12, 1), QDate(2009, 12, 15));
        QCOMPARE(platform.messages, QStringList());
        const QByteArray merged = read("-091201-091215.csv");
        QCOMPARE(merged.count("\r\r"), 9);
        QVERIFY(!merged.contains('\n'));
        QVERIFY(merged.endsWith(testfiles::loggerRow(3, "091203") + "\r\r"));
        // Loaded at once and listed in all three lists.
        QCOMPARE(c(f()).vFileName()->text(), QString("-091201-091215.csv"));
        QCOMPARE(c(f()).StringGrid1()->RowCount(), 10);
        QCOMPARE(c(f()).FileListBox8()->names(), QStringList{"-091201-091215.csv"});
        QVERIFY(c(f()).FileListBoxPC()->names().contains("-091201-091215.csv"));
        QCOMPARE(c(f()).LocalFiles1cnt()->text(), QString("5"));
        QVERIFY(c(f()).RunButton()->isEnabled());
        // A merged file never enters a later merge, and merging again gives the same file.
        merge(QDate(2009, 12, 1), QDate(2009, 12, 15));
        QCOMPARE(read("-091201-091215.csv"), merged);
    }

    void reversedSpanSearchesTheFromDayAlone() {
        write("091220.csv", 2, "091220");
        write("091205.csv", 2, "091205");
        merge(QDate(2009, 12, 20), QDate(2009, 12, 5));
        QCOMPARE(read("-091220-091205.csv").count("\r\r"), 2);
    }

    void messages_data() {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<QString>("message");
        QTest::newRow("across months")
            << QDate(2010, 1, 31) << QDate(2010, 2, 1) << "Enable only in one month array";
        QTest::newRow("no files") << QDate(2011, 5, 1) << QDate(2011, 5, 9)
                                  << "no csv-files in selected period";
    }
    void messages() {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(QString, message);
        write("100131.csv", 2, "100131");
        merge(from, to);
        QCOMPARE(platform.messages, QStringList{message});
        QCOMPARE(c(f()).FileListBox8()->count(), 0);
        QVERIFY(c(f()).RunButton()->isEnabled());
    }

    void moreLinesThanAMergedFileHolds() {
        for (int d = 1; d <= 12; ++d) {
            const QByteArray day = "0912" + QByteArray::number(d).rightJustified(2, '0');
            write(QString::fromLatin1(day) + ".csv", 1440, day);
        }
        merge(QDate(2009, 12, 1), QDate(2009, 12, 12));
        QCOMPARE(read("-091201-091212.csv").count("\r\r"), 16383);
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY2(platform.messages[0].contains(QString::number(12 * 1440 - 16383)),
                 qPrintable(platform.messages[0]));
        QCOMPARE(c(f()).StringGrid1()->RowCount(), 16384);
    }

    void unwritableFolderLoadsNoOlderFile() {
        write("091201.csv", 3, "091201");
        // An older merged file that cannot be replaced.
        testfiles::writeFile(w->path("-091201-091202.csv"), testfiles::loggerFile(7));
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                              QFile::ReadOther | QFile::ExeOther;
        QFile::setPermissions(w->path("-091201-091202.csv"), QFile::ReadOwner | QFile::ReadOther);
        QFile::setPermissions(w->work.path(), readOnly);
        {
            testsupport::AsUnprivileged ordinary; // root would write anyway
            if (!ordinary.effective()) QSKIP("cannot run as an ordinary user here");
            merge(QDate(2009, 12, 1), QDate(2009, 12, 2));
        }
        QFile::setPermissions(w->work.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(platform.messages.size(), 1);
        QVERIFY(platform.messages[0].contains("could not be written"));
        QVERIFY(c(f()).vFileName()->text() != "-091201-091202.csv");
        QVERIFY(c(f()).StringGrid1()->RowCount() != 8);
        QVERIFY(c(f()).RunButton()->isEnabled());
    }
};

TERVANE_GUI_TEST_MAIN(MergingTest)
#include "merging_test.moc"
