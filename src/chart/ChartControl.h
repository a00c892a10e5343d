#pragma once

#include <QtGlobal>

class ChartSurface;

// Pages the time chart: appends every value to both series, keeps the newest page in view
// while the user is not browsing, pages back and forth, changes the page size, clears the
// chart, switches the filled area and sets the value axis range. Every scroll goes through the
// chart's limit check, so the page counters may move while the axis stays.
class ChartControl
{
public:
    // Puts the chart in its initial state: axis 1 .. pageSize, one zero point per series,
    // page 1, the filled area on. pageSize must be at least 1 (a smaller one is taken as 1).
    ChartControl(ChartSurface &chart, qint32 pageSize);
    ChartControl(const ChartControl &) = delete;
    ChartControl &operator=(const ChartControl &) = delete;

    // Number of pages that n points fill with p points a page (p >= 1).
    static qint64 pagesFor(qint64 points, qint64 pageSize);

    // Each returns CurrentPage.
    qint32 AppendValue(double value);
    qint32 FirstPage();
    qint32 PreviousPage();
    qint32 NextPage();
    qint32 LastPage();
    qint32 ClearChart();

    // Callers refuse a page size below 1; here it is ignored.
    void SetPageSize(qint32 pageSize);
    void SetFill(bool on);
    void SetLeftMax(double value);
    void SetLeftMin(double value);

    ChartSurface &Chart() const { return *m_chart; }
    qint32 CurrentPage() const { return m_currentPage; }
    qint32 PageSize() const { return m_pageSize; }
    qint32 PageCount() const { return m_pageCount; }
    bool Browsing() const { return m_browsing; }
    qint32 PointCount() const { return m_pointCount; }
    double LeftMax() const { return m_leftMax; }
    double LeftMin() const { return m_leftMin; }
    bool FillOn() const { return m_fillOn; }

private:
    void scroll(qint64 times, double offset);

    ChartSurface *m_chart;
    qint32 m_currentPage = 0;
    qint32 m_pageSize = 0;
    qint32 m_pageCount = 0;
    bool m_browsing = false;
    qint32 m_pointCount = 0;
    double m_leftMax = 0.0;
    double m_leftMin = 0.0;
    bool m_fillOn = false;
};
