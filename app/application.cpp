#include "app/application.h"

#include "app/platform/platform.h"
#include "ftp/ftperrors.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(kApplicationTitle));
}

void ShowStandardError(const std::exception& e) {
    // An engine wait ended because the window is closing or the engine is going away:
    // nothing went wrong that the user should hear of.
    if (dynamic_cast<const EAbortError*>(&e)) return;
    Platform::instance().showError(StandardErrorText(QString::fromStdString(e.what())));
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowStandardError(e);
    } catch (...) {
        Platform::instance().showError(QStringLiteral("Unexpected error."));
    }
    return false;
}
