// Exceptions and error texts of the FTP client engine.
#pragma once

#include <QString>

#include <stdexcept>

// Socket layer failure: host lookup, connecting, accepting, reading, writing, time-outs.
class ESockError : public std::runtime_error {
public:
    explicit ESockError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString Message() const { return m_message; }

private:
    QString m_message;
};

// A wait that ended because the operation was aborted or cancelled (Abort, Cancel, the engine destroyed).
class EAbortError : public ESockError {
public:
    using ESockError::ESockError;
};

// A line longer than the reader's limit arrived; its bytes so far were dropped.
class ELineTooLong : public ESockError {
public:
    using ESockError::ESockError;
};

// A command refused by the server. Message() is the reply line as received, CR LF included.
class FTPException : public std::runtime_error {
public:
    explicit FTPException(const QString& reply) : std::runtime_error(reply.toStdString()), m_reply(reply) {}
    QString Message() const { return m_reply; }

private:
    QString m_reply;
};

// The log-on stopped for the connection's security: the server offers no TLS where it is required, the
// handshake failed, or its certificate was not accepted. Message() says which, for the user.
class ETlsError : public FTPException {
public:
    using FTPException::FTPException;
};

// "Not Connected" (and the like) are raised as a plain std::runtime_error.

// Text of one of the engine's socket error codes: "" for 0, "10061:Connection refused" for a known code,
// "Unknown Error No. N" otherwise.
QString LookupErrorText(int code);
