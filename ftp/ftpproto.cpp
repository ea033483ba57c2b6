#include "ftp/ftpproto.h"

int ReplyCodeOf(const QString& line) {
    int digits = 0;
    while (digits < 10 && digits < line.size() && line[digits].isDigit() && line[digits].unicode() < 128)
        ++digits;
    if (digits == 0) return 0;
    bool ok = false;
    const qlonglong value = line.left(digits).toLongLong(&ok);
    if (!ok || value > 32767) return 0;
    return int(value);
}

bool IsContinuationLine(const QString& line) {
    if (line.startsWith(QLatin1Char(' '))) return true;
    return line.size() >= 4 && line[3] == QLatin1Char('-');
}

qint64 SizeFromReply(const QString& line) {
    const qsizetype at = line.toUpper().indexOf(QLatin1String("BYTE"));
    if (at < 0) return 0;
    auto isDigit = [&](qsizetype i) { return line[i] >= QLatin1Char('0') && line[i] <= QLatin1Char('9'); };
    qsizetype last = at - 1;
    while (last >= 0 && !isDigit(last))
        --last;
    if (last < 0) return 0;
    qsizetype first = last;
    while (first > 0 && isDigit(first - 1))
        --first;
    bool ok = false;
    const qint64 size = line.mid(first, last - first + 1).toLongLong(&ok);
    return ok ? size : 0;
}

QString PortLine(const QHostAddress& address, quint16 port) {
    bool ok = false;
    const quint32 a = address.toIPv4Address(&ok);
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
