#pragma once

#include "chart/ChartData.h"
#include "chart/ChartLayout.h"
#include "chart/ChartSurface.h"

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QPixmap>
#include <QPointF>
#include <QVector>
#include <array>
#include <future>
#include <optional>
#include <vector>

class QPainter;

// The time chart: series 0 as a filled area, series 1 as a line, over the page of points the
// horizontal axis shows. The top strip is left to the toolbar, a child laid over it. Only the
// visible points are drawn; a page with more points than pixel columns is drawn from per-column
// min/max, so a repaint costs the same whatever the page size and the number of points held.
// The chart is kept drawn in a picture, its background, grid and axes in another: a point
// appended to the page redraws only the columns it changes, and an unchanged chart is shown
// from the picture.
class ChartView : public QFrame, public ChartSurface
{
    Q_OBJECT
public:
    static constexpr int ToolBarHeight = ChartLayout::ToolBarHeight;
    // The toolkit's colour numbers 0x80FFFF, 0xFF8000 and 0x00FF80 (blue in the high byte).
    static constexpr QRgb AreaColor = 0xFFFFFF80;
    static constexpr QRgb AreaLineColor = 0xFF0080FF;
    static constexpr QRgb LineColor = 0xFF80FF00;

    explicit ChartView(QWidget *parent = nullptr);
    ~ChartView() override;

    ChartData &data() { return m_data; }
    const ChartData &data() const { return m_data; }

    int seriesCount() const override { return m_data.seriesCount(); }
    void addPoint(int series, double value) override { m_data.addPoint(series, value); }
    void clearSeries(int series) override { m_data.clearSeries(series); }
    qint64 pointCount(int series) const override { return m_data.pointCount(series); }
    void setSeriesActive(int series, bool active) override
    {
        m_data.setSeriesActive(series, active);
    }
    bool isSeriesActive(int series) const override { return m_data.isSeriesActive(series); }
    void setAxisAutomatic(Axis axis, bool automatic) override
    {
        m_data.setAxisAutomatic(axis, automatic);
    }
    bool isAxisAutomatic(Axis axis) const override { return m_data.isAxisAutomatic(axis); }
    void setAxisMinimum(Axis axis, double minimum) override
    {
        m_data.setAxisMinimum(axis, minimum);
    }
    void setAxisMaximum(Axis axis, double maximum) override
    {
        m_data.setAxisMaximum(axis, maximum);
    }
    double axisMinimum(Axis axis) const override { return m_data.axisMinimum(axis); }
    double axisMaximum(Axis axis) const override { return m_data.axisMaximum(axis); }
    bool scrollHorizontal(double offset) override { return m_data.scrollHorizontal(offset); }

    // Draws the background, grid and axes for the chart as it stands on a thread of its own, so
    // that the paint to come finds them drawn.
    void prepareBackground();

    // The plot area in widget coordinates (its pixels, without the frame around it).
    QRect plotRect() const;
    // Where a point is drawn, in widget coordinates.
    QPointF mapToPlot(double x, double value) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    // The wheel neither scrolls nor zooms the chart.
    void wheelEvent(QWheelEvent *event) override;

private:
    // What the layout follows: the widget's size and the ranges the axes show.
    struct LayoutInputs
    {
        QSize size;
        qreal ratio = 1.0;
        ChartRange x;
        ChartRange y;

        friend bool operator==(const LayoutInputs &, const LayoutInputs &) = default;
    };
    // What the chart picture shows.
    struct Drawn
    {
        LayoutInputs inputs;
        std::array<qint64, ChartData::SeriesCount> counts {};
        std::array<bool, ChartData::SeriesCount> active {};
        quint64 clears = 0;
    };

    ChartLayout layout() const;
    ChartRange valueRange(ChartRange x) const;
    LayoutInputs layoutInputs() const;
    const ChartLayout &cachedLayout();
    Drawn current(const LayoutInputs &inputs) const;
    // Whether the picture becomes the current chart by redrawing `columns` alone (empty when
    // nothing shown changed): only points were appended, all drawn point by point.
    bool appendedOnly(const ChartLayout &l, const Drawn &now, QRect &columns) const;
    void changed();
    static QFont labelFont();
    static void drawBackground(QPainter &painter, QRect rect, const QFont &font,
                               const ChartLayout &l);
    void drawAll(const ChartLayout &l);
    void drawColumns(const ChartLayout &l, const QRect &columns);
    static void drawAxes(QPainter &painter, const QFont &font, const ChartLayout &l);
    void drawSeries(QPainter &painter, const ChartLayout &l, int series, qint64 from = 0);
    void drawRun(QPainter &painter, const ChartLayout &l, bool area, const QColor &line);

    ChartData m_data;
    QFont m_font;
    LayoutInputs m_layoutInputs;
    std::optional<ChartLayout> m_layout;
    QPixmap m_background; // the background, grid and axes of m_backgroundInputs
    LayoutInputs m_backgroundInputs;
    // The background prepareBackground() is drawing, for these inputs.
    std::future<QImage> m_preparedBackground;
    LayoutInputs m_preparedInputs;
    QPixmap m_picture; // the whole chart as m_drawn says
    QPixmap m_scratch;
    std::optional<Drawn> m_drawn;
    bool m_repaintPending = false;
    // Scratch for painting, kept to avoid allocating on every repaint.
    QVector<QPointF> m_run;
    std::vector<ValueExtent> m_columns;
};
