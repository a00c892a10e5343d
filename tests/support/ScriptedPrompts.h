#pragma once

#include "support/Prompts.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

// Records every dialog the program would show and answers from a script, so no test ever
// waits on a dialog.
class ScriptedPrompts : public Prompts
{
public:
    struct Shown
    {
        QString kind; // "information", "warningCancel", "question", "error", "applicationError",
                      // "notice", "openFile", "saveFile", "savePicture", "printPreview"
        QString text; // message text, or the dialog's filter
    };

    QList<Shown> shown;
    QList<bool> questionAnswers; // taken in order; No when empty
    QStringList fileAnswers; // taken in order; cancelled when empty
    QList<FileDialogOptions> fileDialogs;
    std::function<void(QPrinter *)> lastPreview;
    // Runs while the next box is "open", to see what the program does meanwhile.
    std::function<void()> whileNextBoxIsOpen;

    void information(QWidget *, const QString &text) override { record(u"information"_qs, text); }
    void warningCancel(QWidget *, const QString &text) override
    {
        record(u"warningCancel"_qs, text);
    }
    bool question(QWidget *, const QString &text) override;
    void error(QWidget *, const QString &text) override { record(u"error"_qs, text); }
    void applicationError(QWidget *, const QString &text) override
    {
        record(u"applicationError"_qs, text);
    }
    // Not waited for: whileNextBoxIsOpen is for the boxes that are.
    void notice(QWidget *, const QString &text) override { shown.append({u"notice"_qs, text}); }
    QString openFile(QWidget *, const FileDialogOptions &options) override;
    void printPreview(QWidget *, const std::function<void(QPrinter *)> &paint) override;

    QStringList texts(const QString &kind) const;
    void clear() { shown.clear(); }

protected:
    // Answer with the scripted names as typed: saveFile and savePicture complete them.
    QString chooseSaveName(QWidget *, const FileDialogOptions &options) override;
    QString choosePictureName(QWidget *, const FileDialogOptions &options) override;

private:
    void record(const QString &kind, const QString &text)
    {
        shown.append({kind, text});
        if (whileNextBoxIsOpen)
            std::exchange(whileNextBoxIsOpen, nullptr)();
    }
    QString fileAnswer(const QString &kind, const FileDialogOptions &options);
};
