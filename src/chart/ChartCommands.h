#pragma once

#include <QObject>

class QWheelEvent;

struct FormControls;
struct RunState;
struct Services;

// The chart toolbar and the hidden Graphic menu: paging, page size, fill, enlarge, save.
class ChartCommands : public QObject
{
    Q_OBJECT
public:
    ChartCommands(FormControls &controls, RunState &state, Services &services);

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

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    FormControls &m_controls;
    RunState &m_state;
    Services &m_services;
};
