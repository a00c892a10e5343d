#pragma once

#include <QObject>

class LinkSet;
class Prompts;
class QPushButton;
class QWidget;
class ReadingRecorder;

// Leaving the program from the "Exit" button (and its hidden twins), after a Yes.
class ExitCommand : public QObject
{
    Q_OBJECT
public:
    struct Controls
    {
        QWidget *dialogParent = nullptr;
        QPushButton *BitBtn1 = nullptr;
    };

    ExitCommand(const Controls &controls, Prompts &prompts, ReadingRecorder &recorder,
                LinkSet &links);

    void BitBtn1Click();
    void BtExit1Click();
    // Closing by the title bar: asks the exit question only while rows recorded since the last
    // save, load or New would be lost. True when the window may close.
    bool FormCloseQuery();

    static QString exitQuestion();

Q_SIGNALS:
    // The user confirmed: the event loop ends once the handler returns.
    void exitConfirmed();

private:
    Controls m_controls;
    Prompts &m_prompts;
    ReadingRecorder &m_recorder;
    LinkSet &m_links;
};
