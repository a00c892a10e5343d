#pragma once

#include "support/Pictures.h"

#include <QFrame>
#include <array>
#include <bitset>

class QLabel;
struct Reading;

// The replica of the meter's display, `Panel1`: four large digits and the annunciators around
// them, each a child widget named as in the window's design. The per-frame display sequence
// drives it through the calls below, in their order, and ends every frame with commit(): the
// calls only note which elements the frame wants, and commit() shows or hides just the ones
// whose state changes, so a steady reading costs no widget churn.
class LcdPanel : public QFrame
{
    Q_OBJECT
public:
    explicit LcdPanel(QWidget *parent = nullptr);
    ~LcdPanel() override;

    // Everything but the four digits, `WEI` and `d_t` goes out.
    void blank();
    void setClockText(const QString &text);
    void showSend();
    // The elements of the decoded function, sub and range; sets `LcdDc1` where they call for it.
    // Only for frames whose markers are valid.
    void showFunction(const Reading &r);
    void showFlags(const Reading &r);
    void showDecimalPoint(int decimalPoint);
    void setDigits(const std::array<QString, 4> &digits);
    // Makes the visibility that the frame's calls asked for take effect.
    void commit();

    // An element by its name, or null.
    QWidget *element(const QString &name) const;
    QLabel *digit(int index) const; // `LcdDa` .. `LcdDd`
    QLabel *clockLabel() const; // `d_t`

    // The pictures the panel's elements show, by name and size, for drawing them ahead.
    static QList<Pictures::Order> pictures();

    // The elements whose visibility a frame decides: all but the four digits and `d_t`.
    static constexpr int TrackedCount = 42;

private:
    using Elements = std::bitset<TrackedCount>;
    static Elements functionElements(const Reading &r);
    void setWanted(int element, bool shown) { m_wanted.set(element, shown); }
    static void setTextIfChanged(QLabel *label, const QString &text);

    std::array<QWidget *, TrackedCount> m_tracked {};
    std::array<QLabel *, 4> m_digits {};
    QLabel *m_clock = nullptr;
    QLabel *m_function = nullptr; // `LcdDc1`
    Elements m_wanted;
};
