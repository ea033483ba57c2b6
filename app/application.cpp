#include "app/application.h"

#include "app/platform/platform.h"

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QString::fromLatin1(kApplicationTitle));
    setApplicationDisplayName(QString::fromLatin1(kApplicationTitle));
}

void ShowStandardError(const std::exception& e) {
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
