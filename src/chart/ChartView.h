#pragma once

#include "chart/ChartData.h"
#include "chart/ChartLayout.h"
#include "chart/ChartSurface.h"

#include <QColor>
#include <QFont>
#include <QFrame>
#include <QPointF>
#include <QVector>
#include <vector>

class QPainter;

// The time chart: series 0 as a filled area, series 1 as a line, over the page of points the
// horizontal axis shows. The top strip is left to the toolbar, a child laid over it. Only the
// visible points are drawn; a page with more points than pixel columns is drawn from per-column
// min/max, so a repaint costs the same whatever the page size and the number of points held.
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

    // The plot area in widget coordinates (its pixels, without the frame around it).
    QRect plotRect() const;
    // Where a point is drawn, in widget coordinates.
    QPointF mapToPlot(double x, double value) const;

protected:
    void paintEvent(QPaintEvent *event) override;
    // The wheel neither scrolls nor zooms the chart.
    void wheelEvent(QWheelEvent *event) override;

private:
    ChartLayout layout() const;
    ChartRange valueRange(ChartRange x) const;
    void drawAxes(QPainter &painter, const ChartLayout &l) const;
    void drawSeries(QPainter &painter, const ChartLayout &l, int series);
    void drawRun(QPainter &painter, const ChartLayout &l, bool area, const QColor &line);

    ChartData m_data;
    QFont m_font;
    bool m_repaintPending = false;
    // Scratch for painting, kept to avoid allocating on every repaint.
    QVector<QPointF> m_run;
    std::vector<ValueExtent> m_columns;
};
