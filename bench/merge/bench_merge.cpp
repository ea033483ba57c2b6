// Merging a month of day files beside `cat` of the same files into one file.
//
// Makes 31 day files of 1,440 logger rows (one a minute) in a temporary folder,
// then times, several times each, the whole merge of the month (plan, reading
// every file into the store, writing the merged file) and `cat` of the 31 files
// into one file, and prints the best and median times of both and their ratio.
// The merged file holds at most 16,383 lines, so the merge reads the whole month
// but writes less than cat does; both read the same bytes from the page cache.
#include "logdata/merge.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kDays = 31;
constexpr int kRowsPerDay = 1440;
constexpr int kRuns = 15;

QByteArray dayFile(int day) {
    QByteArray b;
    b.reserve(kRowsPerDay * 93);
    char line[128];
    for (int m = 0; m < kRowsPerDay; ++m) {
        const int n =
            std::snprintf(line, sizeof line,
                          "0912%02d,%02d:%02d:00,+0%02d.%d,+0%02d.%d,%06d,%06d,%02d.%d,%02d.%d,00.0,13.8,"
                          "0,0,0,0,0,0,0,0,0,0,0,0,00F\r\n",
                          day, m / 60, m % 60, 20 + m % 10, m % 10, 18 + m % 7, (m + 3) % 10, m, m % 100,
                          10 + m % 5, m % 10, m % 9, (m + 1) % 10);
        b.append(line, n);
    }
    return b;
}

struct Times {
    double best = 0, median = 0;
};

template <class Fn> Times timeRuns(Fn&& fn) {
    std::vector<double> ms;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        fn();
        ms.push_back(static_cast<double>(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    const QString folder = dir.filePath("local");
    QDir().mkdir(folder);
    QStringList paths;
    qint64 bytes = 0;
    for (int d = 1; d <= kDays; ++d) {
        const QString path =
            QDir(folder).filePath(QStringLiteral("0912%1.csv").arg(d, 2, 10, QLatin1Char('0')));
        QFile f(path);
        const QByteArray content = dayFile(d);
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        bytes += content.size();
        paths << path;
    }
    const QString catOut = dir.filePath("cat.csv");

    logdata::MergeResult last;
    auto mergeMonth = [&] {
        logdata::MergeStore store;
        last = logdata::RunMerge(logdata::PlanMerge(folder, QDate(2009, 12, 1), QDate(2009, 12, 31)), store);
    };
    auto catMonth = [&] {
        QProcess cat;
        cat.setStandardOutputFile(catOut);
        cat.start(QStringLiteral("cat"), paths);
        cat.waitForFinished(-1);
    };
    // One untimed run of each to settle the page cache.
    mergeMonth();
    catMonth();
    if (last.status != logdata::MergeResult::Status::Saved) {
        std::fprintf(stderr, "merge failed: %s\n", qPrintable(last.errorText));
        return 1;
    }
    const Times merge = timeRuns(mergeMonth);
    const Times cat = timeRuns(catMonth);

    std::printf("month: %d files x %d rows, %lld bytes, %d lines read, %d written, %d left out\n", kDays,
                kRowsPerDay, static_cast<long long>(bytes), last.linesRead, last.linesWritten,
                last.linesLeftOut);
    std::printf("merge (plan + FileOpen x%d + FileSave): best %.2f ms, median %.2f ms\n", kDays, merge.best,
                merge.median);
    std::printf("cat of the same files into one file:   best %.2f ms, median %.2f ms\n", cat.best,
                cat.median);
    std::printf("ratio merge/cat: best %.2fx, median %.2fx (goal: within 3x)\n", merge.best / cat.best,
                merge.median / cat.median);
    return 0;
}
