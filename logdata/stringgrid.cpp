#include "logdata/stringgrid.h"

#include "logdata/rowformat.h"
#include "platform/fit.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>

class TStringGridModel : public QAbstractTableModel {
public:
    explicit TStringGridModel(TStringGrid* grid) : QAbstractTableModel(grid), m_grid(grid) {}

    // Row 0 and column 0 of the grid are the fixed ones, shown in the headers.
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : std::max(0, m_grid->m_rowCount - 1);
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : std::max(0, m_grid->m_colCount - 1);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role == Qt::DisplayRole)
            return m_grid->cellText(index.column() + 1, index.row() + 1, TStringGrid::kShownChars);
        if (role == Qt::ForegroundRole) return m_grid->shownFontColor();
        return {};
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role == Qt::DisplayRole)
            return o == Qt::Horizontal ? m_grid->cellText(section + 1, 0) : m_grid->cellText(0, section + 1);
        if (role == Qt::ForegroundRole) return m_grid->shownFontColor();
        return {};
    }
    void reset() {
        beginResetModel();
        endResetModel();
    }

private:
    TStringGrid* m_grid;
};

namespace {
quint64 key(int col, int row) {
    return (static_cast<quint64>(static_cast<quint32>(row)) << 32) | static_cast<quint32>(col);
}
} // namespace

TStringGrid::TStringGrid(QWidget* parent) : QTableView(parent), m_model(new TStringGridModel(this)) {
    setModel(m_model);
    setFocusPolicy(Qt::ClickFocus); // no keyboard focus by tabbing
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setTextElideMode(Qt::ElideNone); // cells are clipped at the column edge, as in a grid
    horizontalHeader()->setDefaultSectionSize(DefaultColWidth());
    horizontalHeader()->setMinimumSectionSize(4);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setFixedHeight(17);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(16);
    verticalHeader()->setDefaultSectionSize(16);
    verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->setHighlightSections(false);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_widths.assign(static_cast<std::size_t>(m_colCount), DefaultColWidth());
    applyWidths();
}

TStringGrid::~TStringGrid() = default;

void TStringGrid::setColCount(int n) {
    n = std::max(1, n);
    if (n == m_colCount) return;
    // Columns that come into being take the default width.
    if (static_cast<int>(m_widths.size()) < n)
        m_widths.resize(static_cast<std::size_t>(n), DefaultColWidth());
    for (int c = m_colCount; c < n; ++c)
        m_widths[static_cast<std::size_t>(c)] = DefaultColWidth();
    m_colCount = n;
    layoutChanged();
}

void TStringGrid::setRowCount(int n) {
    n = std::max(1, n);
    if (n == m_rowCount) return;
    m_rowCount = n;
    layoutChanged();
}

QString TStringGrid::cellText(int col, int row, qsizetype maxChars) const {
    if (col < 0 || row < 0) return {};
    if (!m_cells.isEmpty()) {
        auto it = m_cells.constFind(key(col, row));
        if (it != m_cells.constEnd()) return *it;
    }
    if (row >= static_cast<int>(m_rows.size())) return {};
    const Row& r = m_rows[static_cast<std::size_t>(row)];
    if (!r.hasLine) return {};
    if (col == 0) return QString::number(row);
    if (m_cacheRow != row) {
        m_cacheFields.clear();
        logdata::ForEachCSVField(std::string_view(m_arena).substr(r.offset, r.length), r.separator,
                                 [&](std::string_view f) { m_cacheFields.push_back(f); });
        m_cacheRow = row;
    }
    const std::size_t f = static_cast<std::size_t>(col - 1);
    if (f >= m_cacheFields.size()) return {};
    const std::string_view v = m_cacheFields[f];
    if (maxChars >= 0 && static_cast<qsizetype>(v.size()) > maxChars)
        return QString::fromLatin1(v.data(), maxChars) + QChar(0x2026);
    return QString::fromLatin1(v.data(), static_cast<qsizetype>(v.size()));
}

QString TStringGrid::Cells(int col, int row) const {
    return cellText(col, row);
}

void TStringGrid::setCells(int col, int row, const QString& text) {
    m_cells.insert(key(col, row), text);
    if (m_hold == 0)
        viewport()->update();
    else
        m_pending = true;
}

void TStringGrid::setRowLine(int row, std::string_view line, char separator) {
    if (row < 0) return;
    if (row >= static_cast<int>(m_rows.size())) m_rows.resize(static_cast<std::size_t>(row) + 1);
    Row& r = m_rows[static_cast<std::size_t>(row)];
    r.offset = m_arena.size();
    r.length = line.size();
    r.separator = separator;
    r.hasLine = true;
    const std::size_t capacity = m_arena.capacity();
    m_arena.append(line);
    // The cached fields point into the arena: a new line of their row, or an arena
    // that moved to grow, leaves them pointing at nothing.
    if (row == m_cacheRow || m_arena.capacity() != capacity) m_cacheRow = -1;
    // A line replaces whatever was set cell by cell in that row.
    if (!m_cells.isEmpty()) {
        for (auto it = m_cells.begin(); it != m_cells.end();)
            it = (static_cast<int>(it.key() >> 32) == row) ? m_cells.erase(it) : std::next(it);
    }
    if (m_hold == 0) viewport()->update();
}

void TStringGrid::clearCells() {
    ++m_generation;
    m_rows.clear();
    m_arena.clear();
    m_arena.shrink_to_fit();
    m_cells.clear();
    m_cacheRow = -1;
    layoutChanged();
}

int TStringGrid::ColWidths(int col) const {
    if (col < 0 || col >= static_cast<int>(m_widths.size())) return DefaultColWidth();
    return m_widths[static_cast<std::size_t>(col)];
}

void TStringGrid::setColWidths(int col, int width) {
    if (col < 0) return;
    if (col >= static_cast<int>(m_widths.size()))
        m_widths.resize(static_cast<std::size_t>(col) + 1, DefaultColWidth());
    m_widths[static_cast<std::size_t>(col)] = width;
    if (m_hold == 0)
        applyWidths();
    else
        m_pending = true;
}

void TStringGrid::applyWidths() {
    // The designed widths, or more where the font needs more for a column's texts
    // (a larger font, a wider face): a reading is never cut. The rows of a column
    // share one format, so the first rows tell what the column needs.
    const QFontMetrics fm(font());
    const int margin = 2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 1;
    const int headerMargin =
        2 * style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, horizontalHeader()) + 1;
    constexpr int kSampleRows = 50;
    auto need = [&](int col) {
        int w = QFontMetrics(horizontalHeader()->font()).horizontalAdvance(cellText(col, 0)) + headerMargin;
        for (int r = 1; r < std::min(m_rowCount, kSampleRows + 1); ++r)
            w = std::max(w, fm.horizontalAdvance(cellText(col, r)) + margin);
        return w;
    };
    const int rowNumbers =
        QFontMetrics(verticalHeader()->font()).horizontalAdvance(QString::number(m_rowCount)) + headerMargin;
    verticalHeader()->setFixedWidth(std::max(ColWidths(0), rowNumbers));
    for (int c = 1; c < m_colCount; ++c)
        horizontalHeader()->resizeSection(c - 1, std::max(ColWidths(c), need(c)));
}

void TStringGrid::changeEvent(QEvent* e) {
    QTableView::changeEvent(e);
    if (e->type() == QEvent::FontChange && m_hold == 0) applyWidths();
}

QVariant TStringGrid::shownFontColor() const {
    // Plain black is the palette's text colour (white on a dark palette); a marking
    // colour stays, made lighter where it would not stand out from the cells' background.
    if (!m_fontColor.isValid() || m_fontColor == QColor(Qt::black)) return {};
    const QColor base = palette().color(QPalette::Base);
    QColor c = m_fontColor;
    for (int i = 0; i < 4 && layout::contrast(c, base) < 4.5 && layout::contrast(base, Qt::white) > 2.0; ++i)
        c = c.lighter(130);
    return c;
}

void TStringGrid::setFontColor(QColor c) {
    if (c == m_fontColor) return;
    m_fontColor = c;
    if (m_hold == 0) {
        viewport()->update();
        horizontalHeader()->viewport()->update();
        verticalHeader()->viewport()->update();
    } else {
        m_pending = true;
    }
}

void TStringGrid::layoutChanged() {
    if (m_hold > 0) {
        m_pending = true;
        return;
    }
    m_model->reset();
    applyWidths();
}

void TStringGrid::beginUpdate() {
    ++m_hold;
}

void TStringGrid::endUpdate() {
    if (m_hold == 0 || --m_hold > 0) return;
    if (m_pending) {
        m_pending = false;
        m_model->reset();
        applyWidths();
    }
}

std::string_view TStringGrid::rowLine(int row) const {
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return {};
    const Row& r = m_rows[static_cast<std::size_t>(row)];
    if (!r.hasLine) return {};
    return std::string_view(m_arena).substr(r.offset, r.length);
}

char TStringGrid::rowSeparator(int row) const {
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return ',';
    return m_rows[static_cast<std::size_t>(row)].separator;
}
