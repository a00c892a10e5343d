#pragma once

#include <QObject>
#include <QPointer>
#include <functional>

// Readings that arrive together are shown together. One read of a device can hold several
// frames; while its frames run, work that only needs to catch up with the last of them (the
// grid following the newest row) waits for the batch's end and runs there once. Outside a batch
// it runs at once, so code that shows one frame at a time sees no difference.
//
// Batches are opened on the UI thread only; they nest, and the outermost one's end runs what
// waits.
class ReadingBatch
{
public:
    class Scope
    {
    public:
        Scope();
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;
    };

    static bool isOpen();
    // Runs the work at the end of the open batch, once for the owner however often it is
    // asked, and not at all if the owner is gone by then; outside a batch, at once.
    static void atEnd(QObject *owner, std::function<void()> work);
};
