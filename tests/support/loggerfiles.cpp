#include "loggerfiles.h"

#include <QFile>
#include <cmath>

namespace testfiles {

QByteArray loggerRow(int i, const QByteArray& day, bool marked) {
    const double t1 = 25 + 10 * std::sin(i / 200.0);
    const double t2 = 18 + 5 * std::cos(i / 300.0);
    const auto signedField = [](double v) {
        return QByteArray(v < 0 ? "-" : "+") +
               QByteArray::number(std::fabs(v), 'f', 1).rightJustified(5, '0');
    };
    const auto analog = [](double v) { return QByteArray::number(v, 'f', 1).rightJustified(4, '0'); };
    const int minutes = i % 1440;
    QByteArray row = day;
    row += ',' + QByteArray::number(minutes / 60).rightJustified(2, '0') + ':' +
           QByteArray::number(minutes % 60).rightJustified(2, '0') + ":00";
    row += ',' + signedField(t1) + ',' + signedField(t2);
    row += ',' + QByteArray::number(i % 1000).rightJustified(6, '0');
    row += ',' + QByteArray::number(20 + i % 10).rightJustified(6, '0');
    row += ',' + analog(40 + 20 * std::sin(i / 90.0)) + ',' + analog(30 + 5 * std::sin(i / 50.0)) + ',' +
           analog(10 + 3 * std::cos(i / 70.0)) + ',' + analog(12 + 0.5 * std::sin(i / 40.0));
    row += ",0,0,0,0,0,0,0,0,0,0,0,0,";
    row += marked ? "00T" : "000";
    return row;
}

QByteArray loggerFile(int rows, const QByteArray& day) {
    QByteArray out;
    out.reserve(rows * 94);
    for (int i = 0; i < rows; ++i)
        out += loggerRow(i, day) + "\r\n";
    return out;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return f.write(bytes) == bytes.size();
}

} // namespace testfiles
