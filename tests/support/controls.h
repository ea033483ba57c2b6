// The main window's controls, found by the names a user, a screenshot or an
// accessibility tool knows them by; the pages' handlers, called by their names.
#pragma once

#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "charts/decisiongraph.h"
#include "localfiles/folderlists.h"
#include "logdata/stringgrid.h"
#include "transfer/ftpsession.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <memory>

class Controls {
public:
    explicit Controls(const QWidget* window) : m_window(window) {}

    // The control of that name and type; a test that asks for a missing one fails loudly.
    template <class T> T* get(const char* name) const {
        T* c = m_window->findChild<T*>(QString::fromLatin1(name));
        if (!c) qFatal("no control named %s", name);
        return c;
    }
    // A series of any chart of the window, by its name.
    TChartSeries* series(const char* name) const {
        for (TDecisionGraph* g : m_window->findChildren<TDecisionGraph*>())
            if (TChartSeries* s = g->findSeries(QString::fromLatin1(name))) return s;
        qFatal("no series named %s", name);
        return nullptr;
    }
    // The FTP session of the transfer page.
    FtpSession& session() const { return *get<FtpSession>("FtpSession"); }
    // Runs the handler of that name on the window or the page that has it.
    void invoke(const char* handler) const {
        const QByteArray signature = QByteArray(handler) + "()";
        QList<QObject*> owners{const_cast<QWidget*>(m_window)};
        for (QWidget* w : m_window->findChildren<QWidget*>())
            owners << w;
        for (QObject* o : owners)
            if (o->metaObject()->indexOfMethod(signature) >= 0) {
                QMetaObject::invokeMethod(o, handler, Qt::DirectConnection);
                return;
            }
        qFatal("no handler named %s", handler);
    }
    TPageControl* PageControl1() const { return get<TPageControl>("PageControl1"); }
    TTabSheet* TabSheet1() const { return get<TTabSheet>("TabSheet1"); }
    TTabSheet* TabSheet2() const { return get<TTabSheet>("TabSheet2"); }
    TTabSheet* TabSheet3() const { return get<TTabSheet>("TabSheet3"); }
    TTabSheet* TabSheet4() const { return get<TTabSheet>("TabSheet4"); }
    TTabSheet* TabSheet5() const { return get<TTabSheet>("TabSheet5"); }
    TTabSheet* TabSheet6() const { return get<TTabSheet>("TabSheet6"); }
    TTabSheet* TabSheet7() const { return get<TTabSheet>("TabSheet7"); }
    TTabSheet* TabSheet8() const { return get<TTabSheet>("TabSheet8"); }
    TTabSheet* TabSheet9() const { return get<TTabSheet>("TabSheet9"); }
    TTabSheet* TabSheet10() const { return get<TTabSheet>("TabSheet10"); }
    QStatusBar* StatusBar1() const { return get<QStatusBar>("StatusBar1"); }
    QAction* Print1() const { return get<QAction>("Print1"); }
    QAction* Print2() const { return get<QAction>("Print2"); }
    QAction* Exit1() const { return get<QAction>("Exit1"); }
    QAction* SaveSetting1() const { return get<QAction>("SaveSetting1"); }
    QAction* MenuItem1() const { return get<QAction>("MenuItem1"); }
    QAction* MenuItem2() const { return get<QAction>("MenuItem2"); }
    QAction* MenuItem3() const { return get<QAction>("MenuItem3"); }
    QAction* Delete1() const { return get<QAction>("Delete1"); }
    QAction* Delete2() const { return get<QAction>("Delete2"); }
    QAction* Delete3() const { return get<QAction>("Delete3"); }
    QAction* DeleteAll1() const { return get<QAction>("DeleteAll1"); }
    QAction* DeleteAll2() const { return get<QAction>("DeleteAll2"); }
    QAction* Refresh1() const { return get<QAction>("Refresh1"); }
    QAction* Refresh2() const { return get<QAction>("Refresh2"); }
    QAction* Refresh3() const { return get<QAction>("Refresh3"); }
    TDecisionGraph* Chart1() const { return get<TDecisionGraph>("Chart1"); }
    TDecisionGraph* Chart2() const { return get<TDecisionGraph>("Chart2"); }
    TDecisionGraph* DecisionGraphT1() const { return get<TDecisionGraph>("DecisionGraphT1"); }
    TDecisionGraph* DecisionGraphT2() const { return get<TDecisionGraph>("DecisionGraphT2"); }
    TDecisionGraph* DecisionGraphT3() const { return get<TDecisionGraph>("DecisionGraphT3"); }
    TDecisionGraph* DecisionGraphT4() const { return get<TDecisionGraph>("DecisionGraphT4"); }
    TDecisionGraph* DecisionGraphA1() const { return get<TDecisionGraph>("DecisionGraphA1"); }
    TDecisionGraph* DecisionGraphA2() const { return get<TDecisionGraph>("DecisionGraphA2"); }
    TDecisionGraph* DecisionGraphA3() const { return get<TDecisionGraph>("DecisionGraphA3"); }
    TDecisionGraph* DecisionGraphA4() const { return get<TDecisionGraph>("DecisionGraphA4"); }
    QLineEdit* T1Name() const { return get<QLineEdit>("T1Name"); }
    QLineEdit* T2Name() const { return get<QLineEdit>("T2Name"); }
    QLineEdit* C1Name() const { return get<QLineEdit>("C1Name"); }
    QLineEdit* C2Name() const { return get<QLineEdit>("C2Name"); }
    QLineEdit* A1Name() const { return get<QLineEdit>("A1Name"); }
    QLineEdit* A2Name() const { return get<QLineEdit>("A2Name"); }
    QLineEdit* A3Name() const { return get<QLineEdit>("A3Name"); }
    QLineEdit* MulA1() const { return get<QLineEdit>("MulA1"); }
    QLineEdit* MulA2() const { return get<QLineEdit>("MulA2"); }
    QLineEdit* MulA3() const { return get<QLineEdit>("MulA3"); }
    QLineEdit* TLEVEL() const { return get<QLineEdit>("TLEVEL"); }
    QLineEdit* ALEVEL() const { return get<QLineEdit>("ALEVEL"); }
    QLineEdit* HostTxt() const { return get<QLineEdit>("HostTxt"); }
    QLineEdit* PortTxt() const { return get<QLineEdit>("PortTxt"); }
    QLineEdit* UserTxt() const { return get<QLineEdit>("UserTxt"); }
    QLineEdit* PassTxt() const { return get<QLineEdit>("PassTxt"); }
    QLineEdit* cSTATUS() const { return get<QLineEdit>("cSTATUS"); }
    QLineEdit* StatusLine() const { return get<QLineEdit>("StatusLine"); }
    QLineEdit* sDirectory() const { return get<QLineEdit>("sDirectory"); }
    QLineEdit* sFile() const { return get<QLineEdit>("sFile"); }
    QLineEdit* MakeDirFTP() const { return get<QLineEdit>("MakeDirFTP"); }
    QLineEdit* MakeDirPC() const { return get<QLineEdit>("MakeDirPC"); }
    QLineEdit* LocalFile() const { return get<QLineEdit>("LocalFile"); }
    QLineEdit* ProxyServer() const { return get<QLineEdit>("ProxyServer"); }
    QLineEdit* ProxyPort() const { return get<QLineEdit>("ProxyPort"); }
    QScrollBar* ScrollBar1() const { return get<QScrollBar>("ScrollBar1"); }
    QScrollBar* ScrollBar2() const { return get<QScrollBar>("ScrollBar2"); }
    QScrollBar* ScrollBarA1() const { return get<QScrollBar>("ScrollBarA1"); }
    QScrollBar* ScrollBarA01() const { return get<QScrollBar>("ScrollBarA01"); }
    QScrollBar* ScrollBarA2() const { return get<QScrollBar>("ScrollBarA2"); }
    QScrollBar* ScrollBarA02() const { return get<QScrollBar>("ScrollBarA02"); }
    QScrollBar* ScrollBarA3() const { return get<QScrollBar>("ScrollBarA3"); }
    QScrollBar* ScrollBarA03() const { return get<QScrollBar>("ScrollBarA03"); }
    QPushButton* Button5() const { return get<QPushButton>("Button5"); }
    QPushButton* Button3() const { return get<QPushButton>("Button3"); }
    QPushButton* Button6() const { return get<QPushButton>("Button6"); }
    QPushButton* PrintT1() const { return get<QPushButton>("PrintT1"); }
    QPushButton* PrintT2() const { return get<QPushButton>("PrintT2"); }
    QPushButton* PrintT3() const { return get<QPushButton>("PrintT3"); }
    QPushButton* PrintT4() const { return get<QPushButton>("PrintT4"); }
    QPushButton* PrintA1() const { return get<QPushButton>("PrintA1"); }
    QPushButton* PrintA2() const { return get<QPushButton>("PrintA2"); }
    QPushButton* PrintA3() const { return get<QPushButton>("PrintA3"); }
    QPushButton* PrintA4() const { return get<QPushButton>("PrintA4"); }
    QPushButton* ConnectBtn() const { return get<QPushButton>("ConnectBtn"); }
    QPushButton* DisConnectBtn() const { return get<QPushButton>("DisConnectBtn"); }
    QPushButton* RefreshBtn() const { return get<QPushButton>("RefreshBtn"); }
    QPushButton* ExitBtn() const { return get<QPushButton>("ExitBtn"); }
    QPushButton* ExitButton() const { return get<QPushButton>("ExitButton"); }
    QPushButton* CopySelected() const { return get<QPushButton>("CopySelected"); }
    QPushButton* CopyAll() const { return get<QPushButton>("CopyAll"); }
    QPushButton* MoveSelected() const { return get<QPushButton>("MoveSelected"); }
    QPushButton* MoveAll() const { return get<QPushButton>("MoveAll"); }
    QPushButton* CopyFromDate() const { return get<QPushButton>("CopyFromDate"); }
    QPushButton* CopySelectedCancel() const { return get<QPushButton>("CopySelectedCancel"); }
    QPushButton* CopyAllCancel() const { return get<QPushButton>("CopyAllCancel"); }
    QPushButton* MoveSelectedCancel() const { return get<QPushButton>("MoveSelectedCancel"); }
    QPushButton* MoveAllCancel() const { return get<QPushButton>("MoveAllCancel"); }
    QPushButton* CopyFromDateCancel() const { return get<QPushButton>("CopyFromDateCancel"); }
    QPushButton* MkDirFTPbtn() const { return get<QPushButton>("MkDirFTPbtn"); }
    QPushButton* RenameDirFTPbtn() const { return get<QPushButton>("RenameDirFTPbtn"); }
    QPushButton* MkDirPC() const { return get<QPushButton>("MkDirPC"); }
    QPushButton* RunButton() const { return get<QPushButton>("RunButton"); }
    QCheckBox* Xmode() const { return get<QCheckBox>("Xmode"); }
    QCheckBox* DeleteAllFTPButtonEnable() const { return get<QCheckBox>("DeleteAllFTPButtonEnable"); }
    QCheckBox* CheckBox1() const { return get<QCheckBox>("CheckBox1"); }
    QLabel* vFileName() const { return get<QLabel>("vFileName"); }
    QLabel* LocalFiles1cnt() const { return get<QLabel>("LocalFiles1cnt"); }
    QLabel* RemoteFiles1cnt() const { return get<QLabel>("RemoteFiles1cnt"); }
    QLabel* FromDateTime() const { return get<QLabel>("FromDateTime"); }
    TFileListBox* FileListBox1() const { return get<TFileListBox>("FileListBox1"); }
    TFileListBox* FileListBox8() const { return get<TFileListBox>("FileListBox8"); }
    TFileListBox* FileListBoxPC() const { return get<TFileListBox>("FileListBoxPC"); }
    TDirectoryListBox* DirectoryListBox1() const { return get<TDirectoryListBox>("DirectoryListBox1"); }
    TDirectoryListBox* DirectoryListBox2() const { return get<TDirectoryListBox>("DirectoryListBox2"); }
    TDirectoryListBox* DirectoryListBoxPC() const { return get<TDirectoryListBox>("DirectoryListBoxPC"); }
    TDriveComboBox* DriveComboBox1() const { return get<TDriveComboBox>("DriveComboBox1"); }
    TDriveComboBox* DriveComboBox4() const { return get<TDriveComboBox>("DriveComboBox4"); }
    TLinkedListBox* FileListBoxFTP() const { return get<TLinkedListBox>("FileListBoxFTP"); }
    TLinkedListBox* FileListBoxFTPdir() const { return get<TLinkedListBox>("FileListBoxFTPdir"); }
    QPlainTextEdit* Memo1() const { return get<QPlainTextEdit>("Memo1"); }
    QCalendarWidget* MonthCalendar1() const { return get<QCalendarWidget>("MonthCalendar1"); }
    QCalendarWidget* MonthCalendar2() const { return get<QCalendarWidget>("MonthCalendar2"); }
    QDateEdit* DateTimePicker1() const { return get<QDateEdit>("DateTimePicker1"); }
    QDateEdit* DateTimePicker2() const { return get<QDateEdit>("DateTimePicker2"); }
    TStringGrid* StringGrid1() const { return get<TStringGrid>("StringGrid1"); }
    TChartSeries* Series1() const { return series("Series1"); }
    TChartSeries* Series2() const { return series("Series2"); }
    TChartSeries* Series3() const { return series("Series3"); }
    TChartSeries* Series5() const { return series("Series5"); }
    TChartSeries* Series6() const { return series("Series6"); }
    TChartSeries* Series7() const { return series("Series7"); }
    TChartSeries* Series8() const { return series("Series8"); }
    TChartSeries* Series9() const { return series("Series9"); }
    TChartSeries* Series10() const { return series("Series10"); }
    TChartSeries* Series11() const { return series("Series11"); }
    TChartSeries* Series12() const { return series("Series12"); }
    TChartSeries* Series13() const { return series("Series13"); }
    TChartSeries* Series14() const { return series("Series14"); }
    TChartSeries* FastLineSeries1() const { return series("FastLineSeries1"); }
    TChartSeries* FastLineSeries2() const { return series("FastLineSeries2"); }
    TChartSeries* FastLineSeries3() const { return series("FastLineSeries3"); }
    TChartSeries* FastLineSeries4() const { return series("FastLineSeries4"); }
    TChartSeries* FastLineSeries5() const { return series("FastLineSeries5"); }
    TChartSeries* FastLineSeries6() const { return series("FastLineSeries6"); }
    TChartSeries* FastLineSeries7() const { return series("FastLineSeries7"); }
    TChartSeries* FastLineSeries8() const { return series("FastLineSeries8"); }
    TChartSeries* FastLineSeries9() const { return series("FastLineSeries9"); }
    TChartSeries* FastLineSeries10() const { return series("FastLineSeries10"); }

private:
    const QWidget* m_window;
};

inline Controls c(const QWidget& window) {
    return Controls(&window);
}
inline Controls c(const QWidget* window) {
    return Controls(window);
}
inline Controls c(const std::unique_ptr<TForm1>& window) {
    return Controls(window.get());
}
