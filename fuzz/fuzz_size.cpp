// The size rules: only an exact "(N bytes)" in a reply and an exact "213 N" give a size; only an
// exact "213 YYYYMMDDHHMMSS" a modification time.
#include "ftp/ftpproto.h"

#include <QRegularExpression>
#include <QString>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const qint64 announced = SizeFromReply(line);
    if (announced < -1) std::abort();
    if (announced >= 0 && !line.contains(QStringLiteral("(%1 bytes)").arg(announced), Qt::CaseInsensitive) &&
        !line.contains(QRegularExpression(QStringLiteral("\\(0+%1 bytes\\)").arg(announced),
                                          QRegularExpression::CaseInsensitiveOption)))
        std::abort();
    const qint64 sized = SizeFrom213(line);
    if (sized < -1) std::abort();
    if (sized >= 0 && !line.startsWith(QLatin1String("213 "))) std::abort();
    const QDateTime modified = ModifiedFrom213(line);
    if (modified.isValid() && (!line.startsWith(QLatin1String("213 ")) || modified.timeSpec() != Qt::UTC))
        std::abort();
    // Latin-1 decoding reaches characters that grow when upper-cased.
    (void)SizeFromReply(QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size)));
    return 0;
}
