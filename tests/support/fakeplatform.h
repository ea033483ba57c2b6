// SPDX-License-Identifier: GPL-3.0-or-later
// A recording platform for tests: keeps every text shown, answers
// confirmations from a queue, counts alert sounds, and prints to PDF files.
#pragma once

#include "platform/platform.h"

#include <QPrinter>
#include <QQueue>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

class FakePlatform : public Platform {
public:
    FakePlatform() { Platform::install(this); }
    ~FakePlatform() override { Platform::install(nullptr); }

    void showMessage(const QString& text) override { messages << text; }
    void showWarning(const QString& caption, const QString& text) override {
        warnings << caption + "|" + text;
    }
    Answer confirm(const QString& text) override {
        confirmations << text;
        return answers.isEmpty() ? Answer::Cancel : answers.dequeue();
    }
    void showError(const QString& text) override { errors << text; }
    TrustAnswer askCertificate(const QString& caption, const QString& text) override {
        certificateQuestions << caption + "|" + text;
        return trustAnswers.isEmpty() ? TrustAnswer::Cancel : trustAnswers.dequeue();
    }
    TrustAnswer askPlainLogon(const QString& caption, const QString& text) override {
        plainLogonQuestions << caption + "|" + text;
        return plainLogonAnswers.isEmpty() ? TrustAnswer::Cancel : plainLogonAnswers.dequeue();
    }
    ExistingFileChoice askExistingFile(const QString& text) override {
        existingFileQuestions << text;
        return existingFileAnswers.isEmpty() ? ExistingFileChoice{} : existingFileAnswers.dequeue();
    }
    void alertBeep() override { ++beeps; }
    bool openInEditor(const QString& path) override {
        opened << path;
        return true;
    }
    QPrinter& sharedPrinter() override {
        if (!shared) {
            shared = std::make_unique<QPrinter>(QPrinter::HighResolution);
            shared->setOutputFormat(QPrinter::PdfFormat);
            shared->setOutputFileName(pdfPath(QStringLiteral("shared")));
        }
        return *shared;
    }
    std::unique_ptr<QPrinter> newPrinter() override {
        auto p = std::make_unique<QPrinter>(QPrinter::HighResolution);
        p->setOutputFormat(QPrinter::PdfFormat);
        p->setOutputFileName(pdfPath(QStringLiteral("own%1").arg(++ownPrinters)));
        lastOwnPdf = p->outputFileName();
        return p;
    }
    bool printerAvailable() override { return hasPrinter; }
    QString chooseOpenFile(const QString& caption, const QString&, const QString&) override {
        dialogs << caption;
        return openAnswers.isEmpty() ? QString() : openAnswers.dequeue();
    }
    QString chooseSaveFile(const QString& caption, const QString& suggested, const QString&) override {
        dialogs << caption;
        suggestedNames << suggested;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
    }
    QSize chooseImageSize(QSize shown) override {
        return imageSizes.isEmpty() ? shown : imageSizes.dequeue();
    }
    // A preview prints its pages to a PDF file of its own.
    void printPreview(const QString& caption, const std::function<void(QPrinter&)>& paint) override {
        previewCaptions << caption;
        QPrinter p(QPrinter::HighResolution);
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(pdfPath(QStringLiteral("preview%1").arg(++previews)));
        lastPreviewPdf = p.outputFileName();
        paint(p);
    }

    bool notifyDesktop(const QString& title, const QString& text) override {
        notifications << title + "|" + text;
        return hasNotifications;
    }
    // The print dialog: noted with its page count; answered from printAnswers
    // (print all when empty), a range from printRanges when one is queued.
    bool choosePrint(QPrinter& printer, const QString& caption, int pages) override {
        printDialogs << QStringLiteral("%1|%2").arg(caption).arg(pages);
        if (!printRanges.isEmpty()) {
            const QPair<int, int> r = printRanges.dequeue();
            printer.setPrintRange(QPrinter::PageRange);
            printer.setFromTo(r.first, r.second);
        }
        return printAnswers.isEmpty() || printAnswers.dequeue();
    }
    QStringList printDialogs, previewCaptions;
    QQueue<bool> printAnswers;
    QQueue<QPair<int, int>> printRanges;

    QString pdfPath(const QString& stem) const { return dir.filePath(stem + ".pdf"); }
    void clear() {
        messages.clear();
        warnings.clear();
        errors.clear();
        confirmations.clear();
        certificateQuestions.clear();
        plainLogonQuestions.clear();
        existingFileQuestions.clear();
        opened.clear();
        suggestedNames.clear();
        printDialogs.clear();
        previewCaptions.clear();
        beeps = 0;
    }

    QStringList messages, warnings, errors, confirmations, opened, dialogs;
    QQueue<QString> openAnswers, saveAnswers;
    QStringList suggestedNames; // what each save dialog proposed
    QQueue<QSize> imageSizes;
    int previews = 0;
    QString lastPreviewPdf;
    QQueue<Answer> answers;
    QStringList certificateQuestions;
    QQueue<TrustAnswer> trustAnswers;
    QStringList plainLogonQuestions;
    QQueue<TrustAnswer> plainLogonAnswers;
    QStringList existingFileQuestions;
    QQueue<ExistingFileChoice> existingFileAnswers;
    int beeps = 0;
    bool hasPrinter = true;
    int ownPrinters = 0;
    QString lastOwnPdf;
    QTemporaryDir dir;
    std::unique_ptr<QPrinter> shared;
    QStringList notifications;
    bool hasNotifications = true;
};
