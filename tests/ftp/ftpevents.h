// Records the events of a TNMFTP in order, as short texts such as "Failure:Download".
#pragma once

#include "ftp/nmftp.h"

#include <QStringList>

inline QString kindName(TCmdType k) {
    static const char* names[] = {"ChangeDir", "MakeDir", "Delete",        "RemoveDir",
                                  "List",      "Rename",  "UploadRestore", "DownloadRestore",
                                  "Download",  "Upload",  "UploadAppend",  "ReInit",
                                  "Allocate",  "NList",   "DoCommand",     "PrintDir"};
    return QString::fromLatin1(names[int(k)]);
}

struct FtpEvents {
    QStringList events;
    QStringList lines;
    int packets = 0;
    bool acceptFailures = false;
    qint64 sizeAtStart = -1;

    void attach(TNMFTP& f) {
        QObject::connect(&f, &TNMFTP::OnConnect, [this](QObject*) { events << "Connect"; });
        QObject::connect(&f, &TNMFTP::OnDisconnect, [this](QObject*) { events << "Disconnect"; });
        QObject::connect(&f, &TNMFTP::OnConnectionFailed, [this](QObject*) { events << "ConnectionFailed"; });
        QObject::connect(&f, &TNMFTP::OnConnectionRequired,
                         [this](bool&) { events << "ConnectionRequired"; });
        QObject::connect(&f, &TNMFTP::OnTransactionStart, [this, &f](QObject*) {
            events << "Start";
            sizeAtStart = f.TransferSize();
        });
        QObject::connect(&f, &TNMFTP::OnTransactionStop, [this](QObject*) { events << "Stop"; });
        QObject::connect(&f, &TNMFTP::OnSuccess, [this](TCmdType k) { events << "Success:" + kindName(k); });
        QObject::connect(&f, &TNMFTP::OnFailure, [this](bool& handled, TCmdType k) {
            events << "Failure:" + kindName(k);
            handled = acceptFailures;
        });
        QObject::connect(&f, &TNMFTP::OnUnSupportedFunction,
                         [this](TCmdType k) { events << "Unsupported:" + kindName(k); });
        QObject::connect(&f, &TNMFTP::OnListItem, [this](const QString& line) {
            lines << line;
            if (events.isEmpty() || events.last() != "Items") events << "Items";
        });
        QObject::connect(&f, &TNMFTP::OnPacketRecvd, [this](QObject*) { ++packets; });
    }
};
