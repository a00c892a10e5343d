#include "support/ScriptedPrompts.h"

bool ScriptedPrompts::question(QWidget *, const QString &text)
{
    record(u"question"_qs, text);
    return questionAnswers.isEmpty() ? false : questionAnswers.takeFirst();
}

QString ScriptedPrompts::fileAnswer(const QString &kind, const FileDialogOptions &options)
{
    record(kind, options.filter);
    fileDialogs.append(options);
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString ScriptedPrompts::openFile(QWidget *, const FileDialogOptions &options)
{
    return fileAnswer(u"openFile"_qs, options);
}

QString ScriptedPrompts::chooseSaveName(QWidget *, const FileDialogOptions &options)
{
    return fileAnswer(u"saveFile"_qs, options);
}

QString ScriptedPrompts::choosePictureName(QWidget *, const FileDialogOptions &options)
{
    return fileAnswer(u"savePicture"_qs, options);
}

void ScriptedPrompts::printPreview(QWidget *, const std::function<void(QPrinter *)> &paint)
{
    record(u"printPreview"_qs, QString());
    lastPreview = paint;
}

QStringList ScriptedPrompts::texts(const QString &kind) const
{
    QStringList out;
    for (const Shown &s : shown)
        if (s.kind == kind)
            out << s.text;
    return out;
}
