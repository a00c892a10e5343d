#pragma once

#include <QWidget>

// The bar graph under the replica LCD: a horizontal bar from 0 to its maximum. A value above
// the maximum shows a full bar. Changes only schedule a repaint, so the per-frame sequence never
// waits for painting.
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
    int m_maximum = 40;
    int m_value = 20;
};
