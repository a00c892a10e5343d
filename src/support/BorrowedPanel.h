#pragma once

#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

class QBoxLayout;

// A small window of its own for controls that live elsewhere in the main window. While it is
// open the controls are laid out in it and can be used; when it closes each goes back to its
// own parent, place and visibility, so the main window looks as it did. The panel is a child of
// the main window (a separate window on screen), so the controls keep their owner and names.
class BorrowedPanel : public QWidget
{
    Q_OBJECT
public:
    BorrowedPanel(const QString &title, QWidget *owner);
    ~BorrowedPanel() override;

    // A row of controls, left to right, below the rows added before; a caption goes in front.
    void addRow(const QList<QWidget *> &controls, const QString &caption = {});
    // Where the first opening puts the panel: over the middle of the owner window, or just below
    // it at its left or right edge, where it hides nothing the owner shows.
    enum class FirstPlace { OverOwner, BelowLeft, BelowRight };
    void setFirstPlace(FirstPlace place) { m_firstPlace = place; }
    // Borrows the controls and shows the panel where it was last, in front.
    void open();
    bool isOpen() const { return isVisible(); }

protected:
    void hideEvent(QHideEvent *event) override;

private:
    struct Borrowed
    {
        QPointer<QWidget> control;
        QBoxLayout *row = nullptr;
        QPointer<QWidget> home;
        QRect place;
        bool visible = false;
    };
    void giveBack();
    // Where a window frame of this place goes so that it lies on the main window's screen.
    QPoint keptOnScreen(const QRect &frame) const;

    QList<Borrowed> m_controls;
    QBoxLayout *m_rows = nullptr;
    FirstPlace m_firstPlace = FirstPlace::OverOwner;
    bool m_borrowed = false;
    bool m_placed = false;
};
