#include "platform/platform.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
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

namespace {
// A warning with two ways to go on, for this time or for good, and Cancel as the default.
Platform::TrustAnswer askOnceOrAlways(QWidget* parent, const QString& caption, const QString& text,
                                      const QString& onceLabel, const QString& alwaysLabel) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::NoButton, parent);
    QPushButton* once = box.addButton(onceLabel, QMessageBox::AcceptRole);
    QPushButton* always = box.addButton(alwaysLabel, QMessageBox::AcceptRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == once) return Platform::TrustAnswer::Once;
    if (box.clickedButton() == always) return Platform::TrustAnswer::Always;
    return Platform::TrustAnswer::Cancel;
}
} // namespace

Platform::TrustAnswer DesktopPlatform::askCertificate(const QString& caption, const QString& text) {
    return askOnceOrAlways(dialogParent(), caption, text, QStringLiteral("Trust once"),
                           QStringLiteral("Trust always"));
}

Platform::TrustAnswer Platform::askPlainLogon(const QString&, const QString&) {
    return TrustAnswer::Cancel;
}

Platform::TrustAnswer DesktopPlatform::askPlainLogon(const QString& caption, const QString& text) {
    return askOnceOrAlways(dialogParent(), caption, text, QStringLiteral("Log on without encryption once"),
                           QStringLiteral("Always for this server"));
}

void DesktopPlatform::alertBeep() {
    // A load may ask for the sound thousands of times in a row; the bell is rung
    // at most a few times a second so the desktop does not queue a long ringing.
    if (m_sinceBeep.isValid() && m_sinceBeep.elapsed() < 250) return;
    m_sinceBeep.start();
    QApplication::beep();
}

QStringList EditorCommand(const QString& path, const std::function<QString(const char*)>& env,
                          const std::function<QString(const QString&)>& find) {
    // A text editor, not whatever the desktop opens .csv files with (a spreadsheet, often).
    // A command that splits into nothing (TERVANE_EDITOR='""') counts as not set.
    const auto command = [&](const char* var) {
        QStringList parts = QProcess::splitCommand(env(var).trimmed());
        parts.removeAll(QString());
        return parts;
    };
    if (QStringList own = command("TERVANE_EDITOR"); !own.isEmpty()) return own << path;
    if (const QStringList visual = command("VISUAL"); !visual.isEmpty()) {
        // $VISUAL needs a terminal; started without one it would do nothing and say nothing.
        const QString terminal = find(QStringLiteral("x-terminal-emulator"));
        if (!terminal.isEmpty()) return QStringList{terminal, QStringLiteral("-e")} << visual << path;
    }
    for (const char* editor : {"gnome-text-editor", "gedit", "kate", "kwrite", "mousepad", "pluma", "xed",
                               "featherpad", "leafpad"}) {
        const QString found = find(QString::fromLatin1(editor));
        if (!found.isEmpty()) return {found, path};
    }
    return {};
}

bool DesktopPlatform::openInEditor(const QString& path) {
    QStringList command = EditorCommand(
        path, [](const char* var) { return QString::fromLocal8Bit(qgetenv(var)); },
        [](const QString& program) { return QStandardPaths::findExecutable(program); });
    if (command.isEmpty()) return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command);
}

QPrinter& DesktopPlatform::sharedPrinter() {
    if (!m_shared) {
        m_shared = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // The printer goes before the application does, not at the program's very end.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, [this] { m_shared.reset(); });
    }
    return *m_shared;
}

std::unique_ptr<QPrinter> DesktopPlatform::newPrinter() {
    return std::make_unique<QPrinter>(QPrinter::HighResolution);
}

bool DesktopPlatform::printerAvailable() {
    return !QPrinterInfo::defaultPrinter().isNull();
}

QString Platform::chooseOpenFile(const QString&, const QString&, const QString&) {
    return {};
}
QString Platform::chooseSaveFile(const QString&, const QString&, const QString&) {
    return {};
}
QSize Platform::chooseImageSize(QSize) {
    return {};
}
void Platform::printPreview(const QString&, const std::function<void(QPrinter&)>&) {}
bool Platform::choosePrint(QPrinter&, const QString&, int) {
    return false;
}

bool DesktopPlatform::choosePrint(QPrinter& printer, const QString& caption, int pages) {
    QPrintDialog dialog(&printer, dialogParent());
    dialog.setWindowTitle(QStringLiteral("%1: %2 page%3").arg(caption).arg(pages).arg(pages == 1 ? "" : "s"));
    dialog.setMinMax(1, std::max(1, pages));
    printer.setFromTo(1, std::max(1, pages));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    return dialog.exec() == QDialog::Accepted;
}

Platform::ExistingFileChoice Platform::askExistingFile(const QString&) {
    return {};
}

Platform::ExistingFileChoice DesktopPlatform::askExistingFile(const QString& text) {
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kApplicationTitle), text,
                    QMessageBox::NoButton, dialogParent());
    QPushButton* both = box.addButton(QStringLiteral("Keep both"), QMessageBox::AcceptRole);
    QPushButton* local = box.addButton(QStringLiteral("Keep the local file"), QMessageBox::RejectRole);
    QPushButton* replace = box.addButton(QStringLiteral("Replace"), QMessageBox::DestructiveRole);
    auto* rest = new QCheckBox(QStringLiteral("Do the same for the rest of this batch"), &box);
    box.setCheckBox(rest);
    box.setDefaultButton(both);
    box.setEscapeButton(both);
    // Room for each line of the text, so a file name is never broken across two lines.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(560, 0), grid->rowCount(), 0, 1, grid->columnCount());
    box.move(200, 200);
    box.exec();
    ExistingFileChoice c;
    c.forRest = rest->isChecked();
    if (box.clickedButton() == local) c.answer = ExistingFileAnswer::KeepLocal;
    if (box.clickedButton() == replace) c.answer = ExistingFileAnswer::Replace;
    return c;
}

QString DesktopPlatform::chooseOpenFile(const QString& caption, const QString& dir, const QString& filter) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), caption, dir, filter);
}

QString DesktopPlatform::chooseSaveFile(const QString& caption, const QString& suggested,
                                        const QString& filter) {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), caption, suggested, filter);
}

QSize DesktopPlatform::chooseImageSize(QSize shown) {
    bool ok = false;
    const QString text =
        QInputDialog::getText(QApplication::activeWindow(), QString::fromLatin1(kApplicationTitle),
                              QStringLiteral("Image size in pixels (width x height):"), QLineEdit::Normal,
                              QStringLiteral("%1 x %2").arg(shown.width()).arg(shown.height()), &ok);
    if (!ok) return {};
    const auto m =
        QRegularExpression(QStringLiteral("^\\s*(\\d{1,5})\\s*[xX*]\\s*(\\d{1,5})\\s*$")).match(text);
    if (!m.hasMatch()) throw EError(QStringLiteral("\"%1\" is not a size such as 1200 x 600").arg(text));
    return QSize(m.captured(1).toInt(), m.captured(2).toInt());
}

void DesktopPlatform::printPreview(const QString& caption, const std::function<void(QPrinter&)>& paint) {
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, QApplication::activeWindow());
    dialog.setWindowTitle(caption);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&](QPrinter* p) { paint(*p); });
    dialog.exec();
}
