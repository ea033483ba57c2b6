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
    // An engine call is still on the stack: stop the batch after the current
    // file and close once the call has returned.
    CancelRequested = true;
    m_closePending = true;
    // Outside a batch nothing is lost by ending the wait now (a log-on that
    // hangs, a listing); a batch finishes the file under way first.
    if (!TransferBusy) NMFTP1->Cancel();
    return true;
}

FtpSession::Call::Call(FtpSession* session) : m_session(session) {
    ++session->m_engineCalls;
}

FtpSession::Call::~Call() {
    if (!m_session) return;
    if (--m_session->m_engineCalls == 0 && m_session->m_closePending) {
        m_session->m_closePending = false;
        QMetaObject::invokeMethod(m_session, &FtpSession::closeWhenIdle, Qt::QueuedConnection);
    }
}
