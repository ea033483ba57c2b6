// Builds the main window, loads a logger file and saves a picture of a page:
//   tervane_screenshot FILE.csv OUT.png [PAGE-INDEX [FIRST LAST TRACKER LOW HIGH LEVEL]]
// With the zoom arguments, the T level is LEVEL and the time axis on; the page's
// chart is zoomed to points FIRST..LAST and values LOW..HIGH, the tracker on
// point TRACKER.
// With TERVANE_SHOT_PORT set, the window logs on to that port as it starts.
#include "app/application.h"
#include "app/mainwindow.h"
#include "app/pagecontrol.h"
#include "controls.h"
#include "fakeplatform.h"
#include "localfiles/folderlists.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s FILE.csv OUT.png [PAGE-INDEX]\n", argv[0]);
        return 2;
    }
    TApplication app(argc, argv);
    FakePlatform platform;
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
    form.show();
    if (atStart)
        while (!form.Initialised())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    c(form).PageControl1()->setActivePageIndex(argc > 3 ? std::atoi(argv[3]) : 1);
    const bool zoom = argc > 9;
    if (zoom) {
        c(form).Xmode()->setChecked(true);
        c(form).ScrollBar1()->setValue(std::atoi(argv[9]));
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
    QTimer::singleShot(300, [&] {
        form.grab().save(out);
        app.quit();
    });
    return app.exec();
}
