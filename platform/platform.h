// SPDX-License-Identifier: GPL-3.0-or-later
// The platform seam: everything that would block a test or touch the desktop
// (message boxes, the alert sound, the text editor, printers) goes through one
// interface. The program installs DesktopPlatform; tests install a recording fake.
#pragma once

#include <QElapsedTimer>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <stdexcept>

class QPrinter;

// An error with a text meant for the user; the standard error box shows it.
class EError : public std::runtime_error {
public:
    explicit EError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};
// A file could not be opened, read or written ("File not found", ...).
class EInOutError : public EError {
public:
    using EError::EError;
};

class Platform {
public:
    enum class Answer { Yes, No, Cancel };
    enum class TrustAnswer { Once, Always, Cancel };

    virtual ~Platform() = default;

    // Plain modal message box: the application title as caption, one OK button.
    virtual void showMessage(const QString& text) = 0;
    // Warning box with its own caption, one OK button.
    virtual void showWarning(const QString& caption, const QString& text) = 0;
    // Confirmation: question icon, Yes / No / Cancel, top left at screen 200,200.
    virtual Answer confirm(const QString& text) = 0;
    // The standard error box (the text as it is: see StandardErrorText()).
    virtual void showError(const QString& text) = 0;
    // A server certificate the system does not vouch for: the caption and the text describe it; the
    // user trusts it for this log-on, trusts it always, or cancels the log-on.
    virtual TrustAnswer askCertificate(const QString& caption, const QString& text) = 0;
    // A server that refused encryption: log on without it this once, always for this server, or cancel
    // (the default, and the answer of a platform that cannot ask).
    virtual TrustAnswer askPlainLogon(const QString& caption, const QString& text);
    // The information alert sound; never waits for the sound to end.
    virtual void alertBeep() = 0;
    // Opens a file in the desktop's text editor. False when nothing could open it.
    virtual bool openInEditor(const QString& path) = 0;
    // The application's shared printer (the default printer).
    virtual QPrinter& sharedPrinter() = 0;
    // A printer object of its own for the default printer.
    virtual std::unique_ptr<QPrinter> newPrinter() = 0;
    // Whether a printer is there to print on; false makes printing say so.
    virtual bool printerAvailable() = 0;
    // A file chosen by the user to open, or to save to ("" when cancelled).
    // These and the two below default to a cancelled choice.
    virtual QString chooseOpenFile(const QString& caption, const QString& dir, const QString& filter);
    virtual QString chooseSaveFile(const QString& caption, const QString& suggested, const QString& filter);
    // A finished download meets a different local file of its name: keep both (the default, also
    // when the box is closed), keep the local file, or replace it; `forRest`: the same for the rest
    // of the batch. Defaults to keep both.
    enum class ExistingFileAnswer { KeepBoth, KeepLocal, Replace };
    struct ExistingFileChoice {
        ExistingFileAnswer answer = ExistingFileAnswer::KeepBoth;
        bool forRest = false;
    };
    virtual ExistingFileChoice askExistingFile(const QString& text);
    // The size of an image to save, `shown` proposed; an empty size when cancelled.
    virtual QSize chooseImageSize(QSize shown);
    // A print preview whose pages `paint` draws on the printer it is handed.
    virtual void printPreview(const QString& caption, const std::function<void(QPrinter&)>& paint);
    // A desktop notification that does not wait for the user. False when the desktop has no
    // notification service (the caller then says it another way); the default has none.
    virtual bool notifyDesktop(const QString& title, const QString& text);
    // The system's print dialog for a document of `pages` pages (said in the
    // dialog; the page range offered is 1..pages): the user picks the printer,
    // the range and the copies on `printer`. False when cancelled (the default).
    virtual bool choosePrint(QPrinter& printer, const QString& caption, int pages);

    static Platform& instance();
    // Installs the platform (not owned); nullptr returns to the desktop one.
    static void install(Platform* p);
};

// The application title: caption of the message boxes and the error box.
inline const char* const kApplicationTitle = "Tervane640";

// The error box text: the message with a full stop appended when its last
// character sorts after the full stop.
QString StandardErrorText(const QString& message);

// The command that opens `path` in a text editor: $TERVANE_EDITOR as given; else $VISUAL
// (a terminal editor, as a rule) inside `x-terminal-emulator -e` where that exists; else the
// first graphical text editor found. Empty: let the desktop open the file. `env` reads a
// variable, `find` finds a program ("" when not there).
QStringList EditorCommand(const QString& path, const std::function<QString(const char*)>& env,
                          const std::function<QString(const QString&)>& find);

class DesktopPlatform : public Platform {
public:
    DesktopPlatform();
    ~DesktopPlatform() override;
    void showMessage(const QString& text) override;
    void showWarning(const QString& caption, const QString& text) override;
    Answer confirm(const QString& text) override;
    void showError(const QString& text) override;
    TrustAnswer askCertificate(const QString& caption, const QString& text) override;
    TrustAnswer askPlainLogon(const QString& caption, const QString& text) override;
    void alertBeep() override;
    bool openInEditor(const QString& path) override;
    QPrinter& sharedPrinter() override;
    std::unique_ptr<QPrinter> newPrinter() override;
    bool printerAvailable() override;
    QString chooseOpenFile(const QString& caption, const QString& dir, const QString& filter) override;
    QString chooseSaveFile(const QString& caption, const QString& suggested, const QString& filter) override;
    QSize chooseImageSize(QSize shown) override;
    ExistingFileChoice askExistingFile(const QString& text) override;
    void printPreview(const QString& caption, const std::function<void(QPrinter&)>& paint) override;
    bool notifyDesktop(const QString& title, const QString& text) override;
    bool choosePrint(QPrinter& printer, const QString& caption, int pages) override;

private:
    std::unique_ptr<QPrinter> m_shared;
    // Time since the last bell, on a clock that a change of the system time does not move.
    QElapsedTimer m_sinceBeep;
};
