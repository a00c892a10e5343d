#include "chart/ChartControl.h"

#include "chart/ChartSurface.h"

#include <algorithm>

using Axis = ChartSurface::Axis;

ChartControl::ChartControl(ChartSurface &chart, qint32 pageSize)
    : m_chart(&chart)
{
    const qint32 p = std::max<qint32>(pageSize, 1);
    SetPageSize(p);
    m_chart->setAxisAutomatic(Axis::Horizontal, false);
    m_chart->setAxisMinimum(Axis::Horizontal, 1.0);
    m_chart->setAxisMaximum(Axis::Horizontal, double(p));
    m_pageCount = 1;
    m_currentPage = 1;
    // The zero point at x 0 lies left of the axis start, so the first value lands at x 1.
    for (int s = 0; s < m_chart->seriesCount(); ++s)
        m_chart->addPoint(s, 0.0);
    m_fillOn = true;
    m_chart->setSeriesActive(0, true);
}

qint64 ChartControl::pagesFor(qint64 points, qint64 pageSize)
{
    return points / pageSize + (points % pageSize > 0 ? 1 : 0);
}

void ChartControl::scroll(qint64 times, double offset)
{
    // Once the limit check refuses, every further scroll in the same direction is refused too.
    for (qint64 i = 0; i < times; ++i) {
        if (!m_chart->scrollHorizontal(offset))
            break;
    }
}

qint32 ChartControl::AppendValue(double value)
{
    for (int s = 0; s < m_chart->seriesCount(); ++s)
        m_chart->addPoint(s, value);
    const qint64 points = m_chart->pointCount(0);
    m_pointCount = qint32(points);
    m_pageCount = qint32(pagesFor(points, m_pageSize));
    if (!m_browsing) {
        m_chart->scrollHorizontal(double(m_pageSize));
        m_currentPage = m_pageCount;
    }
    return m_currentPage;
}

qint32 ChartControl::FirstPage()
{
    if (m_pageCount > 1 && m_currentPage != 1) {
        scroll(qint64(m_currentPage) - 1, -double(m_pageSize));
        m_currentPage = 1;
        m_browsing = true;
    }
    return m_currentPage;
}

qint32 ChartControl::PreviousPage()
{
    if (m_currentPage > 1) {
        m_chart->scrollHorizontal(-double(m_pageSize));
        --m_currentPage;
        m_browsing = true;
    }
    return m_currentPage;
}

qint32 ChartControl::NextPage()
{
    if (m_pageCount > 1 && m_pageCount != m_currentPage) {
        m_chart->scrollHorizontal(double(m_pageSize));
        ++m_currentPage;
        m_browsing = m_currentPage != m_pageCount;
    }
    return m_currentPage;
}

qint32 ChartControl::LastPage()
{
    if (m_pageCount > 1 && m_pageCount != m_currentPage) {
        scroll(qint64(m_pageCount) - m_currentPage, double(m_pageSize));
        m_currentPage = m_pageCount;
        m_browsing = false;
    }
    return m_currentPage;
}

void ChartControl::SetPageSize(qint32 pageSize)
{
    if (pageSize == m_pageSize || pageSize < 1)
        return;
    m_pageSize = pageSize;
    m_chart->setAxisMinimum(Axis::Horizontal, 1.0);
    m_chart->setAxisMaximum(Axis::Horizontal, double(pageSize));
    m_pageCount = qint32(pagesFor(m_chart->pointCount(0), pageSize));
    scroll(qint64(m_pageCount) - 1, double(pageSize));
    m_currentPage = m_pageCount;
    m_browsing = false;
}

qint32 ChartControl::ClearChart()
{
    FirstPage();
    for (int s = 0; s < m_chart->seriesCount(); ++s) {
        m_chart->clearSeries(s);
        m_chart->addPoint(s, 0.0);
    }
    m_browsing = false;
    return m_currentPage;
}

void ChartControl::SetFill(bool on)
{
    if (on == m_fillOn)
        return;
    m_fillOn = on;
    m_chart->setSeriesActive(0, on);
}

void ChartControl::SetLeftMax(double value)
{
    if (value == m_leftMax)
        return;
    m_leftMax = value;
    m_chart->setAxisMaximum(Axis::Value, value);
}

void ChartControl::SetLeftMin(double value)
{
    if (value == m_leftMin)
        return;
    m_leftMin = value;
    m_chart->setAxisMinimum(Axis::Value, value);
}
