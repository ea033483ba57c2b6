// Which command opens a file in a text editor, for what the user has set and what is installed.
#include "platform/platform.h"

#include <QMap>
#include <QtTest>

class EditorTest : public QObject {
    Q_OBJECT
private slots:
    void editorCommand_data() {
        QTest::addColumn<QString>("tervaneEditor");
        QTest::addColumn<QString>("visual");
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QStringList>("command");
        const QString f = QStringLiteral("/data/a b.csv");
        QTest::newRow("own editor with its options, taken as given")
            << "code --wait -n"
            << "vim" << QStringList{"gedit", "x-terminal-emulator"} << QStringList{"code", "--wait", "-n", f};
        QTest::newRow("own editor quoted")
            << "\"/opt/My Editor/ed\" -x"
            << "" << QStringList{} << QStringList{"/opt/My Editor/ed", "-x", f};
        QTest::newRow("a command that splits into nothing is not set")
            << "\"\""
            << "" << QStringList{"mousepad"} << QStringList{"/usr/bin/mousepad", f};
        QTest::newRow("blanks only") << "   "
                                     << "" << QStringList{} << QStringList{};
        QTest::newRow("VISUAL in a terminal")
            << ""
            << "vim -R" << QStringList{"x-terminal-emulator", "kate"}
            << QStringList{"/usr/bin/x-terminal-emulator", "-e", "vim", "-R", f};
        QTest::newRow("VISUAL without a terminal is passed over")
            << ""
            << "vim" << QStringList{"kate"} << QStringList{"/usr/bin/kate", f};
        QTest::newRow("VISUAL empty quotes") << ""
                                             << "\"\"" << QStringList{"x-terminal-emulator"} << QStringList{};
        QTest::newRow("nothing set or found: the desktop's program") << ""
                                                                     << "" << QStringList{} << QStringList{};
    }
    void editorCommand() {
        QFETCH(QString, tervaneEditor);
        QFETCH(QString, visual);
        QFETCH(QStringList, installed);
        QFETCH(QStringList, command);
        const QMap<QString, QString> env{{"TERVANE_EDITOR", tervaneEditor}, {"VISUAL", visual}};
        const QStringList got = EditorCommand(
            QStringLiteral("/data/a b.csv"),
            [&](const char* var) { return env.value(QString::fromLatin1(var)); },
            [&](const QString& program) {
                return installed.contains(program) ? QStringLiteral("/usr/bin/") + program : QString();
            });
        QCOMPARE(got, command);
    }
};

QTEST_GUILESS_MAIN(EditorTest)
#include "editor_test.moc"
