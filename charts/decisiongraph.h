// The chart component: a chart (TDecisionGraph) holding line series
// (TFastLineSeries, TLineSeries), drawn with QtCharts.
//
// Points are appended to a buffer of the series (AddPoint); the chart shows
// them once Refresh() is called, so a load of thousands of rows repaints each
// chart once. X of a point is its index in the series; the bottom axis shows the
// points' label texts, a readable subset when there are many, recomputed when
// the user zooms or scrolls.
//
// Exploring: the wheel zooms the time axis around the cursor, Ctrl+wheel the
// vertical axis; a left drag draws a zoom box in any direction (a flat box zooms
// the time axis only, a narrow one the vertical axis only); a middle drag or
// Shift+left drag pans the time axis; a double click, Escape or "Reset zoom"
// shows everything again. A tracker follows the mouse (or the arrow keys, row by
// row) and shows the row's Date, Time, number and each visible series' value.
// A plain left click raises clicked(); a click on a legend entry hides or shows
// that series. The right button opens the chart's menu (reset, copy, save, export).
#pragma once

#include <QChartView>
#include <QColor>
#include <QFont>
#include <QLineSeries>
#include <QPalette>
#include <QPen>
#include <QStringList>
#include <QValueAxis>
#include <limits>
#include <vector>

class QAction;
class QPrinter;
class QTimer;
class QRubberBand;

class TDecisionGraph;

class TChartSeries {
public:
    enum class Kind { FastLine, Line };
    // What a series stands for, which decides how it is drawn: a data line in its
    // own colour; an alarm level as a dashed line in the level colour, whatever
    // colour it was given (a white level is invisible on the white plot); a range
    // series as a faint dotted line.
    enum class Role { Data, Level, Range };

    TChartSeries(TDecisionGraph* chart, const QString& name, Kind kind);
    virtual ~TChartSeries() = default;
    TChartSeries(const TChartSeries&) = delete;
    TChartSeries& operator=(const TChartSeries&) = delete;

    QString name() const { return m_name; }
    Kind kind() const { return m_kind; }
    TDecisionGraph* chart() const { return m_chart; }

    // Appends one point; X is the number of points held before the call.
    void AddPoint(double y, const QString& label, QColor color);
    void ClearPoints();
    // Every point takes the value y (a level line moved after the load).
    void setAllY(double y);

    int count() const { return static_cast<int>(m_y.size()); }
    double y(int i) const { return m_y[static_cast<std::size_t>(i)]; }
    double x(int i) const { return i; }
    QString label(int i) const { return m_labels[i]; }
    QColor pointColor(int i) const { return QColor::fromRgb(m_colors[static_cast<std::size_t>(i)]); }
    const std::vector<double>& yValues() const { return m_y; }
    const QStringList& labels() const { return m_labels; }
    // The largest Y of the series (0 when empty).
    double maxY() const;

    // Legend text.
    QString Title() const { return m_title; }
    void setTitle(const QString& t);
    QColor SeriesColor() const { return m_color; }
    void setSeriesColor(QColor c);
    bool LinePenVisible() const { return m_lineVisible; }
    void setLinePenVisible(bool v);
    Qt::PenStyle penStyle() const { return m_penStyle; }
    void setPenStyle(Qt::PenStyle s);
    bool PointerVisible() const { return m_pointerVisible; }
    void setPointerVisible(bool v) { m_pointerVisible = v; }
    bool ShowInLegend() const { return m_showInLegend; }
    void setShowInLegend(bool v);
    Role role() const { return m_role; }
    void setRole(Role r);
    // The pen the series is drawn with (after its role).
    QPen drawnPen() const;
    // Hidden by a click on its legend entry: not drawn, still counted by the axis.
    bool hiddenByUser() const { return m_hiddenByUser; }
    bool XValuesDateTime() const { return m_xDateTime; }
    void setXValuesDateTime(bool v) { m_xDateTime = v; }

    // The QtCharts series that draws this one (null while the line is hidden).
    QLineSeries* drawn() const { return m_drawn; }

private:
    friend class TDecisionGraph;
    TDecisionGraph* m_chart;
    QString m_name;
    Kind m_kind;
    QString m_title;
    QColor m_color = Qt::black;
    Qt::PenStyle m_penStyle = Qt::SolidLine;
    bool m_lineVisible = true;
    bool m_pointerVisible = false;
    bool m_showInLegend = true;
    bool m_xDateTime = false;
    bool m_hiddenByUser = false;
    Role m_role = Role::Data;
    std::vector<double> m_y;
    std::vector<QRgb> m_colors;
    QStringList m_labels;
    QLineSeries* m_drawn = nullptr;
};

class TFastLineSeries : public TChartSeries {
public:
    TFastLineSeries(TDecisionGraph* chart, const QString& name) : TChartSeries(chart, name, Kind::FastLine) {}
};

class TLineSeries : public TChartSeries {
public:
    TLineSeries(TDecisionGraph* chart, const QString& name) : TChartSeries(chart, name, Kind::Line) {}
};

// Highest value of each group of Period points. Attached to the level series
// without a source series, it computes nothing: those series show exactly the
// points added to them.
struct THighTeeFunction {
    QString name;
    int Period = 20;
    TChartSeries* series = nullptr;
};

// Round tick spacing for a vertical axis: a step of 1, 2, 2.5 or 5 times a
// power of ten giving at most maxTicks ticks between lo and hi (and, for
// maxTicks of 9 or more, at least 4).
struct AxisTicks {
    double step = 1;
    int decimals = 0; // digits after the point the labels need
    int count = 0;    // ticks within [lo, hi]
};
AxisTicks NiceTicks(double lo, double hi, int maxTicks);

// The level colour (an alarm level line and its legend swatch).
inline constexpr QRgb kLevelColor = 0xffe06000;

// What a chart knows of the rows its points came from: point i is data row i + 1
// of the table. The page that loads the charts provides it.
class TChartRows {
public:
    virtual ~TChartRows() = default;
    static constexpr qint64 kNoMoment = std::numeric_limits<qint64>::min();
    // The file the points were loaded from ("" when none).
    virtual QString sourceFile() const = 0;
    // Each point's moment in seconds since the epoch (local time), kNoMoment
    // where the row's Date and Time do not read as a moment.
    virtual const std::vector<qint64>& moments() const = 0;
    // The row's Date and Time as the file has them ("" when there is no row).
    virtual QString dateTimeText(int index) const = 0;
    // Whether the bottom axis shows times of day (true) or row numbers.
    virtual bool timeLabels() const = 0;
};

struct TChartAxis {
    bool Automatic = false;
    bool AutomaticMinimum = false;
    bool AutomaticMaximum = false;
    double Minimum = 0;
    double Maximum = 100;
};

class TDecisionGraph : public QChartView {
    Q_OBJECT
public:
    enum class LegendStyle { Auto, Series };

    explicit TDecisionGraph(const QString& name, QWidget* parent = nullptr);
    ~TDecisionGraph() override;

    template <class S> S* addSeries(const QString& name) {
        auto* s = new S(this, name);
        adopt(s);
        return s;
    }
    const std::vector<TChartSeries*>& series() const { return m_series; }
    TChartSeries* findSeries(const QString& name) const;

    // Heading lines.
    QStringList TitleText() const { return m_titleText; }
    void setTitleText(const QStringList& lines);
    void setTitleText(const QString& text) { setTitleText(QStringList{text}); }
    // Replaces the first heading line and keeps the others.
    void setTitleFirstLine(const QString& text);

    TChartAxis LeftAxis;
    LegendStyle legendStyle() const { return m_legendStyle; }
    void setLegendStyle(LegendStyle s);
    bool View3D = false;

    // Shows what the series hold: drawn lines, axis ranges. Cheap when nothing changed.
    void Refresh();
    // Redraws the chart at once.
    void Repaint();

    // The vertical range the axis shows now.
    double axisMin() const;
    double axisMax() const;
    // The visible X range (after zoom or scroll).
    double visibleXMin() const { return m_xMin; }
    double visibleXMax() const { return m_xMax; }
    bool zoomed() const { return m_zoomed; }
    void zoomX(double xmin, double xmax);
    // Zooms the vertical axis to lo..hi.
    void zoomY(double lo, double hi);
    // Both axes back to the designed ranges.
    void undoZoom();
    // The smallest vertical span a zoom may show: the readings' resolution (0.1
    // for a temperature, 1 for a counter, times a multiplier). A closer zoom is
    // widened to it around its middle.
    void setMinimumSpan(double span) { m_minYSpan = span; }
    double minimumSpan() const { return m_minYSpan; }
    // The rows behind the points (not owned; may be null).
    void setRows(const TChartRows* rows);
    const TChartRows* rows() const { return m_rows; }
    // First and last point index on screen (-1, -1 when there are no points).
    std::pair<int, int> visibleIndexRange() const;
    // Hides or shows a series as a click on its legend entry does.
    void setSeriesHidden(TChartSeries* s, bool hidden);

    // The tracker: the point index it stands on (-1: not shown) and its box text.
    // It follows the mouse over the plot and goes when the mouse leaves the chart.
    int trackerIndex() const { return m_tracker; }
    void setTrackerIndex(int index);
    QString trackerText() const;

    // The chart as an image of the given size (the chart scaled to fit, kept in
    // proportion, on white), and saved as PNG or SVG by the name's suffix. Throws
    // EError when the file cannot be written.
    static constexpr int kMaxImageSide = 8000;
    QImage renderImage(QSize size);
    void saveImage(const QString& path, QSize size);
    // The chart as a one-page landscape PDF.
    void savePdf(const QString& path);
    // Label texts the bottom axis shows now, with their X values. With times of
    // day, ticks are placed by time; a gap (a step of more than three usual
    // steps), a step back in time or rows without a time break the time into
    // stretches, each marked where it begins (gapMarks()) and labelled with its
    // date and time; rows without a time keep their numbers.
    QList<QPair<double, QString>> visibleLabels() const;
    // Where the bottom axis marks a break in the time (X between two rows), as
    // of the last visibleLabels().
    QList<double> gapMarks() const { return m_gapMarks; }
    // Tick labels of the vertical axis now (values as shown).
    QStringList leftAxisLabels() const;
    bool leftAxisGridVisible() const;
    // The font of every text of the chart but the heading; sized in pixels so that
    // a printout keeps the proportions of the screen.
    QFont labelFont() const { return m_labelFont; }
    // The heading as plain text, blanks kept.
    QString shownTitle();
    // Sizes and lays out a chart that has never been shown, so that it can be
    // painted or printed like a shown one.
    void ensureLaidOut();

    // Prints the whole chart on one page of the printer (landscape or not, as the
    // printer is set). The document is titled with the chart's name. Throws
    // std::runtime_error when the printer cannot start the document.
    void PrintChart(QPrinter& printer);

    // The colours the chart is drawn in: the application's palette on screen
    // (background, texts, axes, grid; series kept readable on it), dark on white
    // on paper and in exported images.
    QColor backgroundColour() const { return m_paper; }
    QColor inkColour() const { return m_ink; }
    // The colour a series is drawn in now.
    QColor shownColour(const TChartSeries* s) const;

signals:
    // A plain left click, told once the double-click interval has passed without
    // a second click (a double click resets the zoom); never after a drag.
    void clicked();
    // The visible span or the data changed (zoom, pan, reset, a load).
    void viewChanged();
    // "Export CSV...": rows first..last by point index, or every loaded row (-1, -1).
    void exportCsvRequested(int first, int last);

protected:
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void changeEvent(QEvent* e) override;
    void drawForeground(QPainter* painter, const QRectF& rect) override;
    void drawBottomLabels(QPainter* painter) const;
    void drawTracker(QPainter* painter) const;

private:
    friend class TChartSeries;
    void adopt(TChartSeries* s);
    void seriesChanged() { m_dirty = true; }
    void applyStyle(TChartSeries* s);
    void applyTitle();
    void applyLegendVisibility();
    void updateAxes();
    void updateDrawnPoints();
    int totalPoints() const;
    void setVerticalRange(double lo, double hi);
    const TChartSeries* labelSource() const;
    void buildActions();
    void legendMarkerClicked();
    void viewUpdated();
    void renderOn(QPainter& painter, const QRectF& target);
    // The bottom axis in times of day; false when the rows' moments cannot give it.
    bool timeAxisLabels(QList<QPair<double, QString>>& out) const;
    int indexAtScene(double sceneX) const;
    void exportImageClick();
    void exportPdfClick();
    // Draws in `palette`'s colours from now on.
    void applyColours(const QPalette& palette);
    QPen shownPen(const TChartSeries* s) const;
    // Dark on white while it lives (printouts, images), the screen's colours after.
    class PaperColours {
    public:
        explicit PaperColours(TDecisionGraph* g);
        ~PaperColours();
        PaperColours(const PaperColours&) = delete;
        PaperColours& operator=(const PaperColours&) = delete;

    private:
        TDecisionGraph* m_g;
        QPalette m_screen;
    };

    const TChartRows* m_rows = nullptr;
    mutable QList<double> m_gapMarks;
    QString m_shownFile;
    int m_tracker = -1;
    int m_lastTracker = -1; // where the tracker was when the mouse left
    QAction *ResetZoom = nullptr, *CopyImage = nullptr, *ExportImage = nullptr, *ExportPdf = nullptr,
            *ExportCsv = nullptr;

    QChart* m_qchart;
    QValueAxis* m_axisX;
    QValueAxis* m_axisY;
    QFont m_labelFont;
    QColor m_paper = Qt::white; // background
    QColor m_ink = Qt::black;   // texts and axes
    std::vector<TChartSeries*> m_series;
    QStringList m_titleText;
    LegendStyle m_legendStyle = LegendStyle::Auto;
    bool m_dirty = true;
    bool m_zoomed = false;
    double m_xMin = 0, m_xMax = 1;
    double m_yMinZoom = 0, m_yMaxZoom = 0;
    bool m_yZoomed = false;
    double m_minYSpan = 0;
    // Zooms the vertical axis to lo..hi, widened to the smallest span.
    void zoomYWithin(double lo, double hi);
    QTimer* m_clickTimer = nullptr; // a click waits to be sure it is not a double click
    // mouse state
    QPoint m_pressPos;
    Qt::MouseButton m_pressButton = Qt::NoButton;
    bool m_dragging = false;
    QRubberBand* m_band = nullptr;
    bool m_panning = false;
    bool m_onLegend = false; // the press went to the legend
    double m_panXMin = 0, m_panXMax = 0, m_panYMin = 0, m_panYMax = 0;
};
