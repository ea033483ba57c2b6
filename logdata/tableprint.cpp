#include "logdata/tableprint.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <algorithm>
#include <vector>

namespace logdata {

namespace {
// Advance after each column, in units of 16 dots of a 300 dpi page; entry j+1
// is the width of column j. Columns past the table take the last entry.
constexpr int kAdvance[25] = {0, 5, 10, 10, 8, 8, 8, 8, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4, 5, 4, 4, 4, 4, 4, 4};
constexpr double kDots = 300.0;  // the layout's resolution
constexpr int kLeft = 150;       // x of column 0
constexpr int kTop = 240;        // y of the heading row
constexpr int kRowPitch = 36;    // one row
constexpr int kFooter = 110;     // room under the last row for the page number
constexpr int kRightMargin = 20; // keep clear of the printable edge

struct Band {
    int first = 1; // first data column of the band (column 0 is on every page)
    int last = 0;  // last data column, inclusive
};
} // namespace

int TablePrintColumnWidth(int col) {
    return 16 * kAdvance[std::clamp(col + 1, 1, 24)];
}

namespace {
// Where everything of a printout goes: computed before anything is printed, so
// that the number of pages is known first.
struct TablePlan {
    QFont font;
    double scale = 1, pageW = 0, pageH = 0, ascent = 0, drawnCharW = 1;
    int cols = 1, rows = 0, perPage = 1, dataRows = 0, rowBlocks = 1, lastShown = 0;
    std::vector<double> widths;
    std::vector<Band> bands;
    int columnsLeftOut = 0;
    int totalPages() const { return rowBlocks * static_cast<int>(bands.size()); }
    double width(int c) const {
        if (c < static_cast<int>(widths.size())) return widths[static_cast<std::size_t>(c)];
        return TablePrintColumnWidth(c);
    }
};

TablePlan PlanTable(const TableSource& src, QPagedPaintDevice& device) {
    TablePlan p;
    p.scale = device.logicalDpiY() / kDots;
    const QRectF paint = device.pageLayout().paintRectPixels(device.logicalDpiX());
    p.pageW = paint.width() / p.scale;
    p.pageH = paint.height() / p.scale;

    QFont font;
    font.setFamilies({QStringLiteral("Currier New"), QStringLiteral("Courier New"),
                      QStringLiteral("Liberation Mono"), QStringLiteral("DejaVu Sans Mono")});
    font.setStyleHint(QFont::Monospace);
    font.setPointSize(8);
    const QFontMetricsF fm(font, &device);
    p.ascent = fm.ascent() / p.scale;
    const double charW = std::max(1.0, fm.horizontalAdvance(QLatin1Char('0')) / p.scale);

    const int cols = std::max(1, src.colCount);
    int rows = std::max(0, src.rowCount);
    // Blank rows at the end (a table before any load has 128 of them) are not printed.
    auto blankRow = [&](int r) {
        if (!src.cell) return true;
        for (int c = 0; c < std::min(cols, 64); ++c)
            if (!src.cell(c, r).isEmpty()) return false;
        return true;
    };
    while (rows > 1 && blankRow(rows - 1))
        --rows;

    // Column widths: the advance table's, widened where the texts would touch the
    // next column (row numbers past 999, full-width dates and times), judged from
    // the heading row and a bounded sample of rows.
    const double right = p.pageW - kRightMargin;
    {
        constexpr int kSampleRows = 2000, kMeasuredCols = 64;
        const int measured = std::min(cols, kMeasuredCols);
        std::vector<int> chars(static_cast<std::size_t>(measured), 0);
        chars[0] = static_cast<int>(QString::number(std::max(0, rows - 1)).size());
        auto sample = [&](int r) {
            for (int c = 1; c < measured; ++c)
                chars[static_cast<std::size_t>(c)] =
                    std::max(chars[static_cast<std::size_t>(c)], static_cast<int>(src.cell(c, r).size()));
        };
        if (src.cell) {
            for (int r = 0; r < std::min(rows, kSampleRows); ++r)
                sample(r);
            if (rows > kSampleRows) sample(rows - 1);
        }
        for (int c = 0; c < measured; ++c)
            p.widths.push_back(std::min(
                std::max<double>(TablePrintColumnWidth(c), (chars[static_cast<std::size_t>(c)] + 1) * charW),
                (right - kLeft) / 2));
        // A table that is a little too wide for the page (a logger table whose
        // columns had to widen) is narrowed to fit: the columns and the font.
        double total = kLeft;
        for (int c = 0; c < cols; ++c)
            total += p.width(c);
        if (cols <= measured && total > right && total <= 1.3 * right) {
            const double squeeze = (right - kLeft) / (total - kLeft);
            for (double& w : p.widths)
                w *= squeeze;
            font.setPointSizeF(font.pointSizeF() * squeeze);
        }
    }
    p.font = font;
    const QFontMetricsF fmDrawn(font, &device);
    p.drawnCharW = std::max(1.0, fmDrawn.horizontalAdvance(QLatin1Char('0')) / p.scale);

    // Column pages: each holds column 0 and the columns after the previous page's.
    for (int c = 1; c < cols && static_cast<int>(p.bands.size()) < kMaxColumnPages;) {
        Band b;
        b.first = c;
        double x = kLeft + p.width(0);
        do {
            x += p.width(c);
            ++c;
        } while (c < cols && x + p.width(c) <= right + 0.5);
        b.last = c - 1;
        p.bands.push_back(b);
    }
    if (p.bands.empty()) p.bands.push_back(Band{1, 0}); // the row numbers only
    // Column pages with nothing to print (a table before any load) are left out.
    if (rows <= 64 && src.cell) {
        auto blank = [&](const Band& b) {
            for (int r = 0; r < rows; ++r)
                for (int c = b.first; c <= b.last; ++c)
                    if (!src.cell(c, r).isEmpty()) return false;
            return true;
        };
        while (p.bands.size() > 1 && blank(p.bands.back()))
            p.bands.pop_back();
    }
    p.lastShown = p.bands.back().last;
    p.columnsLeftOut = cols - 1 - p.lastShown;
    p.cols = cols;
    p.rows = rows;
    p.perPage = std::max(1, static_cast<int>((p.pageH - kFooter - kTop) / kRowPitch) - 1);
    p.dataRows = std::max(0, rows - 1);
    p.rowBlocks = std::max(1, (p.dataRows + p.perPage - 1) / p.perPage);
    return p;
}
} // namespace

int CountTablePages(const TableSource& source, QPagedPaintDevice& device) {
    return PlanTable(source, device).totalPages();
}

TablePrintResult PrintTable(const TableSource& src, QPagedPaintDevice& device, int firstPage, int lastPage) {
    TablePrintResult res;
    const TablePlan p = PlanTable(src, device);
    QPainter painter;
    if (!painter.begin(&device)) {
        res.error = QStringLiteral("The printer refused the print job");
        return res;
    }
    painter.setFont(p.font);
    painter.setPen(Qt::black);
    const double scale = p.scale, pageW = p.pageW, pageH = p.pageH;
    const QFontMetricsF fm(painter.font(), &device);
    res.columnsShown = p.lastShown + 1;
    res.columnsLeftOut = p.columnsLeftOut;

    // Draws a cell; a text is cut where it would leave the page.
    auto cell = [&](int col, int row, double x, double y) {
        if (!src.cell) return;
        QString text = src.cell(col, row);
        if (text.isEmpty()) return;
        const int room = std::max(1, static_cast<int>((pageW - x) / p.drawnCharW) + 1);
        if (text.size() > room) text.truncate(room);
        painter.drawText(QPointF(x * scale, (y + p.ascent) * scale), text);
    };
    auto drawRow = [&](int row, const Band& band, double y) {
        cell(0, row, kLeft, y);
        double x = kLeft + p.width(0);
        for (int c = band.first; c <= band.last; ++c) {
            cell(c, row, x, y);
            x += p.width(c);
        }
    };

    const int totalPages = p.totalPages();
    firstPage = std::max(1, firstPage);
    lastPage = std::min(totalPages, lastPage);
    const int toPrint = std::max(0, lastPage - firstPage + 1);
    int page = 0, printed = 0;
    for (int block = 0; block < p.rowBlocks && !res.cancelled && page < lastPage; ++block) {
        const int firstRow = 1 + block * p.perPage;
        const int lastRow = std::min(p.dataRows, firstRow + p.perPage - 1);
        for (const Band& band : p.bands) {
            ++page;
            if (page < firstPage) continue;
            if (page > lastPage) break;
            if (printed > 0 && !device.newPage()) {
                painter.end();
                res.error = QStringLiteral("The printer refused a new page");
                return res;
            }
            ++printed;
            if (p.rows > 0) drawRow(0, band, kTop);
            for (int r = firstRow; r <= lastRow; ++r)
                drawRow(r, band, kTop + kRowPitch * (r - firstRow + 1));
            QString foot = QStringLiteral("Page %1").arg(page);
            if (res.columnsLeftOut > 0)
                foot += QStringLiteral("   (columns %1 to %2 are not printed)")
                            .arg(p.lastShown + 1)
                            .arg(p.cols - 1);
            const double fy = pageH - kFooter / 2.0;
            const double fw = fm.horizontalAdvance(foot) / scale;
            painter.drawText(QPointF((pageW - fw) / 2 * scale, fy * scale), foot);
            if (src.progress && !src.progress(printed, toPrint)) {
                res.cancelled = true;
                break;
            }
        }
    }
    res.pages = printed;
    if (!painter.end()) {
        res.error = QStringLiteral("The printer refused the print job");
        return res;
    }
    res.ok = true;
    return res;
}

} // namespace logdata
