#pragma once

#include <QObject>
#include <QRect>

class ChartControl;
class ChartView;
class ErrorReport;
class Prompts;
class QAction;
class QCheckBox;
class QLineEdit;
class QTimer;
class QToolButton;
class QWheelEvent;
class QWidget;

// The chart toolbar and the hidden Graphic menu: paging, page size, fill, enlarge and restore,
// and saving the chart as a bitmap.
class ChartCommands : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QWidget *dialogParent = nullptr;
        ChartView *Chtshow = nullptr;
        QCheckBox *BtFill = nullptr;
        QAction *Fill1 = nullptr;
        QLineEdit *Maxrecord = nullptr;
        QTimer *Timer2 = nullptr;
        QToolButton *Bt10 = nullptr;
        QWidget *TbFd = nullptr;
        QWidget *TbSx = nullptr;
        // What the enlarged chart covers and hides: the LCD panel and the function board.
        QWidget *Panel1 = nullptr;
        QWidget *GroupBox1 = nullptr;
    };

    ChartCommands(const Controls &controls, Prompts &prompts, ErrorReport &errors,
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

    Controls m_controls;
    Prompts &m_prompts;
    ErrorReport &m_errors;
    ChartControl &m_chart;
    QRect m_normalPlace;
};
