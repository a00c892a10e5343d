#include "support/ReadingBatch.h"

#include <QList>

namespace {

struct Waiting
{
    QPointer<QObject> owner;
    std::function<void()> work;
};

int openScopes = 0;
QList<Waiting> waiting;

} // namespace

ReadingBatch::Scope::Scope()
{
    ++openScopes;
}

ReadingBatch::Scope::~Scope()
{
    if (--openScopes > 0)
        return;
    // What waits runs outside a batch; a batch it opens runs, at its end, what waits by then.
    while (!waiting.isEmpty()) {
        const Waiting next = waiting.takeFirst();
        if (next.owner)
            next.work();
    }
}

bool ReadingBatch::isOpen()
{
    return openScopes > 0;
}

void ReadingBatch::atEnd(QObject *owner, std::function<void()> work)
{
    if (openScopes == 0) {
        work();
        return;
    }
    for (Waiting &w : waiting) {
        if (w.owner == owner) {
            w.work = std::move(work);
            return;
        }
    }
    waiting.append({owner, std::move(work)});
}
