// The local folder lists and file actions, driven through the real window.
#include "app/mainwindow.h"
#include "controls.h"
#include "guitest.h"
#include "localfiles/folderlists.h"
#include "loggerfiles.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QPushButton>
#include <QTemporaryDir>
#include <sys/stat.h>

class LocalFilesTest : public QObject {
    Q_OBJECT
    FakePlatform platform;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<TForm1> form;

    void touch(const QString& name) { testfiles::writeFile(dir->filePath(name), "x\r\n"); }
    QStringList filesOnDisk() const {
        return QDir(dir->path()).entryList({"*.csv"}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    }
    void selectRows(TFileListBox* list, const QList<int>& rows) {
        list->clearSelection();
        for (int r : rows)
            list->item(r)->setSelected(true);
        if (!rows.isEmpty()) list->setCurrentRow(rows.first(), QItemSelectionModel::NoUpdate);
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        for (const char* n : {"091201.csv", "091202.csv", "091203.csv", "notes.txt", "-091201-091202.csv"})
            touch(n);
        QDir::setCurrent(dir->path());
        form = std::make_unique<TForm1>();
        form->show();
        c(form).DirectoryListBoxPC()->setDirectory(dir->path());
        c(form).Refresh1()->trigger();
        platform.clear();
    }
    void cleanup() {
        form.reset();
        dir.reset();
    }

    void threeListsShowOneFolder() {
        QCOMPARE(c(form).FileListBoxPC()->names(),
                 (QStringList{"-091201-091202.csv", "091201.csv", "091202.csv", "091203.csv"}));
        QCOMPARE(c(form).LocalFiles1cnt()->text(), QString("4"));
        QDir(dir->path()).mkdir("day");
        touch("day/100101.csv");
        const QString day = QDir::cleanPath(dir->filePath("day"));
        // From the transfer page ...
        c(form).DirectoryListBoxPC()->setDirectory(day);
        QCOMPARE(c(form).DirectoryListBox1()->Directory(), day);
        QCOMPARE(c(form).DirectoryListBox2()->Directory(), day);
        QCOMPARE(c(form).FileListBox1()->names(), QStringList{"100101.csv"});
        QCOMPARE(c(form).LocalFiles1cnt()->text(), QString("1"));
        QCOMPARE(QDir::currentPath(), day);
        // ... and back from the CSV page.
        c(form).DirectoryListBox1()->setDirectory(dir->path());
        QCOMPARE(c(form).DirectoryListBoxPC()->Directory(), QDir::cleanPath(dir->path()));
        QCOMPARE(c(form).LocalFiles1cnt()->text(), QString("4"));
        QCOMPARE(c(form).FileListBox8()->names(), QStringList{"-091201-091202.csv"});
    }

    void makeFolder_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("warning");
        QTest::newRow("blank") << ""
                               << "Name incorrect"
                               << "";
        QTest::newRow("leading blank") << " x"
                                       << "Name incorrect"
                                       << "";
        QTest::newRow("existing") << "old"
                                  << ""
                                  << "Warning|Cannot create directory";
        QTest::newRow("path separator") << "a/b"
                                        << ""
                                        << "Warning|Cannot create directory";
        QTest::newRow("new") << "new"
                             << ""
                             << "";
    }
    void makeFolder() {
        QFETCH(QString, name);
        QFETCH(QString, message);
        QFETCH(QString, warning);
        QDir(dir->path()).mkdir("old");
        c(form).MakeDirPC()->setText(name);
        c(form).MkDirPC()->click();
        QCOMPARE(platform.messages.join('|'), message);
        QCOMPARE(platform.warnings.join('|'), warning);
        if (message.isEmpty() && warning.isEmpty()) {
            QVERIFY(QDir(dir->filePath(name)).exists());
            // The new folder is listed; the folder shown stays the same.
            QCOMPARE(c(form).DirectoryListBoxPC()->Directory(), QDir::cleanPath(dir->path()));
            QVERIFY(!c(form).DirectoryListBoxPC()->findItems(name, Qt::MatchEndsWith).isEmpty());
            QCOMPARE(c(form).MakeDirPC()->text(), name);
        }
    }

    void deleteSelected_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("Yes deletes all three")
            << int(Platform::Answer::Yes) << QStringList{"-091201-091202.csv"};
        QTest::newRow("No deletes none")
            << int(Platform::Answer::No)
            << QStringList{"-091201-091202.csv", "091201.csv", "091202.csv", "091203.csv"};
        QTest::newRow("Cancel deletes none")
            << int(Platform::Answer::Cancel)
            << QStringList{"-091201-091202.csv", "091201.csv", "091202.csv", "091203.csv"};
    }
    void deleteSelected() {
        QFETCH(int, answer);
        QFETCH(QStringList, left);
        selectRows(c(form).FileListBoxPC(), {1, 2, 3});
        platform.answers.enqueue(Platform::Answer(answer));
        c(form).Delete1()->trigger();
        QCOMPARE(platform.confirmations, QStringList{"Delete all selected files ?"});
        QCOMPARE(filesOnDisk(), left);
        QCOMPARE(c(form).FileListBoxPC()->names(), left);
        QCOMPARE(c(form).LocalFiles1cnt()->text(), QString::number(left.size()));
        QCOMPARE(platform.messages, QStringList());
    }

    void deleteWithoutSelectionOrFiles() {
        c(form).FileListBoxPC()->clearSelection();
        c(form).Delete1()->trigger();
        QCOMPARE(platform.messages, QStringList{"No file selected    "});
        QVERIFY(platform.confirmations.isEmpty());
        // An empty list: both messages.
        c(form).DirectoryListBoxPC()->setDirectory(QDir::tempPath());
        QDir(dir->path()).mkdir("empty");
        c(form).DirectoryListBoxPC()->setDirectory(dir->filePath("empty"));
        platform.clear();
        c(form).Delete1()->trigger();
        QCOMPARE(platform.messages, (QStringList{"No files        ", "No file selected    "}));
    }

    void deleteAll() {
        platform.answers.enqueue(Platform::Answer::No);
        c(form).DeleteAll1()->trigger();
        QCOMPARE(filesOnDisk().size(), 4);
        platform.answers.enqueue(Platform::Answer::Yes);
        c(form).DeleteAll1()->trigger();
        QCOMPARE(filesOnDisk(), QStringList());
        QCOMPARE(c(form).LocalFiles1cnt()->text(), QString("0"));
        QVERIFY(QFile::exists(dir->filePath("notes.txt")));
        QCOMPARE(platform.confirmations, (QStringList{"Delete All ?", "Delete All ?"}));
    }

    void csvPageDeletes() {
        // The merged-file list deletes at once, without a question.
        QVERIFY(c(form).FileListBox8()->selectName("-091201-091202.csv"));
        c(form).Delete3()->trigger();
        QVERIFY(platform.confirmations.isEmpty());
        QVERIFY(!QFile::exists(dir->filePath("-091201-091202.csv")));
        QCOMPARE(c(form).LocalFiles1cnt()->text(), QString("3"));
        // The file list asks first.
        QVERIFY(c(form).FileListBox1()->selectName("091202.csv"));
        platform.answers.enqueue(Platform::Answer::Yes);
        c(form).Delete2()->trigger();
        QCOMPARE(platform.confirmations, QStringList{"Delete selected file ? "});
        QCOMPARE(filesOnDisk(), (QStringList{"091201.csv", "091203.csv"}));
        // Nothing selected: the question, then an error box, nothing deleted.
        c(form).FileListBox1()->clearSelection();
        platform.answers.enqueue(Platform::Answer::Yes);
        c(form).Delete2()->trigger();
        QCOMPARE(platform.errors.size(), 1);
        QCOMPARE(filesOnDisk().size(), 2);
    }

    void openInEditor() {
        c(form).FileListBoxPC()->clearSelection();
        c(form).FileListBoxPC()->setCurrentRow(1, QItemSelectionModel::NoUpdate);
        c(form).invoke("FileListBoxPCDblClick");
        QCOMPARE(platform.messages, QStringList{"No file selected"});
        selectRows(c(form).FileListBoxPC(), {1});
        c(form).invoke("FileListBoxPCDblClick");
        QCOMPARE(platform.opened, QStringList{QDir::toNativeSeparators(dir->filePath("091201.csv"))});
    }

    void refreshShowsNewFiles() {
        touch("091204.csv");
        c(form).Refresh2()->trigger();
        QCOMPARE(c(form).LocalFiles1cnt()->text(), QString("5"));
        QVERIFY(c(form).FileListBox1()->names().contains("091204.csv"));
    }

    void listsShowRegularVisibleFilesOnly() {
        // A FIFO, a socket, a folder and a hidden file, all named like day files.
        QVERIFY(::mkfifo(QFile::encodeName(dir->filePath("091204.csv")).constData(), 0600) == 0);
        QLocalServer socket;
        QVERIFY(socket.listen(dir->filePath("091205.csv")));
        QVERIFY(QDir(dir->path()).mkdir("091206.csv"));
        touch(".091207.csv");
        touch("091208.csv");
        for (const char* name : {"FileListBoxPC", "FileListBox1", "FileListBox8"}) {
            auto* list = form->findChild<TFileListBox*>(name);
            list->Update();
            for (const QString& n : list->names()) {
                QVERIFY2(QFileInfo(dir->filePath(n)).isFile(), qPrintable(n));
                QVERIFY2(!n.startsWith('.'), qPrintable(n));
            }
        }
        QCOMPARE(form->findChild<TFileListBox*>("FileListBox1")->names(),
                 (QStringList{"-091201-091202.csv", "091201.csv", "091202.csv", "091203.csv", "091208.csv"}));
        // Delete All leaves the hidden file, the FIFO and the folder alone.
        platform.answers.enqueue(Platform::Answer::Yes);
        form->findChild<QAction*>("DeleteAll1")->trigger();
        QVERIFY(QFileInfo::exists(dir->filePath(".091207.csv")));
        QVERIFY(QFileInfo::exists(dir->filePath("091204.csv")));
        QVERIFY(QFileInfo(dir->filePath("091206.csv")).isDir());
        QVERIFY(!QFileInfo::exists(dir->filePath("091208.csv")));
    }
};

TERVANE_GUI_TEST_MAIN(LocalFilesTest)
#include "localfiles_test.moc"
