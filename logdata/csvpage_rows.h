// The CSV page's loaded rows as the charts read them (the tracker's Date and Time,
// the time axis, the zoomed span of an export): shared by the page's own files.
#pragma once

#include "charts/decisiongraph.h"
#include "charts/spanstats.h"
#include "logdata/csvpage.h"
#include "logdata/rowformat.h"
#include "logdata/stringgrid.h"

#include <QCheckBox>
#include <QDateTime>
#include <QString>
#include <algorithm>
#include <string_view>
#include <vector>

class CsvPage::Rows : public TChartRows {
public:
    explicit Rows(const CsvPage& page) : m_page(page) {}
    QString sourceFile() const override { return m_page.loadedFile(); }
    const std::vector<qint64>& moments() const override {
        const TStringGrid* grid = m_page.StringGrid1;
        const int points = std::min(grid->RowCount() - 1, logdata::kMaxDecodedRow);
        if (grid->generation() != m_generation || points != static_cast<int>(m_moments.size())) {
            m_generation = grid->generation();
            m_moments.assign(static_cast<std::size_t>(std::max(0, points)), kNoMoment);
            // Dates are read the way that fits the days the file's name tells.
            const logdata::DaySpan span = logdata::DaySpanOfFileName(m_page.loadedFile());
            for (int i = 0; i < points; ++i) {
                // Date and Time are the row's first two fields, read from its line as loaded.
                const std::string_view line = grid->rowLine(i + 1);
                const char sep = grid->rowSeparator(i + 1);
                const std::size_t a = line.find(sep);
                if (a == std::string_view::npos) continue;
                const std::size_t b = line.find(sep, a + 1);
                const QDateTime at =
                    logdata::RowMoment(line.substr(0, a), line.substr(a + 1, b - a - 1), span);
                if (at.isValid()) m_moments[static_cast<std::size_t>(i)] = at.toSecsSinceEpoch();
            }
        }
        return m_moments;
    }
    QString dateTimeText(int index) const override {
        const TStringGrid* grid = m_page.StringGrid1;
        if (index < 0 || index + 1 >= grid->RowCount()) return {};
        return (grid->Cells(1, index + 1) + QLatin1Char(' ') + grid->Cells(2, index + 1)).trimmed();
    }
    bool timeLabels() const override { return m_page.Xmode->isChecked(); }

private:
    const CsvPage& m_page;
    mutable quint64 m_generation = ~quint64{0};
    mutable std::vector<qint64> m_moments;
};
