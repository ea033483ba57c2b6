#include "app/platform/platform.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QUrl>

namespace {
Platform* g_installed = nullptr;

QWidget* dialogParent() {
    return QApplication::activeWindow();
}
} // namespace

Platform& Platform::instance() {
    if (g_installed) return *g_installed;
    static DesktopPlatform desktop;
    return desktop;
}

void Platform::install(Platform* p) {
    g_installed = p;
}

QString StandardErrorText(const QString& message) {
    QString text = message;
    if (!text.isEmpty() && text.back() > QLatin1Char('.')) text += QLatin1Char('.');
    return text;
}

DesktopPlatform::DesktopPlatform() = default;
DesktopPlatform::~DesktopPlatform() = default;

void DesktopPlatform::showMessage(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok,
                    dialogParent());
    box.exec();
}

void DesktopPlatform::showWarning(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, dialogParent());
    box.exec();
}

Platform::Answer DesktopPlatform::confirm(const QString& text) {
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kApplicationTitle), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, dialogParent());
    box.move(200, 200);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void DesktopPlatform::showError(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromLatin1(kApplicationTitle), text, QMessageBox::Ok,
                    dialogParent());
    box.exec();
}

void DesktopPlatform::alertBeep() {
    // A load may ask for the sound thousands of times in a row; the bell is rung
    // at most a few times a second so the desktop does not queue a long ringing.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (m_lastBeepMs >= 0 && now - m_lastBeepMs < 250) return;
    m_lastBeepMs = now;
    QApplication::beep();
}

bool DesktopPlatform::openInEditor(const QString& path) {
    const QByteArray editor = qgetenv("VISUAL").isEmpty() ? qgetenv("TERVANE_EDITOR") : qgetenv("VISUAL");
    if (!editor.isEmpty()) return QProcess::startDetached(QString::fromLocal8Bit(editor), {path});
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

QPrinter& DesktopPlatform::sharedPrinter() {
    if (!m_shared) m_shared = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_shared;
}

std::unique_ptr<QPrinter> DesktopPlatform::newPrinter() {
    return std::make_unique<QPrinter>(QPrinter::HighResolution);
}

bool DesktopPlatform::printerAvailable() {
    return !QPrinterInfo::defaultPrinter().isNull();
}
