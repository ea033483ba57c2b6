#include "ftp/ftpproto.h"

#include <QRegularExpression>

qint64 DigitsValue(QStringView text) {
    if (text.isEmpty() || text.size() > 18) return -1;
    qint64 v = 0;
    for (QChar ch : text) {
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9')) return -1;
        v = v * 10 + (ch.unicode() - '0');
    }
    return v;
}

int ReplyCodeOf(const QString& line) {
    if (line.size() < 3) return 0;
    for (int i = 0; i < 3; ++i)
        if (line[i] < QLatin1Char('0') || line[i] > QLatin1Char('9')) return 0;
    if (line[0] < QLatin1Char('1') || line[0] > QLatin1Char('5')) return 0;
    if (line.size() > 3) {
        const QChar next = line[3];
        if (next != QLatin1Char(' ') && next != QLatin1Char('-') && next != QLatin1Char('\r') &&
            next != QLatin1Char('\n'))
            return 0;
    }
    return (line[0].unicode() - '0') * 100 + (line[1].unicode() - '0') * 10 + (line[2].unicode() - '0');
}

bool IsContinuationLine(const QString& line) {
    if (line.startsWith(QLatin1Char(' '))) return true;
    return line.size() >= 4 && line[3] == QLatin1Char('-');
}

namespace {} // namespace

qint64 SizeFromReply(const QString& line) {
    // Every "(" is a candidate; the last one followed by digits, one space and "bytes)" wins: the file's
    // name comes before the size, and may hold such a text itself.
    const QStringView view(line);
    qint64 found = -1;
    for (qsizetype open = view.indexOf(QLatin1Char('(')); open >= 0;
         open = view.indexOf(QLatin1Char('('), open + 1)) {
        qsizetype i = open + 1;
        while (i < view.size() && view[i] >= QLatin1Char('0') && view[i] <= QLatin1Char('9'))
            ++i;
        if (i == open + 1) continue;
        const QStringView tail = view.mid(i);
        if (!tail.startsWith(QLatin1String(" bytes)"), Qt::CaseInsensitive)) continue;
        found = DigitsValue(view.mid(open + 1, i - open - 1));
    }
    return found;
}

qint64 SizeFrom213(const QString& line) {
    QStringView v(line);
    while (v.endsWith(QLatin1Char('\n')) || v.endsWith(QLatin1Char('\r')))
        v.chop(1);
    if (!v.startsWith(QLatin1String("213 "))) return -1;
    return DigitsValue(v.mid(4).trimmed());
}

QDateTime ModifiedFrom213(const QString& line) {
    QStringView v(line);
    while (v.endsWith(QLatin1Char('\n')) || v.endsWith(QLatin1Char('\r')))
        v.chop(1);
    if (!v.startsWith(QLatin1String("213 "))) return {};
    v = v.mid(4).trimmed();
    // Fractions of a second after a dot, 1 to 3 digits, are allowed and dropped.
    const qsizetype dot = v.indexOf(QLatin1Char('.'));
    if (dot >= 0) {
        const QStringView fraction = v.mid(dot + 1);
        if (fraction.isEmpty() || fraction.size() > 3 || DigitsValue(fraction) < 0) return {};
        v = v.left(dot);
    }
    if (v.size() != 14 || DigitsValue(v) < 0) return {};
    const auto part = [&](int from, int n) { return int(DigitsValue(v.mid(from, n))); };
    const QDate date(part(0, 4), part(4, 2), part(6, 2));
    const QTime time(part(8, 2), part(10, 2), part(12, 2));
    if (!date.isValid() || !time.isValid()) return {};
    return QDateTime(date, time, Qt::UTC);
}

TReplyAssembler::State TReplyAssembler::Add(const QString& line) {
    ++m_lines;
    m_last = line;
    if (m_lines > kMaxReplyLines) return TooLong;
    const int code = ReplyCodeOf(line);
    if (m_lines == 1) {
        if (code != 0 && line.size() >= 4 && line[3] == QLatin1Char('-')) {
            m_open = line.left(3);
            return NeedMore;
        }
        if (line.startsWith(QLatin1Char(' '))) return NeedMore;
        m_code = code;
        return Complete;
    }
    if (m_open.isEmpty()) {
        // Opened by an indented line: the first line with a code that is not a continuation ends it.
        if (code == 0 || (line.size() > 3 && line[3] == QLatin1Char('-'))) return NeedMore;
        m_code = code;
        return Complete;
    }
    if (code != 0 && line.startsWith(m_open) && line.size() >= 3 &&
        (line.size() == 3 || line[3] != QLatin1Char('-'))) {
        m_code = code;
        return Complete;
    }
    return NeedMore;
}

quint16 EpsvPort(const QString& reply) {
    if (ReplyCodeOf(reply) != 229) return 0;
    const qsizetype open = reply.indexOf(QLatin1Char('('));
    if (open < 0 || open + 5 > reply.size()) return 0;
    const QChar d = reply[open + 1];
    if (d.unicode() < 33 || d.unicode() > 126 || d.isDigit()) return 0;
    if (reply[open + 2] != d || reply[open + 3] != d) return 0;
    const qsizetype end = reply.indexOf(d, open + 4);
    if (end < 0 || end + 1 >= reply.size() || reply[end + 1] != QLatin1Char(')')) return 0;
    const qint64 port = DigitsValue(QStringView(reply).mid(open + 4, end - open - 4));
    return port > 0 && port <= 65535 ? quint16(port) : 0;
}

quint16 PasvPort(const QString& reply) {
    if (ReplyCodeOf(reply) != 227) return 0;
    // The first run of six comma-separated numbers after the code.
    static const QRegularExpression six(
        QStringLiteral("(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3}),(\\d{1,3})"));
    const QRegularExpressionMatch m = six.match(reply, 4);
    if (!m.hasMatch()) return 0;
    int n[6];
    for (int i = 0; i < 6; ++i) {
        n[i] = m.captured(i + 1).toInt();
        if (n[i] > 255) return 0;
    }
    const int port = n[4] * 256 + n[5];
    return port > 0 ? quint16(port) : 0;
}

QString PortLine(const QHostAddress& address, quint16 port) {
    bool ok = false;
    const quint32 a = address.toIPv4Address(&ok);
    if (!ok && address.protocol() == QAbstractSocket::IPv6Protocol) { // RFC 2428
        QHostAddress bare = address;
        bare.setScopeId(QString()); // a zone means nothing to the server
        return QStringLiteral("EPRT |2|%1|%2|").arg(bare.toString()).arg(port);
    }
    return QStringLiteral("PORT %1,%2,%3,%4,%5,%6")
        .arg(a >> 24)
        .arg((a >> 16) & 0xff)
        .arg((a >> 8) & 0xff)
        .arg(a & 0xff)
        .arg(port >> 8)
        .arg(port & 0xff);
}

QString CutLineEnd(const QString& line) {
    if (line.size() <= 2) return line;
    if (line.endsWith(QLatin1String("\r\n"))) return line.left(line.size() - 2);
    if (line.endsWith(QLatin1Char('\n'))) return line.left(line.size() - 1);
    return line; // the last line of a listing may have no line end: nothing to cut
}

TCmdType CommandKindOf(const QString& line) {
    const qsizetype space = line.indexOf(QLatin1Char(' '));
    const QString first = (space < 0 ? line : line.left(space)) + QLatin1Char(' ');
    if (first == QLatin1String("CWD ")) return TCmdType::ChangeDir;
    if (first == QLatin1String("DELE ")) return TCmdType::Delete;
    if (first == QLatin1String("MKD ")) return TCmdType::MakeDir;
    if (first == QLatin1String("RMD ")) return TCmdType::RemoveDir;
    if (line == QLatin1String("PWD")) return TCmdType::PrintDir;
    return TCmdType::DoCommand;
}

QString CommandArgumentProblem(const QString& text) {
    if (text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n')))
        return QStringLiteral("it holds a line break (CR or LF)");
    if (text.contains(QChar(0))) return QStringLiteral("it holds a NUL character");
    return QString();
}
