#pragma once

#include <QObject>
#include <QRect>

class ChartControl;
class ErrorReport;
class QWheelEvent;
struct FormControls;
struct RunState;
struct Services;

// The chart toolbar and the hidden Graphic menu: paging, page size, fill, enlarge and restore,
// and saving the chart as a bitmap.
class ChartCommands : public QObject
{
    Q_OBJECT
public:
    ChartCommands(FormControls &controls, RunState &state, Services &services, ErrorReport &errors,
                  ChartControl &chart);

    void btFillClick();
    void FillClick();
    void MaxrecordExit();
    void Timer2Timer();
    void BtSaveClick();
    void BtFirstClick();
    void BTPreviousClick();
    void BtNextClick();
    void BTlastClick();
    void TbFdClick();
    // Marks a wheel event over the chart as handled, so the wheel neither scrolls nor zooms.
    bool ChtshowMouseWheel(QWheelEvent *event);

    // Where the chart is while enlarged: the window's outer size on the classic frame less the
    // margins of the enlarged layout.
    static QRect enlargedPlace();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showPage(int page);

    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
    ErrorReport &m_errors;
    ChartControl &m_chart;
    QRect m_normalPlace;
};
