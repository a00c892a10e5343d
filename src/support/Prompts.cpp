#include "support/Prompts.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QRegularExpression>

namespace {

// Message boxes carry the application's title, which this program leaves empty.
QMessageBox::StandardButton showBox(QWidget *parent, QMessageBox::Icon icon, const QString &title,
                                    const QString &text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(icon, title, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

// The extension of a Qt name filter's first pattern ("csv" for "CSV File (*.csv)"); the
// default extension when that pattern is no plain "*.ext" or no default is given.
QString filterExtension(const QString &nameFilter, const FileDialogOptions &options)
{
    if (options.defaultExtension.isEmpty())
        return {};
    const qsizetype open = nameFilter.lastIndexOf(u'(');
    const qsizetype close = nameFilter.indexOf(u')', open + 1);
    if (open < 0 || close < 0)
        return options.defaultExtension;
    const QString first
        = nameFilter.mid(open + 1, close - open - 1).split(u' ', Qt::SkipEmptyParts).value(0);
    const QString extension = first.mid(2);
    static const QRegularExpression plain(u"^[A-Za-z0-9_]+$"_qs);
    if (!first.startsWith(u"*."_qs) || !plain.match(extension).hasMatch())
        return options.defaultExtension;
    return extension;
}

} // namespace

QString Prompts::withDefaultExtension(const QString &chosen, const QString &extension)
{
    const QFileInfo info(chosen);
    // A file picked as it is (a device, a FIFO, a file named without one) keeps its name.
    if (chosen.isEmpty() || extension.isEmpty() || info.fileName().contains(u'.') || info.exists())
        return chosen;
    return chosen + u'.' + extension;
}

QString Prompts::replaceQuestion(const QString &path)
{
    return QFileInfo(path).fileName() + u" already exists.\nDo you want to replace it?"_qs;
}

QString Prompts::finalSaveName(QWidget *parent, const FileDialogOptions &options,
                               const std::function<QString(const FileDialogOptions &)> &choose)
{
    FileDialogOptions shown = options;
    for (;;) {
        const QString chosen = choose(shown);
        const QString name = withDefaultExtension(chosen, options.defaultExtension);
        // The dialog asked about the name it gave, if it had to; a name completed here was
        // never asked about.
        if (name == chosen || !options.confirmOverwrite || !QFileInfo::exists(name))
            return name;
        if (question(parent, replaceQuestion(name)))
            return name;
        shown.fileName = name;
    }
}

QString Prompts::saveFile(QWidget *parent, const FileDialogOptions &options)
{
    return finalSaveName(parent, options, [&](const FileDialogOptions &shown) {
        return chooseSaveName(parent, shown);
    });
}

QString Prompts::savePicture(QWidget *parent, const FileDialogOptions &options)
{
    return finalSaveName(parent, options, [&](const FileDialogOptions &shown) {
        return choosePictureName(parent, shown);
    });
}

void QtPrompts::information(QWidget *parent, const QString &text)
{
    showBox(parent, QMessageBox::Information, QString(), text, QMessageBox::Ok);
}

void QtPrompts::warningCancel(QWidget *parent, const QString &text)
{
    showBox(parent, QMessageBox::Warning, QString(), text, QMessageBox::Cancel);
}

bool QtPrompts::question(QWidget *parent, const QString &text)
{
    return showBox(parent, QMessageBox::Information, QString(), text,
                   QMessageBox::Yes | QMessageBox::No)
        == QMessageBox::Yes;
}

void QtPrompts::error(QWidget *parent, const QString &text)
{
    showBox(parent, QMessageBox::Critical, u"Error"_qs, text, QMessageBox::Ok);
}

void QtPrompts::applicationError(QWidget *parent, const QString &text)
{
    showBox(parent, QMessageBox::Critical, QString(), text, QMessageBox::Ok);
}

void QtPrompts::notice(QWidget *parent, const QString &text)
{
    if (parent) {
        for (QMessageBox *box : parent->findChildren<QMessageBox *>(u"notice"_qs)) {
            if (box->isVisible() && box->text() == text) {
                box->raise();
                return;
            }
        }
    }
    auto *box = new QMessageBox(QMessageBox::Information, QString(), text, QMessageBox::Ok, parent);
    box->setObjectName(u"notice"_qs);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
}

QString QtPrompts::openFile(QWidget *parent, const FileDialogOptions &options)
{
    return QFileDialog::getOpenFileName(parent, options.title, options.fileName,
                                        qtFilter(options.filter));
}

QString QtPrompts::chooseSaveName(QWidget *parent, const FileDialogOptions &options)
{
    FileDialogOptions shown = options;
    for (;;) {
        QFileDialog dialog(parent, shown.title, shown.fileName);
        prepareSaveDialog(dialog, shown);
        if (dialog.exec() != QDialog::Accepted)
            return {};
        const QString chosen = dialog.selectedFiles().value(0);
        const QString name = savedName(chosen, dialog.selectedNameFilter(), shown);
        // The dialog asked about the name it gave; a name completed here was never asked about.
        if (name == chosen || !shown.confirmOverwrite || !QFileInfo::exists(name)
            || question(parent, replaceQuestion(name)))
            return name;
        shown.fileName = name;
    }
}

void QtPrompts::prepareSaveDialog(QFileDialog &dialog, const FileDialogOptions &options)
{
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !options.confirmOverwrite);
    dialog.setNameFilter(qtFilter(options.filter));
    dialog.setDefaultSuffix(filterExtension(dialog.selectedNameFilter(), options));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog, options](const QString &nameFilter) {
                         dialog.setDefaultSuffix(filterExtension(nameFilter, options));
                     });
}

QString QtPrompts::savedName(const QString &chosen, const QString &selectedFilter,
                             const FileDialogOptions &options)
{
    const QString extension = filterExtension(selectedFilter, options);
    // As Qt's own dialog adds its default suffix: to a name without any dot. A file picked as it
    // is (a device, a FIFO, a file named without one) keeps its name.
    if (chosen.isEmpty() || extension.isEmpty() || QFileInfo(chosen).fileName().contains(u'.')
        || QFileInfo::exists(chosen))
        return chosen;
    return chosen + u'.' + extension;
}

QString QtPrompts::choosePictureName(QWidget *parent, const FileDialogOptions &options)
{
    return chooseSaveName(parent, options);
}

void QtPrompts::printPreview(QWidget *parent, const std::function<void(QPrinter *)> &paint)
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, parent);
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&paint](QPrinter *p) { paint(p); });
    dialog.exec();
}

QString QtPrompts::qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts.at(i + 1);
        patterns.replace(u';', u' ');
        // The description may already show its patterns; Qt reads those from the brackets.
        const QString description = parts.at(i).section(u'(', 0, 0).trimmed();
        entries << description + u" ("_qs + patterns + u')';
    }
    return entries.join(u";;"_qs);
}
