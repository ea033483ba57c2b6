// Builds the main window, loads a logger file and saves a picture of a page:
//   tervane_screenshot FILE.csv OUT.png [PAGE-INDEX [FIRST LAST TRACKER LOW HIGH LEVEL]]
// With the zoom arguments, the T level is LEVEL and the time axis on; the page's
// chart is zoomed to points FIRST..LAST and values LOW..HIGH, the tracker on
// point TRACKER.
// With TERVANE_SHOT_PORT set, the window logs on to that port as it starts.
// TERVANE_SHOT_SIZE=WxH sizes the window inside its frame (the design size
// without it; "max": maximised);
// TERVANE_SHOT_DARK=1 gives the application a dark palette.
#include "app/application.h"
#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "controls.h"
#include "darkpalette.h"
#include "fakeplatform.h"
#include "localfiles/folderlists.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPalette>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FILE.csv OUT.png [PAGE-INDEX]\n", argv[0]);
        return 2;
    }
    TApplication app(argc, argv);
    FakePlatform platform;
    if (qEnvironmentVariableIntValue("TERVANE_SHOT_DARK")) {
        QApplication::setPalette(DarkTestPalette());
    }
    const QFileInfo file(QString::fromLocal8Bit(argv[1]));
    QDir::setCurrent(file.absolutePath());
    TForm1 form;
    // TERVANE_SHOT_PORT: the FTP port to log on to (the csv.cfg of the folder names host and account).
    if (qEnvironmentVariableIsSet("TERVANE_SHOT_PORT"))
        c(form).PortTxt()->setText(QString::fromLocal8Bit(qgetenv("TERVANE_SHOT_PORT")));
    // TERVANE_SHOT_AT_START: the file is given as "tervane640 FILE" gives it, read
    // under the csv.cfg of its folder once start-up has applied it.
    const bool atStart = qEnvironmentVariableIsSet("TERVANE_SHOT_AT_START");
    if (atStart) form.OpenFileAtStart(file.absoluteFilePath());
    // The design size unless asked otherwise, whatever the platform's screen.
    const QString size = qEnvironmentVariable("TERVANE_SHOT_SIZE");
    if (size == QLatin1String("max")) {
        form.showMaximized();
    } else {
        form.show();
        form.resize(size.isEmpty() ? TForm1::kDesignSize
                                   : QSize(size.section(QLatin1Char('x'), 0, 0).toInt(),
                                           size.section(QLatin1Char('x'), 1, 1).toInt()));
    }
    if (atStart)
        while (!form.Initialised())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    c(form).PageControl1()->setActivePageIndex(argc > 3 ? std::atoi(argv[3]) : 1);
    const bool zoom = argc > 9;
    if (zoom) {
        c(form).Xmode()->setChecked(true);
        c(form).ScrollBar1()->setValue(std::atoi(argv[9]));
    }
    // TERVANE_SHOT_ACCOUNT="HOST USER PASSWORD": logs on with that account (and TERVANE_SHOT_PORT).
    if (const QStringList account = qEnvironmentVariable("TERVANE_SHOT_ACCOUNT").split(QLatin1Char(' '));
        account.size() == 3) {
        // After the start-up, which empties the account of a first start.
        QTimer::singleShot(200, &form, [&form, account] {
            c(form).HostTxt()->setText(account[0]);
            c(form).UserTxt()->setText(account[1]);
            c(form).PassTxt()->setText(account[2]);
            c(form).invoke("ConnectBtnClick");
        });
    }
    if (!atStart) {
        c(form).FileListBox1()->selectName(file.fileName());
        c(form).invoke("FileListBox1DblClick");
    }
    const QString out = QString::fromLocal8Bit(argv[2]);
    if (zoom) {
        auto* page = c(form).PageControl1()->ActivePage();
        if (auto* g = page->findChild<TDecisionGraph*>()) {
            g->zoomX(std::atof(argv[4]), std::atof(argv[5]));
            g->zoomY(std::atof(argv[7]), std::atof(argv[8]));
            g->setTrackerIndex(std::atoi(argv[6]));
        }
    }
    QTimer::singleShot(qEnvironmentVariableIsSet("TERVANE_SHOT_ACCOUNT") ? 1500 : 300, [&] {
        form.grab().save(out);
        app.quit();
    });
    return app.exec();
}
