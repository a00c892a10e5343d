#pragma once

#include <QObject>
#include <QPointer>

class Prompts;
class QWidget;

// The general error report of handlers that fail (a frame character that is no number, for
// instance). The box is shown once the failing handler has returned, so no event loop runs
// inside a receive handler; while one box is open, further failures are not shown again.
class ErrorReport : public QObject
{
    Q_OBJECT
public:
    ErrorReport(Prompts &prompts, QWidget *parent);

    void report(const QString &message);
    bool showing() const { return m_showing; }
    int suppressed() const { return m_suppressed; }

private:
    void showPending();

    Prompts &m_prompts;
    QPointer<QWidget> m_parent;
    QString m_pending;
    bool m_queued = false;
    bool m_showing = false;
    int m_suppressed = 0;
};
