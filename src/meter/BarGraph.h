#pragma once

#include <QWidget>

// The bar graph under the replica LCD: a horizontal bar from 0 to its maximum. A value above
// the maximum shows a full bar. Changes only schedule a repaint of the columns between the old
// and the new end of the bar, so the per-frame sequence never waits for painting.
class BarGraph : public QWidget
{
    Q_OBJECT
public:
    explicit BarGraph(QWidget *parent = nullptr);

    int maximum() const { return m_maximum; }
    void setMaximum(int maximum);
    int value() const { return m_value; }
    void setValue(int value);

    QSize sizeHint() const override { return {421, 17}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // How many columns of the inside the bar fills, for a value and maximum.
    int filledWidth(int value, int maximum) const;
    // Schedules a repaint of what changes when the bar goes from `before` filled columns.
    void filledChanged(int before);

    int m_maximum = 40;
    int m_value = 20;
};
