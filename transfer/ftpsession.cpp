#include "transfer/ftpsession.h"

#include "ftp/nmftp.h"

#include <QMetaObject>

FtpSession::FtpSession(QObject* parent) : QObject(parent) {
    setObjectName(QStringLiteral("FtpSession"));
    NMFTP1 = new TNMFTP(this);
    NMFTP1->setObjectName(QStringLiteral("NMFTP1"));
    NMFTP1->setPort(21);
    NMFTP1->setTimeOut(9);
    NMFTP1->setReportLevel(0);
    NMFTP1->setVendor(2411);
    NMFTP1->setParseList(true);
    NMFTP1->setProxyPort(0);
}

FtpSession::~FtpSession() = default;

bool FtpSession::deferClose() {
    if (m_engineCalls == 0) return false;
    // An engine call is still on the stack: end it now and close once it has
    // returned. A file under way is aborted (its partial copy goes, the server's
    // file stays); a log-on or listing that waits is cancelled.
    CancelRequested = true;
    m_closePending = true;
    if (TransferBusy)
        NMFTP1->Abort();
    else
        NMFTP1->Cancel();
    return true;
}

FtpSession::Call::Call(FtpSession* session) : m_session(session) {
    ++session->m_engineCalls;
}

FtpSession::Call::~Call() {
    if (!m_session) return;
    if (--m_session->m_engineCalls != 0) return;
    emit m_session->idle();
    if (m_session && m_session->m_closePending) {
        m_session->m_closePending = false;
        QMetaObject::invokeMethod(m_session, &FtpSession::closeWhenIdle, Qt::QueuedConnection);
    }
}
