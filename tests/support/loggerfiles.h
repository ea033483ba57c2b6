// Writes logger files for tests and benchmarks.
#pragma once

#include <QByteArray>
#include <QString>

namespace testfiles {

// One well-formed 23-field logger row for row i of day `day` ("091201").
QByteArray loggerRow(int i, const QByteArray& day = "091201", bool marked = false);
// `rows` rows, each ended by CR LF.
QByteArray loggerFile(int rows, const QByteArray& day = "091201");
bool writeFile(const QString& path, const QByteArray& bytes);

} // namespace testfiles
