// The window as a user sees it on screens of every size: no text wider than its
// room, the charts taking the room a larger window gives, the size and the page
// coming back after a restart, the keyboard, and a dark palette.
#include "app/application.h"
#include "charts/decisiongraph.h"
#include "controls.h"
#include "darkpalette.h"
#include "fakeplatform.h"
#include "loggerfiles.h"
#include "platform/fit.h"
#include "windowfixture.h"

#include <QAccessible>
#include <QCalendarWidget>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QSplitter>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTableView>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

namespace {
// The screen of a 1366x768 laptop (set up in main()).
const QSize kScreen(1366, 768);

bool isNumber(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^[-+]?\\d+([.,]\\d+)?$"));
    return number.match(text.trimmed()).hasMatch();
}

// A day file whose T1 falls to -135.9: the statistics must show the sign.
QString writeDayFile(const QString& folder) {
    QByteArray rows;
    for (int i = 0; i < 120; ++i) {
        QByteArray row = testfiles::loggerRow(i, "091208");
        if (i == 60) row.replace(row.indexOf(',', 7) + 1, 6, "-135.9");
        rows += row + "\r\n";
    }
    const QString path = folder + QStringLiteral("/091208.csv");
    testfiles::writeFile(path, rows);
    return path;
}

// Every text shown on `root` that does not fit the room its widget gives it.
struct TextWalk {
    bool designSize = false;
    QStringList problems;

    void fail(const QWidget* w, const QString& what) {
        problems << QStringLiteral("%1 %2: %3")
                        .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), what);
    }
    void room(const QWidget* w, const QString& text, int need, int has) {
        if (need > has) fail(w, QStringLiteral("\"%1\" needs %2 px, has %3").arg(text).arg(need).arg(has));
    }
    static bool shown(const QWidget* w) { return w->isVisible() && !w->visibleRegion().isEmpty(); }

    void walk(QWidget* root) {
        for (QWidget* w : root->findChildren<QWidget*>()) {
            if (!shown(w)) continue;
            const QFontMetrics fm = w->fontMetrics();
            if (auto* e = dynamic_cast<TElidingLabel*>(w)) {
                if (!e->isElided()) continue;
                if (designSize) fail(w, QStringLiteral("elided at the design size: ") + e->text());
                if (isNumber(e->text())) fail(w, QStringLiteral("a number elided: ") + e->text());
                if (e->toolTip() != e->text())
                    fail(w, QStringLiteral("elided without the whole text as tooltip"));
            } else if (auto* l = qobject_cast<QLabel*>(w)) {
                if (l->text().isEmpty() || l->textFormat() == Qt::RichText) continue;
                const int has = l->contentsRect().width() - 2 * l->margin() - std::max(0, l->indent());
                if (l->wordWrap()) {
                    if (l->heightForWidth(l->width()) > l->height())
                        fail(w, QStringLiteral("wrapped text taller than its room: ") + l->text());
                    for (const QString& word : l->text().split(QRegularExpression(QStringLiteral("\\s+"))))
                        room(w, word, fm.horizontalAdvance(word), has);
                } else {
                    for (const QString& line : l->text().split(QLatin1Char('\n')))
                        room(w, line, fm.horizontalAdvance(line), has);
                }
            } else if (auto* b = qobject_cast<QPushButton*>(w)) {
                QStyleOptionButton opt;
                opt.initFrom(b);
                opt.text = b->text();
                const QRect contents = b->style()->subElementRect(QStyle::SE_PushButtonContents, &opt, b);
                room(w, b->text(), fm.horizontalAdvance(b->text()), contents.width());
            } else if (auto* cb = qobject_cast<QCheckBox*>(w)) {
                if (cb->text().isEmpty()) continue;
                QStyleOptionButton opt;
                opt.initFrom(cb);
                opt.text = cb->text();
                const QRect contents = cb->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, cb);
                room(w, cb->text(), fm.horizontalAdvance(cb->text()), contents.width());
            } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
                QStyleOptionComboBox opt;
                opt.initFrom(combo);
                opt.editable = combo->isEditable();
                opt.frame = combo->hasFrame();
                opt.currentText = combo->currentText();
                const QRect field = combo->style()->subControlRect(QStyle::CC_ComboBox, &opt,
                                                                   QStyle::SC_ComboBoxEditField, combo);
                room(w, combo->currentText(), fm.horizontalAdvance(combo->currentText()), field.width());
            } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
                // What the user does not type: read-only and disabled boxes, and every number.
                if (edit->text().isEmpty() || edit->echoMode() != QLineEdit::Normal) continue;
                if (!edit->isReadOnly() && edit->isEnabled() && !isNumber(edit->text())) continue;
                if (qobject_cast<QComboBox*>(edit->parentWidget())) continue;
                const QMargins m = edit->textMargins();
                const int frame =
                    edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
                room(w, edit->text(), fm.horizontalAdvance(edit->text()),
                     edit->width() - 2 * frame - m.left() - m.right() - 4);
            } else if (auto* g = qobject_cast<QGroupBox*>(w)) {
                room(w, g->title(), fm.horizontalAdvance(g->title()), g->width() - 8);
            } else if (w->objectName() == QLatin1String("qt_calendar_calendarview")) {
                calendarHeader(qobject_cast<QTableView*>(w));
            } else if (auto* t = qobject_cast<QTableView*>(w)) {
                table(t);
            }
        }
    }

    // The row of day names at the top of a calendar.
    void calendarHeader(QTableView* view) {
        const QAbstractItemModel* m = view->model();
        for (int c = 0; c < m->columnCount(); ++c) {
            const QString name = m->data(m->index(0, c)).toString();
            if (name.isEmpty()) continue;
            room(view, name, view->fontMetrics().horizontalAdvance(name) + 2, view->columnWidth(c));
        }
    }

    void table(QTableView* t) {
        const QAbstractItemModel* m = t->model();
        const int margin = 2 * (t->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, t) + 1);
        const QHeaderView* header = t->horizontalHeader();
        const int headerMargin = 2 * t->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
        const int firstRow = std::max(0, t->rowAt(0));
        const int lastRow = t->rowAt(t->viewport()->height() - 1) < 0 ? m->rowCount() - 1
                                                                      : t->rowAt(t->viewport()->height() - 1);
        for (int c = 0; c < m->columnCount(); ++c) {
            if (t->isColumnHidden(c)) continue;
            const int x = t->columnViewportPosition(c);
            if (x >= t->viewport()->width() || x + t->columnWidth(c) > t->viewport()->width()) continue;
            const QString head = m->headerData(c, Qt::Horizontal).toString();
            if (header->isVisible())
                room(t, head, QFontMetrics(header->font()).horizontalAdvance(head) + headerMargin,
                     header->sectionSize(c));
            for (int r = firstRow; r <= std::min(lastRow, firstRow + 40); ++r) {
                const QString text = m->data(m->index(r, c)).toString();
                room(t, text, t->fontMetrics().horizontalAdvance(text) + margin, t->columnWidth(c));
            }
        }
    }

    // Every caption of the page control whole, inside the control.
    void tabs(TPageControl* pc) {
        for (int i = 0; i < pc->PageCount(); ++i) {
            const QString text = pc->Page(i)->Caption();
            const QRect r = pc->tabRect(i);
            room(pc, text, pc->fontMetrics().horizontalAdvance(text) + 4, r.width());
            if (r.right() >= pc->width())
                fail(pc, QStringLiteral("tab \"%1\" beyond the right edge").arg(text));
        }
    }
};

} // namespace

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void textsFitAtEverySize_data();
    void textsFitAtEverySize();
    void stateComesBackAfterRestart_data();
    void stateComesBackAfterRestart();
    void keyboardAlone();
    void darkPaletteStaysReadable();

private:
    static void settle(TForm1& form, QSize inner) {
        form.resize(inner);
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QTest::qWait(20);
        }
    }
};

void TestWindow::textsFitAtEverySize_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<double>("fontScale");
    QTest::newRow("minimum") << TForm1::kMinimumSize << 1.0;
    QTest::newRow("design") << TForm1::kDesignSize << 1.0;
    QTest::newRow("1920x1080") << QSize(1920, 1080) << 1.0;
    QTest::newRow("design, larger font") << TForm1::kDesignSize << 1.25;
    QTest::newRow("1920x1080, larger font") << QSize(1920, 1080) << 1.25;
}

void TestWindow::textsFitAtEverySize() {
    QFETCH(QSize, size);
    QFETCH(double, fontScale);
    WindowFixture w;
    QVERIFY(w.open());
    TForm1& form = *w.form;
    Controls c(&form);
    const QString file = writeDayFile(w.work.path());
    form.OpenFile(file);
    // A renamed channel's caption on its tab.
    c.get<QLineEdit>("T1Name")->setText(QStringLiteral("Cold store, north wall (deg.C)"));
    if (fontScale != 1.0) {
        QFont f = form.font();
        f.setPointSizeF(f.pointSizeF() * fontScale);
        form.setFont(f);
    }
    // The window's minimum fits a 960x540 screen with its frame.
    QVERIFY(form.minimumSize().width() + 8 <= 960 && form.minimumSize().height() + 32 <= 540);

    TPageControl* pc = c.PageControl1();
    QHash<QString, QSize> designed;
    settle(form, TForm1::kDesignSize);
    for (int i = 0; i < pc->PageCount(); ++i) {
        pc->setActivePageIndex(i);
        QCoreApplication::processEvents();
        for (const TDecisionGraph* g : pc->Page(i)->findChildren<TDecisionGraph*>())
            designed[g->objectName()] = g->size();
        designed[QStringLiteral("StringGrid1")] = c.get<QWidget>("StringGrid1")->size();
    }
    settle(form, size);
    QCOMPARE(form.size(), size);

    TextWalk walk;
    walk.designSize = size == TForm1::kDesignSize && fontScale == 1.0;
    walk.tabs(pc);
    for (int i = 0; i < pc->PageCount(); ++i) {
        pc->setActivePageIndex(i);
        QCoreApplication::processEvents();
        walk.walk(pc->Page(i));
    }
    QVERIFY2(walk.problems.isEmpty(), qPrintable(walk.problems.join(QLatin1Char('\n'))));

    // The statistics show the minimum with its sign.
    auto* stats = c.get<QTableWidget>("StatisticsTable");
    QCOMPARE(stats->item(0, 1)->text(), QStringLiteral("-135.9"));

    // Added room goes to the charts and the table.
    if (size.width() > TForm1::kDesignSize.width() && size.height() > TForm1::kDesignSize.height()) {
        const QSize added = size - TForm1::kDesignSize;
        auto grew = [&](const char* name) {
            const QWidget* g = c.get<QWidget>(name);
            return g->size() - designed.value(QString::fromLatin1(name));
        };
        for (const char* channel : {"DecisionGraphT1", "DecisionGraphA2", "DecisionGraphA4"}) {
            const QSize d = grew(channel);
            QVERIFY2(d.width() >= 0.7 * added.width() && d.height() >= 0.7 * added.height(),
                     qPrintable(QStringLiteral("%1 grew by %2x%3 of %4x%5")
                                    .arg(QString::fromLatin1(channel))
                                    .arg(d.width())
                                    .arg(d.height())
                                    .arg(added.width())
                                    .arg(added.height())));
        }
        const int chartsWidth = grew("Chart1").width() + grew("Chart2").width();
        QVERIFY2(chartsWidth >= 0.7 * added.width(), qPrintable(QString::number(chartsWidth)));
        const int tableAndCharts = grew("StringGrid1").height() + grew("Chart1").height();
        QVERIFY2(tableAndCharts >= 0.7 * added.height(), qPrintable(QString::number(tableAndCharts)));
    }
}

void TestWindow::stateComesBackAfterRestart_data() {
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("maximised");
    QTest::addColumn<int>("page");
    QTest::newRow("smaller, a channel page") << QSize(1000, 600) << false << 4;
    QTest::newRow("maximised, the CSV page") << QSize(1100, 650) << true << 1;
    QTest::newRow("larger than the screen") << QSize(1900, 1100) << false << 0;
}

void TestWindow::stateComesBackAfterRestart() {
    QFETCH(QSize, size);
    QFETCH(bool, maximised);
    QFETCH(int, page);
    WindowFixture w;
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(area.size(), kScreen);
    // The first start opens at the design size, inside the free area.
    QVERIFY(w.open({}, true));
    QCOMPARE(w.form->size(), TForm1::kDesignSize);
    QVERIFY(area.contains(w.form->frameGeometry()));

    Controls c(w.form.get());
    w.form->resize(size);
    auto* splitter = c.get<QSplitter>("CsvSplitter");
    c.PageControl1()->setActivePageIndex(1);
    QCoreApplication::processEvents();
    const int total = splitter->sizes().value(0) + splitter->sizes().value(1);
    splitter->setSizes({total / 3, total - total / 3});
    const QList<int> moved = splitter->sizes();
    c.PageControl1()->setActivePageIndex(page);
    if (maximised) w.form->showMaximized();
    QCoreApplication::processEvents();
    QVERIFY(w.form->close());
    w.close();

    QVERIFY(w.open({}, true));
    Controls again(w.form.get());
    QCOMPARE(w.form->isMaximized(), maximised);
    QCOMPARE(again.PageControl1()->ActivePageIndex(), page);
    QVERIFY2(area.contains(w.form->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                    .arg(w.form->frameGeometry().x())
                                                                    .arg(w.form->frameGeometry().y())
                                                                    .arg(w.form->frameGeometry().width())
                                                                    .arg(w.form->frameGeometry().height())));
    if (!maximised) {
        if (size.width() <= area.width() - 8 && size.height() <= area.height() - 32) {
            QCOMPARE(w.form->size(), size);
            again.PageControl1()->setActivePageIndex(1);
            QCoreApplication::processEvents();
            QCOMPARE(again.get<QSplitter>("CsvSplitter")->sizes(), moved);
        }
    }
}

void TestWindow::keyboardAlone() {
    WindowFixture w;
    QVERIFY(w.open());
    TForm1& form = *w.form;
    Controls c(&form);
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));

    // Tab from the first control of a page walks its controls in reading order.
    auto walk = [&](const QStringList& order) {
        QStringList expected;
        for (const QString& name : order) {
            const QWidget* ctl = form.findChild<QWidget*>(name);
            if (ctl && ctl->isVisible() && ctl->isEnabled()) expected << name;
        }
        QWidget* first = form.findChild<QWidget*>(expected.first());
        first->setFocus(Qt::TabFocusReason);
        QStringList seen{expected.first()};
        for (int i = 0; i < 3 * expected.size() && seen.size() < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* f = QApplication::focusWidget();
            while (f && !order.contains(f->objectName()))
                f = f->parentWidget();
            if (f && seen.last() != f->objectName()) seen << f->objectName();
        }
        return std::pair{seen, expected};
    };
    const QStringList transfer{"MakeDirFTP",
                               "MkDirFTPbtn",
                               "RenameDirFTPbtn",
                               "DeleteAllFTPButtonEnable",
                               "sDirectory",
                               "sFile",
                               "FileListBoxFTPdir",
                               "FileListBoxFTP",
                               "CopyFromDate",
                               "CopySelected",
                               "CopyAll",
                               "MoveSelected",
                               "MoveAll",
                               "MakeDirPC",
                               "MkDirPC",
                               "LocalFile",
                               "DriveComboBox4",
                               "FileListBoxPC",
                               "DirectoryListBoxPC",
                               "MonthCalendar1",
                               "Memo1",
                               "HostTxt",
                               "PortTxt",
                               "UserTxt",
                               "PassTxt",
                               "DataModeBox",
                               "SecurityBox",
                               "ConnectBtn",
                               "DisConnectBtn",
                               "RefreshBtn",
                               "ExitBtn"};
    const QStringList csv{"DriveComboBox1",  "DirectoryListBox1",
                          "FileListBox1",    "FileListBox8",
                          "ScrollBar1",      "ScrollBar2",
                          "Xmode",           "StatisticsTable",
                          "DateTimePicker1", "DateTimePicker2",
                          "RunButton",       "StringGrid1",
                          "Chart1",          "Chart2",
                          "ExitButton"};
    const QStringList analog{"DecisionGraphA1", "A1Name",  "ScrollBarA1",
                             "ScrollBarA01",    "Button5", "PrintA1"};
    for (const auto& [page, order] : {std::pair{0, transfer}, std::pair{1, csv}, std::pair{6, analog}}) {
        c.PageControl1()->setActivePageIndex(page);
        QCoreApplication::processEvents();
        const auto [seen, expected] = walk(order);
        QCOMPARE(seen, expected);
        // Every control says what it is to a screen reader.
        for (QWidget* ctl : c.PageControl1()->Page(page)->findChildren<QWidget*>()) {
            if (ctl->focusPolicy() == Qt::NoFocus || !ctl->isVisible() ||
                ctl->objectName().startsWith(QLatin1String("qt_")))
                continue;
            if (ctl->objectName().isEmpty()) continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(ctl);
            QVERIFY2(a && !a->text(QAccessible::Name).trimmed().isEmpty(), qPrintable(ctl->objectName()));
        }
    }

    // Enter in the password box connects.
    c.PageControl1()->setActivePageIndex(0);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    int connections = 0;
    connect(&server, &QTcpServer::newConnection, &server, [&] {
        while (QTcpSocket* s = server.nextPendingConnection()) {
            ++connections;
            s->write("421 Too many users\r\n");
            s->disconnectFromHost();
        }
    });
    c.get<QLineEdit>("HostTxt")->setText(QStringLiteral("127.0.0.1"));
    c.get<QLineEdit>("PortTxt")->setText(QString::number(server.serverPort()));
    c.get<QLineEdit>("UserTxt")->setText(QStringLiteral("user"));
    QLineEdit* pass = c.get<QLineEdit>("PassTxt");
    pass->setFocus();
    QTest::keyClick(pass, Qt::Key_Return);
    QTRY_COMPARE(connections, 1);
}

void TestWindow::darkPaletteStaysReadable() {
    // A dark palette from the start, as a desktop's theme gives it.
    const QPalette light = QApplication::palette();
    QApplication::setPalette(DarkTestPalette());
    auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
    WindowFixture w;
    QVERIFY(w.open());
    TForm1& form = *w.form;
    Controls c(&form);
    form.OpenFile(writeDayFile(w.work.path()));
    QCoreApplication::processEvents();

    QStringList unreadable;
    auto check = [&](const QWidget* w, const QColor& text, const QColor& back, double least) {
        const double ratio = layout::contrast(text, back);
        if (ratio < least)
            unreadable << QStringLiteral("%1: %2 on %3 (%4)")
                              .arg(w->objectName(), text.name(), back.name())
                              .arg(ratio);
    };
    // What a box shows, as drawn: its background beside the frame, and its text,
    // the drawn colour that stands out most from that background.
    auto drawn = [&](QWidget* w) {
        const QImage image = w->grab().toImage();
        if (image.width() < 12 || image.height() < 8) return;
        const QColor back = image.pixelColor(image.width() - 5, image.height() / 2);
        QColor text = back;
        for (int y = 2; y < image.height() - 2; ++y)
            for (int x = 2; x < image.width() - 2; ++x)
                if (const QColor px = image.pixelColor(x, y);
                    layout::contrast(px, back) > layout::contrast(text, back))
                    text = px;
        check(w, text, back, 4.5);
    };
    c.get<QPlainTextEdit>("Memo1")->appendPlainText(QStringLiteral("220 Service ready"));
    TPageControl* pc = c.PageControl1();
    for (int i = 0; i < pc->PageCount(); ++i) {
        pc->setActivePageIndex(i);
        QCoreApplication::processEvents();
        for (QWidget* w : pc->Page(i)->findChildren<QWidget*>()) {
            if (!w->isVisible() || w->objectName().isEmpty() ||
                w->objectName().startsWith(QLatin1String("qt_")))
                continue;
            const QPalette& p = w->palette();
            const QPalette::ColorGroup g = w->isEnabled() ? QPalette::Active : QPalette::Disabled;
            if (qobject_cast<QAbstractItemView*>(w))
                check(w, p.color(g, QPalette::Text), p.color(g, QPalette::Base), 4.5);
            else if (auto* e = qobject_cast<QLineEdit*>(w); e && !e->text().isEmpty())
                drawn(w);
            else if (qobject_cast<QPlainTextEdit*>(w))
                drawn(w);
            else if (qobject_cast<QLabel*>(w) || qobject_cast<QCheckBox*>(w))
                check(w, p.color(g, w->foregroundRole()), p.color(g, QPalette::Window), 4.5);
            if (auto* chart = qobject_cast<TDecisionGraph*>(w)) {
                check(chart, chart->inkColour(), chart->backgroundColour(), 4.5);
                for (const char* name : {"Series1", "Series2", "Series6", "Series7", "Series8", "Series9",
                                         "FastLineSeries1", "FastLineSeries6", "FastLineSeries9"})
                    if (const TChartSeries* s = chart->findSeries(QString::fromLatin1(name)))
                        check(chart, chart->shownColour(s), chart->backgroundColour(), 2.5);
            }
        }
    }
    // The table's text readable; rows marked red stay red, readable too.
    auto* grid = c.get<TStringGrid>("StringGrid1");
    auto cellColour = [grid] {
        const QVariant v = grid->model()->data(grid->model()->index(0, 0), Qt::ForegroundRole);
        return v.canConvert<QColor>() ? v.value<QColor>() : grid->palette().color(QPalette::Text);
    };
    check(grid, cellColour(), grid->palette().color(QPalette::Base), 4.5);
    grid->setFontColor(Qt::red);
    const QColor red = cellColour();
    QVERIFY(red.red() > 2 * red.green());
    check(grid, red, grid->palette().color(QPalette::Base), 4.5);
    QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(QLatin1Char('\n'))));

    // Printouts and images stay dark on white.
    auto* chart = c.get<TDecisionGraph>("Chart1");
    const QImage image = chart->renderImage(QSize(400, 300));
    QCOMPARE(image.pixelColor(2, 2), QColor(Qt::white));
    QVERIFY(layout::contrast(chart->backgroundColour(), Qt::white) > 4.5); // the screen kept its colours
}

// The tests run on a screen of a 1366x768 laptop.
int main(int argc, char** argv) {
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screens.json"));
    QFile f(config);
    if (!f.open(QIODevice::WriteOnly)) return 1;
    f.write(QStringLiteral(
                "{\"screens\": [{\"name\": \"laptop\", \"x\": 0, \"y\": 0, \"width\": %1, \"height\": %2, "
                "\"logicalDpi\": 96, \"physicalWidth\": 344, \"physicalHeight\": 193}]}")
                .arg(kScreen.width())
                .arg(kScreen.height())
                .toUtf8());
    f.close();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(config));
    TApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    app.setQuitOnLastWindowClosed(false);
    FakePlatform platform;
    TestWindow tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "window_test.moc"
