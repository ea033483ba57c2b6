// The table of the CSV page: a grid of text cells with one fixed row (row 0,
// shown as the column header) and one fixed column (column 0, the row numbers).
//
// Rows that come from a logger file are held as their line text and split into
// cells when shown, so a table of 100,000 rows costs little more than the file.
#pragma once

#include "logdata/tableprint.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QHash>
#include <QTableView>
#include <string>
#include <string_view>
#include <vector>

class TStringGridModel;

class TStringGrid : public QTableView {
    Q_OBJECT
public:
    explicit TStringGrid(QWidget* parent = nullptr);
    ~TStringGrid() override;

    int ColCount() const { return m_colCount; }
    int RowCount() const { return m_rowCount; }
    void setColCount(int n);
    void setRowCount(int n);

    // Text of a cell (column, row), "" outside what was set.
    QString Cells(int col, int row) const;
    void setCells(int col, int row, const QString& text);
    // Stores a whole line as row `row`: column 0 the row number, columns 1.. the
    // fields of the line. Does not change the column or row count.
    void setRowLine(int row, std::string_view line, char separator);
    // Empties every cell.
    void clearCells();
    // The line a row was set from, as read ("" for a row set cell by cell).
    std::string_view rowLine(int row) const;
    char rowSeparator(int row) const;
    // Counts the times the grid was emptied: what was computed from its rows is stale.
    quint64 generation() const { return m_generation; }

    int ColWidths(int col) const;
    void setColWidths(int col, int width);
    int DefaultColWidth() const { return 48; }

    QColor fontColor() const { return m_fontColor; }
    // The colour cells are drawn in: none for plain black (the palette's text colour).
    QVariant shownFontColor() const;
    void setFontColor(QColor c);

    // While updates are held the view is not told about changes; endUpdate()
    // tells it once.
    void beginUpdate();
    void endUpdate();

    // Used by the model: a cell's text, cut to maxChars (and an ellipsis) when
    // that is not negative.
    QString cellText(int col, int row, qsizetype maxChars = -1) const;
    // The table shows at most this much of a cell (a line of megabytes without
    // a comma is one cell; laying it out would stall the window).
    static constexpr qsizetype kShownChars = 512;
    // The rows as the table printout reads them (valid while the grid lives and
    // is not changed).
    logdata::TableSource printSource() const {
        logdata::TableSource src;
        src.rowCount = m_rowCount;
        src.colCount = m_colCount;
        src.cell = [this](int col, int row) { return cellText(col, row); };
        return src;
    }

protected:
    void changeEvent(QEvent* e) override;

private:
    friend class TStringGridModel;
    struct Row {
        std::size_t offset = 0; // into m_arena
        std::size_t length = 0;
        char separator = ',';
        bool hasLine = false;
    };
    void layoutChanged();
    void applyWidths();

    TStringGridModel* m_model;
    int m_colCount = 24;
    int m_rowCount = 128;
    std::vector<Row> m_rows;
    std::string m_arena;
    QHash<quint64, QString> m_cells; // cells set one by one
    std::vector<int> m_widths;
    QColor m_fontColor = Qt::black;
    int m_hold = 0;
    quint64 m_generation = 0;
    bool m_pending = false;
    // Cache of the last split row, for painting.
    mutable int m_cacheRow = -1;
    mutable std::vector<std::string_view> m_cacheFields;
};
