// The table printout: every row of the table, as plain text lines in a fixed
// font, over as many pages as it needs. Each page repeats the heading row and
// carries its page number; columns that do not fit the page's width continue on
// further pages, each again with the row numbers. No widgets: the rows come from
// a source function and go to any paged device (a printer, a PDF writer).
#pragma once

#include <QString>
#include <functional>
#include <limits>

class QPagedPaintDevice;

namespace logdata {

// The rows to print: row 0 is the heading row, column 0 the row numbers.
struct TableSource {
    int rowCount = 0;
    int colCount = 0;
    std::function<QString(int col, int row)> cell;
    // Called after each page with the pages done and the pages in all; returning
    // false ends the printout there (a Cancel button). May be empty.
    std::function<bool(int done, int pages)> progress;
};

struct TablePrintResult {
    bool ok = false;
    QString error;        // why the printout failed (when !ok)
    int pages = 0;        // pages printed
    int columnsShown = 0; // columns that reached the paper, the row numbers included
    int columnsLeftOut = 0;
    bool cancelled = false; // ended early by the progress function
};

// At most this many column pages per block of rows: a line of 200,000 fields
// would otherwise give thousands of pages per row block. The columns beyond
// are left out, and every page says so.
inline constexpr int kMaxColumnPages = 8;

// Prints the table, pages firstPage..lastPage of it (numbered from 1; all by
// default). The layout is that of a 300 dpi page (a row every 36 dots, the
// first column at 150 dots, each column as wide as its advance entry), scaled
// to the device's resolution. The progress function hears of the pages printed
// of the pages to print.
TablePrintResult PrintTable(const TableSource& source, QPagedPaintDevice& device, int firstPage = 1,
                            int lastPage = std::numeric_limits<int>::max());
// The pages the printout of the table takes on this device, nothing printed.
int CountTablePages(const TableSource& source, QPagedPaintDevice& device);

// The width of column `col` on the page, in 1/300 inch.
int TablePrintColumnWidth(int col);

} // namespace logdata
